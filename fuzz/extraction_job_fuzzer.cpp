// Fuzz target: a whole extraction into an in-memory file system, with scripted answers, an abort
// at a scripted frame and a disk that may fill up. Input: four script bytes, then the archive:
// byte 0 bit 0 Windows path rules (else POSIX), bit 1 "a" is a file (else a folder), bit 2 the
// wrong password, bit 3 two more selected indices that name no entry; byte 1 the answers to the
// first eight questions (bit set: Yes; later ones No); byte 2 abort at this frame (0: never);
// byte 3 free space in KiB (0: 32 MiB). Whatever the archive holds, the files keep the rules of
// CheckAfterJob and the dialog is made idle once, with the bars reset last after a stop.
#include <algorithm>
#include <atomic>

#include "archive/open_archive.h"
#include "base/failure.h"
#include "extract/extraction_job.h"
#include "fuzz/fuzz_check.h"
#include "support/job_invariants.h"
#include "support/memory_file_system.h"
#include "support/recording_dialog.h"
#include "support/recording_view.h"

using ozr::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const bool windows = (data[0] & 1) != 0;
  ozr::testing::MemoryFileSystem files(windows ? ozr::NameRules::kWindows : ozr::NameRules::kPosix);
  const std::u16string root = windows ? u"D:\\" : u"/";
  const std::u16string destination = root + (windows ? u"dest\\" : u"dest/");
  files.AddFile(root + u"archive.ozr", {data + 4, data + size});
  files.AddFile(root + u"outside.txt", {'k', 'e', 'e', 'p'});
  files.AddFile(destination + u"f.txt", {'o', 'l', 'd'});
  if (data[0] & 2) {
    files.AddFile(destination + u"a", {'f', 'i', 'l', 'e'});
  } else {
    files.AddDirectory(destination + u"a");
  }
  files.spaceLeft = data[3] != 0 ? uint64_t{data[3]} * 1024 : uint64_t{32} << 20;
  ozr::ArchiveSession session;
  try {
    ozr::testing::RecordingView view;
    if (!ozr::OpenArchive(root + u"archive.ozr", session, files, view)) return 0;
  } catch (const ozr::Failure&) {
    return 0;
  }
  const ozr::testing::FileTree before = ozr::testing::TakeTree(files);

  ozr::testing::RecordingDialog dialog;
  dialog.password = (data[0] & 4) ? u"px" : u"pw";
  for (const auto& [index, entry] : session.catalog) dialog.selection.push_back(int32_t(index));
  if (data[0] & 8) dialog.selection.insert(dialog.selection.begin(), {-1, 1000000});
  for (int i = 0; i < 8; ++i)
    dialog.answers.push_back((data[1] >> i) & 1 ? ozr::kIdYes : ozr::kIdNo);
  std::atomic<bool> abort{false};
  int frames = 0;
  dialog.onPosition = [&](ozr::ControlId bar, uint64_t) {
    if (bar == ozr::kProgressBytes && data[2] != 0 && ++frames == data[2]) abort = true;
  };
  const ozr::JobOutcome outcome = ozr::ExtractionJob(session, destination, abort, dialog, files);

  Check(true, "the files after the job",
        ozr::testing::CheckAfterJob(files, before, destination, session, dialog.password));
  Check(std::count(dialog.calls.begin(), dialog.calls.end(), "busy 0") == 1,
        "the dialog is made idle exactly once");
  if (outcome.end == ozr::JobEnd::kSucceeded) {
    Check(outcome.written + outcome.skipped + outcome.unsafeSkipped == dialog.selection.size(),
          "every selected index is written or skipped");
  }
  Check(outcome.end != ozr::JobEnd::kAborted || abort, "an abort only when asked for");
  const bool early =
      outcome.end == ozr::JobEnd::kNoPassword || outcome.end == ozr::JobEnd::kKeyFailed;
  Check(
      early || dialog.calls.back() == (outcome.end == ozr::JobEnd::kSucceeded ? "busy 0" : "reset"),
      "a job ends idle after a success, with the bars reset last after a stop");
  return 0;
}
