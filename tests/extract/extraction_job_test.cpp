// The extraction job over an in-memory file system: every way a job ends, each question and its
// answers, and file-system failures, each checked for its exact conversation, for open, temporary
// or partial files, and for the bars; then one job on the real file system.
#include "extract/extraction_job.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "support/job_invariants.h"
#include "support/recording_dialog.h"
#include "support/temp_folder.h"
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
  const auto shortBar = [&](int bar) {
    return finished && (bar == kProgressEntries || bars[bar].first > 1) &&
           bars[bar].second != bars[bar].first;
  };
  for (const std::string& call : calls) {
    char kind[8] = {};
    int bar = 0;
    unsigned long long value = 0;
    if (std::sscanf(call.c_str(), "%7s %d %llu", kind, &bar, &value) != 3) continue;
    auto& [range, position] = bars[bar];
    if (std::string(kind) == "range") {
      if (shortBar(bar)) return "a bar left short before " + call;
      range = value;
      position = 0;
    } else if (value < position || value > range) {
      return "a bar moved back or past its range: " + call;
    } else {
      position = value;
    }
  }
  for (const auto& [bar, state] : bars) {
    if (shortBar(bar)) return "a bar left short: " + std::to_string(bar);
  }
  return {};
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

struct JobCase {
  const char* what;
  std::function<void(MemoryJob&)> setup;
  std::deque<MessageAnswer> answers;
  JobEnd end;
  std::vector<std::string> conversation;
  const char* counts;  // written, skipped, unsafe names skipped
  bool replaced;       // f.txt holds the entry afterwards
};

// Refuses `which` for every path but the first entry's target. Writes and closes go to temporary
// files, so those fail for the first entry as well.
void Refuse(MemoryJob& job, Call which) {
  job.files.refuse = [which](Call call, const std::u16string& path) {
    return call == which && path.find(u"first") == std::u16string::npos;
  };
}

TEST(ExtractionJob, EndsQuestionsAndFailures) {
  const auto none = [](MemoryJob&) {};
  const JobCase cases[] = {
      {"overwrite", none, {kIdYes}, JobEnd::kSucceeded, Talk({kExists}, kDone), "2 0 0", true},
      {"keep the user's file",
       none,
       {kIdNo},
       JobEnd::kSucceeded,
       Talk({kExists}, kDone),
       "1 1 0",
       false},
      {"not encrypted: no password needed",
       [](MemoryJob& j) { j.archive = Archive(u"first.txt", testing::PlainOptions()); },
       {kIdYes},
       JobEnd::kSucceeded,
       Talk({kExists}, kDone),
       "2 0 0",
       true},
      {"no password",
       [](MemoryJob& j) { j.dialog.password = u""; },
       {},
       JobEnd::kNoPassword,
       {"password", "message Ошибка 48 Введите пароль.", "busy 0"},
       "0 0 0",
       false},
      {"selection out of order, one index missing",
       [](MemoryJob& j) {
         j.dialog.selection = {1, 7, 0};
       },
       {kIdYes},
       JobEnd::kSucceeded,
       Talk({kExists}, kDone),
       "2 1 0",
       true},
      {"damaged frame",
       [](MemoryJob& j) { j.archive[j.archive.size() / 2] ^= 1; },
       {kIdYes},
       JobEnd::kFrameStop,
       Talk({kExists, kWrongSums}, kStop),
       "1 0 0",
       false},
      {"entrySum wrong",
       [](MemoryJob& j) { testing::EditRecord(j.archive, 1, [](auto& r) { r.entrySum ^= 1; }); },
       {kIdYes},
       JobEnd::kMismatchStop,
       Talk({kExists, kMismatch}, kStop),
       "1 0 0",
       false},
      {"declares 140000 bytes less: stops before writing more",
       [](MemoryJob& j) {
         testing::EditRecord(j.archive, 1, [](auto& r) { r.unpackedSize -= 140000; });
         testing::EditHeader(j.archive, [](auto& h) { h.totalUnpackedSize -= 140000; });
         j.files.spaceLeft = 5 + 10000;  // a byte more would fail the write
       },
       {kIdYes},
       JobEnd::kMismatchStop,
       Talk({kExists, kMismatch}, kStop),
       "1 0 0",
       false},
      {"declares a byte less: stops before writing it",
       [](MemoryJob& j) {
         testing::EditRecord(j.archive, 1, [](auto& r) { r.unpackedSize -= 1; });
         testing::EditHeader(j.archive, [](auto& h) { h.totalUnpackedSize -= 1; });
         j.files.spaceLeft = 5 + 149999;
       },
       {kIdYes},
       JobEnd::kMismatchStop,
       Talk({kExists, kMismatch}, kStop),
       "1 0 0",
       false},
      {"declares a byte more",
       [](MemoryJob& j) {
         testing::EditRecord(j.archive, 1, [](auto& r) { r.unpackedSize += 1; });
         testing::EditHeader(j.archive, [](auto& h) { h.totalUnpackedSize += 1; });
       },
       {kIdYes},
       JobEnd::kMismatchStop,
       Talk({kExists, kMismatch}, kStop),
       "1 0 0",
       false},
      {"write refused (the first entry's)",
       [](MemoryJob& j) { Refuse(j, Call::kWrite); },
       {},
       JobEnd::kFrameStop,
       Talk({kWriteFailed}, kStop),
       "0 0 0",
       false},
      {"disk full",
       [](MemoryJob& j) { j.files.spaceLeft = 30000; },
       {kIdYes},
       JobEnd::kFrameStop,
       Talk({kExists, kWriteFailed}, kStop),
       "1 0 0",
       false},
      {"close fails (the first entry's)",
       [](MemoryJob& j) { Refuse(j, Call::kClose); },
       {},
       JobEnd::kFrameStop,
       Talk({kWriteFailed}, kStop),
       "0 0 0",
       false},
      {"replace refused, go on",
       [](MemoryJob& j) { Refuse(j, Call::kMove); },
       {kIdYes, kIdNo},
       JobEnd::kSucceeded,
       Talk({kExists, kCreateFile}, kDone),
       "1 1 0",
       false},
      {"temporary file refused, stop",
       [](MemoryJob& j) { Refuse(j, Call::kCreateTemporary); },
       {kIdYes, kIdYes},
       JobEnd::kQuestionStop,
       Talk({kExists, kCreateFile}, kStop),
       "1 0 0",
       false},
      {"abort at a frame of f.txt",
       [](MemoryJob& j) {
         // Bytes bar positions: two for the first entry, f.txt's start, then one per frame.
         j.dialog.onPosition = [&j, calls = 0](ControlId bar, uint64_t) mutable {
           if (bar == kProgressBytes && ++calls == 5) j.abort = true;
         };
       },
       {kIdYes},
       JobEnd::kAborted,
       Talk({kExists}, kStop),
       "1 0 0",
       false},
      {"a file where a folder goes: asked at each level, skipped",
       [](MemoryJob& j) { j.files.AddFile(u"D:\\dest\\keep", Bytes("a file")); },
       {kIdNo, kIdNo, kIdNo, kIdYes},
       JobEnd::kSucceeded,
       Talk(
           {kFolder,
            "message Ошибка 20 Не удалось создать директорию D:\\dest\\keep\\sub.\r\nПрервать "
            "распаковку? [refused]",
            "message Ошибка 20 Не удалось создать файл D:\\dest\\keep\\sub\\first.txt.\r\nПрервать "
            "распаковку? [refused]",
            kExists},
           kDone),
       "1 1 0",
       true},
      {"a file where a folder goes: stop",
       [](MemoryJob& j) { j.files.AddFile(u"D:\\dest\\keep", Bytes("a file")); },
       {kIdYes},
       JobEnd::kQuestionStop,
       Talk({kFolder}, kStop),
       "0 0 0",
       false},
      {"unsafe name skipped",
       [](MemoryJob& j) { j.archive = Archive(u"..\\first.txt"); },
       {kIdNo, kIdYes},
       JobEnd::kSucceeded,
       Talk({kUnsafe, kExists}, kDone),
       "1 0 1",
       true},
      {"unsafe name: stop",
       [](MemoryJob& j) { j.archive = Archive(u"..\\first.txt"); },
       {kIdYes},
       JobEnd::kQuestionStop,
       Talk({kUnsafe}, kStop),
       "0 0 0",
       false},
  };
  for (const JobTuning tuning : {JobTuning{0, false}, JobTuning{1, false}, JobTuning{2, true}}) {
    for (const JobCase& c : cases) {
      SCOPED_TRACE(std::string(c.what) + ", threads " + std::to_string(tuning.decoderThreads));
      MemoryJob job;
      job.dialog.password = u"pw";
      job.dialog.selection = {0, 1};
      job.dialog.answers = c.answers;
      c.setup(job);
      const JobOutcome outcome = job.Run(tuning);
      EXPECT_EQ(outcome.end, c.end);
      EXPECT_EQ(job.dialog.Conversation(), c.conversation);
      EXPECT_EQ(std::to_string(outcome.written) + " " + std::to_string(outcome.skipped) + " " +
                    std::to_string(outcome.unsafeSkipped),
                c.counts);
      EXPECT_TRUE(job.dialog.answers.empty() && !job.dialog.unexpectedQuestion);
      EXPECT_EQ(testing::CheckAfterJob(job.files, job.before, u"D:\\dest\\", job.session, u"pw"),
                "");
      EXPECT_EQ(ProgressFault(job.dialog.calls, c.end == JobEnd::kSucceeded), "");
      const auto& target = *job.files.Find(u"D:\\dest\\f.txt");
      EXPECT_EQ(*target.bytes, c.replaced ? kContent : Bytes("precious"));
      // A replaced file's data reached the disk before it took the name.
      EXPECT_EQ(target.flushed, c.replaced);
    }
  }
}

// On the real file system: nested folders, and a long name under a deep folder (beyond the old
// 260-unit paths).
TEST(ExtractionJob, WritesNestedEntriesOnDisk) {
  const std::u16string name = std::u16string(120, u'd') + u"\\" + std::u16string(125, u'f');
  ArchiveSession session;
  testing::OpenFromMemory(
      testing::WriteArchiveToMemory({{u"a\\b.txt", Bytes("b"), {}}, {name, Bytes("long"), {}}},
                                    testing::PlainOptions()),
      session);
  testing::TempFolder folder;
  std::filesystem::create_directory(folder.path() / std::string(90, 'p'));
  const std::u16string destination =
      folder.WithSeparator() + std::u16string(90, u'p') +
      folder.WithSeparator().substr(folder.WithSeparator().size() - 1);
  testing::RecordingDialog dialog;
  dialog.selection = {0, 1};
  const auto files = NativeFileSystem();
  std::atomic<bool> abort{false};
  EXPECT_EQ(ExtractionJob(session, destination, abort, dialog, *files).end, JobEnd::kSucceeded);
  EXPECT_EQ(testing::ListTree(folder.path() / std::string(90, 'p')),
            (std::vector<std::string>{"a/", "a/b.txt", std::string(120, 'd') + "/",
                                      std::string(120, 'd') + "/" + std::string(125, 'f')}));
  EXPECT_EQ(testing::ReadFile(std::filesystem::path(files->JoinEntryPath(destination, name))),
            Bytes("long"));
}

}  // namespace
}  // namespace ozr
