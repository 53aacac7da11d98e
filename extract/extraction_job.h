// The extraction job: writes the selected entries of the open archive into a folder.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/session.h"
#include "extract/extraction_dialog.h"
#include "platform/file_system.h"

namespace ozr {

// How a job ended. The dialog learns it only through what the job showed; other shells (the
// command-line tool) use it for their exit status.
enum class JobEnd {
  kSucceeded,     // every selected entry written or skipped; the success message was shown
  kNoPassword,    // encrypted archive, empty password
  kKeyFailed,     // the key could not be made
  kQuestionStop,  // the user answered Yes to a "…Прервать распаковку?" question
  kFrameStop,     // a frame failed (read, decryption, checksum, inflation) or a write failed
  kAborted,       // AbortRequested was seen
  kMismatchStop,  // an entry's OutputSum differed from its entrySum
};

struct JobOutcome {
  JobEnd end = JobEnd::kSucceeded;
  uint32_t written = 0;        // entries whose file is in place
  uint32_t skipped = 0;        // entries skipped after a question (existing file, failed create)
  uint32_t unsafeSkipped = 0;  // entries skipped because their name would leave the folder
  std::vector<std::u16string> leftBehind;  // temporary files that could not be removed
};

// How the job decodes: on how many extra threads, and whether they may decode entries before the
// job reaches them. The output is the same in every setting; only the speed differs.
struct JobTuning {
  int decoderThreads = 2;
  bool speculate = true;
};

// What the job is for.
enum class JobPurpose {
  kExtract,  // write the entries; a name that is not safe is asked about and skipped
  kTest,     // decode and check every entry, whatever its name, into a file system that writes
             // nothing
};

// Runs one whole job on the calling thread. `destinationFolder` ends with a separator;
// `abortRequested` is raised by another thread and tested once per frame. Ends by calling
// dialog.SetBusy(false) on every path.
JobOutcome ExtractionJob(ArchiveSession& session, const std::u16string& destinationFolder,
                         const std::atomic<bool>& abortRequested, ExtractionDialog& dialog,
                         FileSystem& files, const JobTuning& tuning = {},
                         JobPurpose purpose = JobPurpose::kExtract);

}  // namespace ozr
