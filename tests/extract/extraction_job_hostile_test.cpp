// The extraction job in an in-memory file system: names that try to leave the folder under both
// path rules, and every way a job ends, each checked for open files, temporary files left and
// partial output.
#include <gtest/gtest.h>

#include <functional>

#include "base/little_endian.h"
#include "base/utf.h"
#include "extract/extraction_job.h"
#include "support/job_invariants.h"
#include "support/memory_file_system.h"
#include "support/recording_dialog.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

using testing::Bytes;
using testing::MemoryFileSystem;
using Call = MemoryFileSystem::Call;

struct MemoryJob {
  MemoryJob(NameRules rules, const std::vector<uint8_t>& archive)
      : files(rules), destination(rules == NameRules::kWindows ? u"D:\\dest\\" : u"/dest/") {
    testing::OpenFromMemory(archive, session);
    files.AddDirectory(destination);
    for (const auto& [index, entry] : session.catalog) dialog.selection.push_back(int32_t(index));
  }
  JobOutcome Run() {
    before = testing::TakeTree(files);
    return ExtractionJob(session, destination, abort, dialog, files);
  }
  std::string Violation() {
    return testing::CheckAfterJob(files, before, destination, session, dialog.password);
  }

  MemoryFileSystem files;
  std::u16string destination;
  ArchiveSession session;
  testing::RecordingDialog dialog;
  std::atomic<bool> abort{false};
  testing::FileTree before;
};

TEST(ExtractionJobHostile, UnsafeNamesNeverLeaveTheFolderUnderEitherRules) {
  const std::vector<std::u16string> everywhere = {
      u"..\\up.txt", u"a\\..\\..\\up.txt", u"C:\\drive.txt", u"a\\b:stream", u"/abs.txt", u".."};
  const std::vector<std::u16string> windowsOnly = {u"CON",       u"a\\nul.txt", u"com1.log",
                                                   u"LPT\u00B2", u"...\\x",     u"a\\ . .\\y"};
  std::vector<PackEntry> entries;
  for (const auto& name : everywhere) entries.push_back({name, Bytes("evil"), {}});
  for (const auto& name : windowsOnly) entries.push_back({name, Bytes("device"), {}});
  entries.push_back({u"\\rooted\\ok.txt", Bytes("ok"), {}});
  const auto archive = testing::WriteArchiveToMemory(entries, testing::PlainOptions());

  for (const NameRules rules : {NameRules::kWindows, NameRules::kPosix}) {
    MemoryJob job(rules, archive);
    job.files.AddFile(rules == NameRules::kWindows ? u"D:\\up.txt" : u"/up.txt", Bytes("mine"));
    job.dialog.answers.assign(entries.size(), kIdNo);
    const JobOutcome outcome = job.Run();
    EXPECT_EQ(outcome.end, JobEnd::kSucceeded);
    const size_t refused =
        everywhere.size() + (rules == NameRules::kWindows ? windowsOnly.size() : 0);
    EXPECT_EQ(outcome.unsafeSkipped, refused);
    EXPECT_EQ(job.Violation(), "");
    EXPECT_NE(job.files.Find(job.destination +
                             (rules == NameRules::kWindows ? u"rooted\\ok.txt" : u"rooted/ok.txt")),
              nullptr);
  }
}

// Two entries, the second of many frames, over a file the user already has.
std::vector<uint8_t> TwoEntries() {
  testing::CraftedOptions options = testing::EncryptedOptions(u"pw");
  options.frameContent = 10000;
  return testing::WriteArchiveToMemory(
      {{u"keep\\first.txt", Bytes("first"), {}}, {u"f.txt", testing::MixedContent(60000, 1), {}}},
      options);
}

struct EndCase {
  const char* what;
  std::function<void(MemoryJob&)> setup;
  std::function<void(std::vector<uint8_t>&)> damage;
  JobEnd end;
  bool replaced;  // f.txt holds the entry afterwards
};

TEST(ExtractionJobHostile, EveryEndClosesEveryFileAndLeavesNoPartialOne) {
  // Refuses a call for f.txt (writes and closes go to temporary files: for every entry).
  const auto refuse = [](Call which) {
    return [which](MemoryJob& job) {
      job.files.refuse = [which](Call call, const std::u16string& path) {
        return call == which && path.find(u"first") == std::u16string::npos;
      };
    };
  };
  const auto answers = [](std::deque<MessageAnswer> a) {
    return [a](MemoryJob& job) { job.dialog.answers = a; };
  };
  const auto none = [](std::vector<uint8_t>&) {};
  const EndCase cases[] = {
      {"overwrite", answers({kIdYes}), none, JobEnd::kSucceeded, true},
      {"keep the file", answers({kIdNo}), none, JobEnd::kSucceeded, false},
      {"wrong password",
       [](MemoryJob& job) {
         job.dialog.answers = {kIdYes};
         job.dialog.password = u"px";
       },
       none, JobEnd::kFrameStop, false},
      {"damaged frame", answers({kIdYes}),
       [](std::vector<uint8_t>& archive) { archive[archive.size() / 2] ^= 1; }, JobEnd::kFrameStop,
       false},
      {"entrySum wrong", answers({kIdYes}),
       [](std::vector<uint8_t>& archive) {
         const uint64_t directory = archive.size() - LoadU32(&archive[archive.size() - 4]);
         const uint64_t second = directory + 40 + 2 * LoadU32(&archive[directory + 32]);
         archive[second + 16] ^= 1;
       },
       JobEnd::kMismatchStop, false},
      {"write refused",
       [&](MemoryJob& job) {
         refuse(Call::kWrite)(job);
         job.dialog.answers = {kIdYes};
       },
       none, JobEnd::kFrameStop, false},
      {"disk full",
       [](MemoryJob& job) {
         job.files.spaceLeft = 30000;
         job.dialog.answers = {kIdYes};
       },
       none, JobEnd::kFrameStop, false},
      {"close fails",
       [&](MemoryJob& job) {
         refuse(Call::kClose)(job);
         job.dialog.answers = {kIdYes};
       },
       none, JobEnd::kFrameStop, false},
      {"replace refused, go on",
       [&](MemoryJob& job) {
         refuse(Call::kMove)(job);
         job.dialog.answers = {kIdYes, kIdNo};
       },
       none, JobEnd::kSucceeded, false},
      {"replace refused, stop",
       [&](MemoryJob& job) {
         refuse(Call::kMove)(job);
         job.dialog.answers = {kIdYes, kIdYes};
       },
       none, JobEnd::kQuestionStop, false},
      {"temporary file refused",
       [&](MemoryJob& job) {
         refuse(Call::kCreateTemporary)(job);
         job.dialog.answers = {kIdYes, kIdYes};
       },
       none, JobEnd::kQuestionStop, false},
      {"abort",
       [](MemoryJob& job) {
         job.dialog.answers = {kIdYes};
         // Positions of the bytes bar: two for the first entry, then the second one's start,
         // then one per frame.
         job.dialog.onPosition = [&job, calls = 0](ControlId bar, uint64_t) mutable {
           if (bar == kProgressBytes && ++calls == 5) job.abort = true;
         };
       },
       none, JobEnd::kAborted, false},
  };
  const auto content = testing::MixedContent(60000, 1);
  for (const EndCase& c : cases) {
    auto archive = TwoEntries();
    c.damage(archive);
    MemoryJob job(NameRules::kWindows, archive);
    job.dialog.password = u"pw";
    job.files.AddFile(u"D:\\dest\\f.txt", Bytes("precious"));
    c.setup(job);
    EXPECT_EQ(job.Run().end, c.end) << c.what;
    EXPECT_EQ(job.Violation(), "") << c.what;
    EXPECT_EQ(*job.files.Find(u"D:\\dest\\f.txt")->bytes, c.replaced ? content : Bytes("precious"))
        << c.what;
    EXPECT_FALSE(job.dialog.unexpectedQuestion) << c.what;
  }
}

}  // namespace
}  // namespace ozr
