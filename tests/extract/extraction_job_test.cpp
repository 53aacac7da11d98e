// The extraction job over an in-memory file system: the ways a job ends, each question and its
// answers, and file-system failures, each checked for its exact conversation, for open, temporary
// or partial files, and for bars that move back, past their range or end short.
#include "extract/extraction_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

#include "support/job_invariants.h"
#include "support/recording_dialog.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

using testing::Bytes;
using Call = testing::MemoryFileSystem::Call;

const std::vector<uint8_t> kContent = testing::NoiseContent(150000, 1);

// A small first entry, then f.txt in frames of 10000 bytes, over the user's own f.txt.
std::vector<uint8_t> Archive(const std::u16string& first,
                             testing::CraftedOptions options = testing::EncryptedOptions(u"pw")) {
  options.frameContent = 10000;
  return testing::WriteArchiveToMemory({{first, Bytes("first"), {}}, {u"f.txt", kContent, {}}},
                                       options);
}

struct MemoryJob {
  JobOutcome Run(const JobTuning& tuning) {
    testing::OpenFromMemory(archive, session);
    files.AddFile(u"D:\\dest\\f.txt", Bytes("precious"));
    before = testing::TakeTree(files);
    return ExtractionJob(session, u"D:\\dest\\", abort, dialog, files, tuning);
  }

  std::vector<uint8_t> archive = Archive(u"keep\\sub\\first.txt");
  testing::MemoryFileSystem files{NameRules::kWindows};
  ArchiveSession session;
  testing::RecordingDialog dialog;
  std::atomic<bool> abort{false};
  testing::FileTree before;
};

// Bars never move back nor past their range; a finished job leaves the entries bar full and every
// bytes bar of more than one unit full.
std::string ProgressFault(const std::vector<std::string>& calls, bool finished) {
  std::map<int, std::pair<unsigned long long, unsigned long long>> bars;  // range, position
  const auto full = [&](int bar) {
    const auto [range, position] = bars[bar];
    return !finished || (bar != kProgressEntries && range <= 1) || position == range;
  };
  bool fresh = false;  // just given a range: a position of 0 starts the bar again
  for (const std::string& call : calls) {
    char kind[8] = {};
    int bar = 0;
    unsigned long long value = 0;
    if (std::sscanf(call.c_str(), "%7s %d %llu", kind, &bar, &value) != 3) continue;
    auto& [range, position] = bars[bar];
    const bool ranged = std::string(kind) == "range";
    if (ranged && !full(bar)) return "left short: " + call;
    if (!ranged && ((value < position && !(fresh && value == 0)) || value > range)) {
      return "moved: " + call;
    }
    // A new range keeps the position, as a progress control does, but for clamping it.
    position = ranged ? std::min(position, value) : value;
    if (ranged) range = value;
    fresh = ranged;
  }
  return full(kProgressEntries) && full(kProgressBytes) ? "" : "a bar left short at the end";
}

const std::string kExists =
    "message Ошибка 36 Файл D:\\dest\\f.txt уже существует.\r\nПерезаписать?";
const std::string kCreateFile =
    "message Ошибка 20 Не удалось создать файл D:\\dest\\f.txt.\r\nПрервать распаковку? [refused]";
const std::string kWriteFailed = "message Ошибка! 16 Ошибка записи в файл. [refused]";
const std::string kWrongSums =
    "message Ошибка! 16 Введен неверный пароль (контрольные суммы не совпали).";
const std::string kMismatch = "message Ошибка! 16 Файл поврежден, не совпали контрольные суммы.";
const std::string kFolder =
    "message Ошибка 20 Не удалось создать директорию D:\\dest\\keep.\r\nПрервать распаковку?";
const std::string kUnsafe =
    "message Ошибка 20 Недопустимое имя файла в архиве: ..\\first.txt.\r\nПрервать распаковку?";
const std::vector<std::string> kDone = {
    "reset", "message Успех 64 Выбранные файлы успешно распакованы.", "busy 0"};
const std::vector<std::string> kStop = {"busy 0", "reset"};

std::vector<std::string> Talk(std::vector<std::string> head, const std::vector<std::string>& end) {
  head.insert(head.begin(), {"password", "selection"});
  head.insert(head.end(), end.begin(), end.end());
  return head;
}

using Change = std::function<void(MemoryJob&)>;
// A plain archive, extracted without a password.
const Change kPlain = [](MemoryJob& j) {
  j.archive = Archive(u"first", testing::PlainOptions());
  j.dialog.password = u"";
};
// f.txt declaring `more` bytes than it holds, the header's total following; `space` for writes.
Change Declare(int64_t more, uint64_t space) {
  return [=](MemoryJob& j) {
    testing::EditRecord(j.archive, 1, [&](EntryRecord& r) { r.unpackedSize += more; });
    testing::EditHeader(j.archive, [&](ArchiveHeader& h) { h.totalUnpackedSize += more; });
    j.files.spaceLeft = space;
  };
}
// Refuses `which` for every path but the first entry's target. Writes and closes go to temporary
// files, so those fail for the first entry as well.
Change Refuse(Call which) {
  return [=](MemoryJob& j) {
    j.files.refuse = [which](Call call, const std::u16string& path) {
      return call == which && path.find(u"first") == std::u16string::npos;
    };
  };
}

// The answers (Y and N, in order), the end, the conversation, the counts (written, skipped,
// unsafe names skipped) and whether f.txt holds the entry afterwards.
struct JobCase {
  Change change;
  const char* answers;
  JobEnd end;
  std::vector<std::string> conversation;
  const char* counts;
  bool replaced = false;
};

TEST(ExtractionJob, EndsQuestionsAndFailures) {
  using E = JobEnd;
  const Change folderIsFile = [](MemoryJob& j) { j.files.AddFile(u"D:\\dest\\keep", {}); };
  const Change unsafeFirst = [](MemoryJob& j) { j.archive = Archive(u"..\\first.txt"); };
  const auto exists = Talk({kExists}, kDone);
  const auto mismatch = Talk({kExists, kMismatch}, kStop);
  const std::vector<std::string> noPassword = {"password", "message Ошибка 48 Введите пароль.",
                                               "busy 0"};
  const JobCase cases[] = {
      {kPlain, "Y", E::kSucceeded, exists, "2 0 0", true},
      {[](MemoryJob& j) { j.dialog.password = u""; }, "", E::kNoPassword, noPassword, "0 0 0"},
      // Existing folders are taken silently.
      {[](MemoryJob& j) { j.files.AddDirectory(u"D:\\dest\\keep\\sub"); }, "Y", E::kSucceeded,
       exists, "2 0 0", true},
      // A selection out of order with a missing index; a skip before a written entry.
      {[](MemoryJob& j) {
         j.dialog.selection.assign({1, 7, 0});
       },
       "N", E::kSucceeded, exists, "1 2 0"},
      {[](MemoryJob& j) { j.archive[j.archive.size() / 2] ^= 1; }, "Y", E::kFrameStop,
       Talk({kExists, kWrongSums}, kStop), "1 0 0"},
      {[](MemoryJob& j) { testing::EditRecord(j.archive, 1, [](auto& r) { r.entrySum ^= 1; }); },
       "Y", E::kMismatchStop, mismatch, "1 0 0"},
      // Each with exactly the room for what may be written: a byte more would fail the write.
      {Declare(-140000, 5 + 10000), "Y", E::kMismatchStop, mismatch, "1 0 0"},
      {Declare(1, UINT64_MAX), "Y", E::kMismatchStop, mismatch, "1 0 0"},
      // A failed first write: the reason comes from the failing call itself.
      {Refuse(Call::kWrite), "", E::kFrameStop, Talk({kWriteFailed}, kStop), "0 0 0"},
      {Refuse(Call::kClose), "", E::kFrameStop, Talk({kWriteFailed}, kStop), "0 0 0"},
      {Declare(0, 30000), "Y", E::kFrameStop, Talk({kExists, kWriteFailed}, kStop), "1 0 0"},
      {Refuse(Call::kMove), "YN", E::kSucceeded, Talk({kExists, kCreateFile}, kDone), "1 1 0"},
      {Refuse(Call::kCreateTemporary), "YY", E::kQuestionStop, Talk({kExists, kCreateFile}, kStop),
       "1 0 0"},
      // Two entries of whole frames: the bytes bar starts again for the second.
      {[](MemoryJob& j) {
         j.archive = testing::WriteArchiveToMemory(
             {{u"a", testing::NoiseContent(300000, 2), {}}, {u"b", kContent, {}}},
             testing::EncryptedOptions(u"pw"));
       },
       "", E::kSucceeded, Talk({}, kDone), "2 0 0"},
      {folderIsFile, "Y", E::kQuestionStop, Talk({kFolder}, kStop), "0 0 0"},
      {unsafeFirst, "NY", E::kSucceeded, Talk({kUnsafe, kExists}, kDone), "1 0 1", true},
      {unsafeFirst, "Y", E::kQuestionStop, Talk({kUnsafe}, kStop), "0 0 0"},
  };
  for (const JobTuning tuning : {JobTuning{0, false}, JobTuning{1, false}, JobTuning{2, true}}) {
    for (const JobCase& c : cases) {
      SCOPED_TRACE("case " + std::to_string(&c - cases) + ", threads " +
                   std::to_string(tuning.decoderThreads));
      MemoryJob job;
      job.dialog.password = u"pw";
      job.dialog.selection = {0, 1};
      for (const char* a = c.answers; *a != 0; ++a)
        job.dialog.answers.push_back(*a == 'Y' ? kIdYes : kIdNo);
      c.change(job);
      const JobOutcome outcome = job.Run(tuning);
      EXPECT_EQ(ProgressFault(job.dialog.calls, c.end == E::kSucceeded), "");
      EXPECT_EQ(outcome.end, c.end);
      EXPECT_EQ(job.dialog.Conversation(), c.conversation);
      EXPECT_EQ(std::to_string(outcome.written) + " " + std::to_string(outcome.skipped) + " " +
                    std::to_string(outcome.unsafeSkipped),
                c.counts);
      EXPECT_EQ(testing::CheckAfterJob(job.files, job.before, u"D:\\dest\\", job.session, u"pw"),
                "");
      const auto& target = *job.files.Find(u"D:\\dest\\f.txt");
      EXPECT_EQ(target.bytes, c.replaced ? kContent : Bytes("precious"));
      // A replaced file's data reached the disk before it took the name.
      EXPECT_EQ(target.flushed, c.replaced);
    }
  }
}

}  // namespace
}  // namespace ozr
