#include "extract/extraction_job.h"

#include <gtest/gtest.h>

#include "base/fill_in.h"
#include "base/little_endian.h"
#include "base/texts.h"
#include "support/recording_dialog.h"
#include "support/temp_folder.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::ReadFile;
using testing::RecordingDialog;
using testing::TempFolder;

std::string U8(const std::u16string& s) { return ToUtf8(s); }
std::string U8(const char16_t* s) { return ToUtf8(s); }

// The message lines the recording dialog writes for each kind of box.
std::string Success() { return "message Успех 64 " + U8(text::kExtractionSucceeded); }
std::string StopError(const char16_t* text) { return "message Ошибка! 16 " + U8(text); }
std::string Question(const char16_t* pattern, const std::u16string& arg, unsigned icon = 16) {
  return "message Ошибка " + std::to_string(4 + icon) + " " + U8(FillIn(pattern, arg));
}

// Every test runs with the decoding on the job's thread, on one thread that waits for the job,
// and on two threads that decode ahead: the conversation and the files must be the same.
JobTuning gTuning;

class ExtractionJobTest : public ::testing::TestWithParam<JobTuning> {
 protected:
  void SetUp() override { gTuning = GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Tunings, ExtractionJobTest,
                         ::testing::Values(JobTuning{0, false}, JobTuning{1, false},
                                           JobTuning{2, true}),
                         [](const auto& info) {
                           return std::to_string(info.param.decoderThreads) + "threads" +
                                  (info.param.speculate ? "Ahead" : "");
                         });

// A job over archive bytes kept in memory, extracting into a real temporary folder.
struct JobRun {
  explicit JobRun(const std::vector<uint8_t>& archive) : files(NativeFileSystem()) {
    testing::OpenFromMemory(archive, session);
    for (const auto& [index, entry] : session.catalog) dialog.selection.push_back(int32_t(index));
  }
  JobOutcome Run() {
    return ExtractionJob(session, folder.WithSeparator(), abort, dialog, *files, gTuning);
  }
  // The native path of an entry name under the folder.
  std::u16string PathOf(const std::u16string& name) {
    return files->JoinEntryPath(folder.WithSeparator(), name);
  }
  fs::path FsPath(const std::u16string& name) { return fs::path(PathOf(name)); }

  ArchiveSession session;
  TempFolder folder;
  std::atomic<bool> abort{false};
  RecordingDialog dialog;
  std::unique_ptr<FileSystem> files;
};

std::vector<PackEntry> NestedEntries() {
  return {{u"a\\b\\f.txt", Bytes("nested file"), {}},
          {u"top.bin", testing::NoiseContent(1000, 1), {}},
          {u"a\\g.txt", testing::MixedContent(200000, 2), {}}};
}

TEST_P(ExtractionJobTest, ExtractsNestedFoldersWithTheExactConversation) {
  const auto entries = NestedEntries();
  JobRun run(testing::WriteArchiveToMemory(entries, testing::EncryptedOptions(u"пароль")));
  run.dialog.password = u"пароль";
  const JobOutcome outcome = run.Run();
  EXPECT_EQ(outcome.end, JobEnd::kSucceeded);
  EXPECT_EQ(outcome.written, 3u);
  for (const auto& e : entries) EXPECT_EQ(ReadFile(run.FsPath(e.name)), e.bytes);
  EXPECT_EQ(testing::ListTree(run.folder.path()),
            (std::vector<std::string>{"a/", "a/b/", "a/b/f.txt", "a/g.txt", "top.bin"}));
  EXPECT_EQ(run.dialog.Conversation(),
            (std::vector<std::string>{"password", "selection", "reset", Success(), "busy 0"}));
}

TEST_P(ExtractionJobTest, ProgressBarsMoveInEntriesAndPackedUnits) {
  testing::CraftedOptions options = testing::PlainOptions();
  options.compressionLevel = 0;
  JobRun run(testing::WriteArchiveToMemory({{u"small", testing::NoiseContent(1000, 1), {}},
                                            {u"large", testing::NoiseContent(300000, 2), {}}},
                                           options));
  run.Run();
  const uint64_t large = run.session.catalog.at(1).record.packedSize;
  ASSERT_GT(large, 4 * 64000u);
  std::vector<std::string> expected = {
      "password",     "selection",
      "range 1002 2", "pos 1002 0",
      "range 1003 1", "pos 1003 0",
      "pos 1002 1",   "range 1003 1",
      "pos 1003 0",
      "pos 1003 0",  // the small entry: one frame, under one unit
      "pos 1002 2",   "range 1003 " + std::to_string(large / 64000),
      "pos 1003 0"};
  // The large entry: one position per frame, in units of 64000 packed bytes.
  uint64_t consumed = 0;
  uint64_t at = run.session.DataAreaPosition() + run.session.catalog.at(1).streamOffset;
  const auto bytes =
      testing::WriteArchiveToMemory({{u"small", testing::NoiseContent(1000, 1), {}},
                                     {u"large", testing::NoiseContent(300000, 2), {}}},
                                    options);
  while (consumed < large) {
    const uint64_t frame = LoadU32(&bytes[at]) + 8;
    consumed += frame;
    at += frame;
    expected.push_back("pos 1003 " + std::to_string(consumed / 64000));
  }
  expected.insert(expected.end(), {"reset", Success(), "busy 0"});
  EXPECT_EQ(run.dialog.calls, expected);
}

TEST_P(ExtractionJobTest, ExistingFoldersAreTakenSilently) {
  JobRun run(testing::WriteArchiveToMemory(NestedEntries(), testing::PlainOptions()));
  fs::create_directories(run.folder.path() / "a" / "b");
  EXPECT_EQ(run.Run().end, JobEnd::kSucceeded);
  EXPECT_EQ(run.dialog.messages.size(), 1u);
}

TEST_P(ExtractionJobTest, FileWhereAFolderIsNeededAsksAtEachLevelThenSkips) {
  JobRun run(testing::WriteArchiveToMemory(
      {{u"a\\b\\f.txt", Bytes("x"), {}}, {u"ok.txt", Bytes("y"), {}}}, testing::PlainOptions()));
  testing::WriteFile(run.folder.path() / "a", Bytes("a plain file"));
  run.dialog.answers = {kIdNo, kIdNo, kIdNo};
  const JobOutcome outcome = run.Run();
  EXPECT_EQ(outcome.end, JobEnd::kSucceeded);
  EXPECT_EQ(outcome.skipped, 1u);
  EXPECT_EQ(outcome.written, 1u);
  EXPECT_EQ(run.dialog.Conversation(),
            (std::vector<std::string>{"password", "selection",
                                      Question(text::kCreateDirectoryFailed, run.PathOf(u"a")),
                                      Question(text::kCreateDirectoryFailed, run.PathOf(u"a\\b")),
                                      Question(text::kCreateFileFailed, run.PathOf(u"a\\b\\f.txt")),
                                      "reset", Success(), "busy 0"}));
  EXPECT_EQ(ReadFile(run.folder.path() / "a"), Bytes("a plain file"));
  EXPECT_FALSE(run.dialog.unexpectedQuestion);
}

TEST_P(ExtractionJobTest, YesToAFolderQuestionStopsTheJob) {
  JobRun run(
      testing::WriteArchiveToMemory({{u"a\\f.txt", Bytes("x"), {}}}, testing::PlainOptions()));
  testing::WriteFile(run.folder.path() / "a", Bytes("file"));
  run.dialog.answers = {kIdYes};
  EXPECT_EQ(run.Run().end, JobEnd::kQuestionStop);
  EXPECT_EQ(run.dialog.Conversation(),
            (std::vector<std::string>{"password", "selection",
                                      Question(text::kCreateDirectoryFailed, run.PathOf(u"a")),
                                      "busy 0", "reset"}));
}

TEST_P(ExtractionJobTest, OverwriteNoKeepsTheFileAndYesReplacesIt) {
  const auto content = testing::MixedContent(5000, 3);
  for (const MessageAnswer answer : {kIdNo, kIdYes}) {
    JobRun run(testing::WriteArchiveToMemory({{u"f.txt", content, {}}}, testing::PlainOptions()));
    testing::WriteFile(run.folder.path() / "f.txt", Bytes("old"));
    run.dialog.answers = {answer};
    const JobOutcome outcome = run.Run();
    EXPECT_EQ(outcome.end, JobEnd::kSucceeded);
    EXPECT_EQ(ReadFile(run.folder.path() / "f.txt"), answer == kIdNo ? Bytes("old") : content);
    EXPECT_EQ(run.dialog.Conversation()[2],
              Question(text::kFileExists, run.PathOf(u"f.txt"), kMbIconQuestion));
    // The success message comes even when every entry was skipped.
    EXPECT_EQ(run.dialog.Conversation()[4], Success());
    EXPECT_EQ(testing::ListTree(run.folder.path()), std::vector<std::string>{"f.txt"});
  }
}

TEST_P(ExtractionJobTest, SkippedEntriesDoNotDisturbTheOnesAfterThem) {
  testing::CraftedOptions options = testing::EncryptedOptions(u"pw");
  options.frameContent = 20000;
  const std::vector<PackEntry> entries = {{u"a.bin", testing::NoiseContent(150000, 1), {}},
                                          {u"b.bin", testing::MixedContent(150000, 2), {}},
                                          {u"c.bin", testing::MixedContent(90000, 3), {}},
                                          {u"d.bin", testing::NoiseContent(50000, 4), {}}};
  JobRun run(testing::WriteArchiveToMemory(entries, options));
  run.dialog.password = u"pw";
  run.dialog.selection = {3, 0, 1, 7, 2};  // out of order, with an index the archive lacks
  for (const char* name : {"a.bin", "c.bin"})
    testing::WriteFile(run.folder.path() / name, Bytes("keep"));
  run.dialog.answers = {kIdNo, kIdNo};  // keep a.bin and c.bin
  const JobOutcome outcome = run.Run();
  EXPECT_EQ(outcome.end, JobEnd::kSucceeded);
  EXPECT_EQ(outcome.written, 2u);
  EXPECT_EQ(outcome.skipped, 3u);
  EXPECT_EQ(ReadFile(run.folder.path() / "a.bin"), Bytes("keep"));
  EXPECT_EQ(ReadFile(run.folder.path() / "b.bin"), entries[1].bytes);
  EXPECT_EQ(ReadFile(run.folder.path() / "c.bin"), Bytes("keep"));
  EXPECT_EQ(ReadFile(run.folder.path() / "d.bin"), entries[3].bytes);
}

// Where each frame of an entry starts.
std::vector<uint64_t> FramesOf(const std::vector<uint8_t>& archive, uint64_t at, uint64_t packed) {
  std::vector<uint64_t> frames;
  for (const uint64_t end = at + packed; at < end; at += 8 + LoadU32(&archive[at])) {
    frames.push_back(at);
  }
  return frames;
}

// Damage to the frames of the second entry, and what the job must say (null: a wrong-password
// text, either of the two).
struct FrameFailure {
  const char* what;
  std::function<void(std::vector<uint8_t>&, const std::vector<uint64_t>& frames)> damage;
  const char16_t* password;
  const char16_t* message;
};

TEST_P(ExtractionJobTest, FrameFailuresStopTheJobAndKeepTheOriginalFile) {
  const FrameFailure cases[] = {
      {"wrong password", [](auto&, auto&) {}, u"wrong", nullptr},
      {"payload byte flipped", [](auto& b, auto& f) { b[f[1] + 100] ^= 4; }, u"right", nullptr},
      {"payloadSum flipped", [](auto& b, auto& f) { b[f[0] + 4 + LoadU32(&b[f[0]])] ^= 1; },
       u"right", text::kFrameSumMismatch},
      {"last frame longer than the entry",
       [](auto& b, auto& f) { StoreU32(&b[f.back()], LoadU32(&b[f.back()]) + 16); }, u"right",
       text::kFrameReadFailed},
      {"payloadLength beyond a ChunkBuffer", [](auto& b, auto& f) { StoreU32(&b[f[0]], 128016); },
       u"right", text::kFrameReadFailed},
  };
  const auto content = testing::MixedContent(400000, 4);
  for (const FrameFailure& c : cases) {
    auto archive =
        testing::WriteArchiveToMemory({{u"ok.txt", Bytes("first"), {}}, {u"f.txt", content, {}}},
                                      testing::EncryptedOptions(u"right"));
    {
      ArchiveSession probe;
      testing::OpenFromMemory(archive, probe);
      const CatalogEntry& entry = probe.catalog.at(1);
      const auto frames =
          FramesOf(archive, probe.DataAreaPosition() + entry.streamOffset, entry.record.packedSize);
      ASSERT_GE(frames.size(), 2u);
      c.damage(archive, frames);
    }
    JobRun run(archive);
    run.dialog.password = c.password;
    testing::WriteFile(run.folder.path() / "f.txt", Bytes("precious"));
    run.dialog.answers = {kIdYes};
    const JobOutcome outcome = run.Run();
    EXPECT_EQ(outcome.end, JobEnd::kFrameStop) << c.what;
    ASSERT_FALSE(run.dialog.messages.empty());
    const std::u16string& shown = run.dialog.messages.back().text;
    if (c.message != nullptr) {
      EXPECT_EQ(U8(shown), U8(c.message)) << c.what;
    } else {
      EXPECT_TRUE(shown == text::kDecryptFailed || shown == text::kFrameSumMismatch) << c.what;
    }
    const auto conversation = run.dialog.Conversation();
    ASSERT_GE(conversation.size(), 3u);
    EXPECT_EQ(conversation[conversation.size() - 3], StopError(shown.c_str())) << c.what;
    EXPECT_EQ(conversation[conversation.size() - 2], "busy 0");
    EXPECT_EQ(conversation.back(), "reset");
    EXPECT_EQ(ReadFile(run.folder.path() / "f.txt"), Bytes("precious")) << c.what;
    // Entries before the failing one stay; no temporary file is left behind.
    const bool firstDecodes = std::u16string(c.password) == u"right";
    const std::vector<std::string> expected = firstDecodes
                                                  ? std::vector<std::string>{"f.txt", "ok.txt"}
                                                  : std::vector<std::string>{"f.txt"};
    EXPECT_EQ(testing::ListTree(run.folder.path()), expected) << c.what;
  }
}

TEST_P(ExtractionJobTest, ChecksumMismatchDeletesTheEntryAndStops) {
  auto archive = testing::WriteArchiveToMemory({{u"f.txt", testing::MixedContent(1000, 1), {}}},
                                               testing::PlainOptions());
  const uint64_t directory = archive.size() - LoadU32(&archive[archive.size() - 4]);
  archive[directory + 16] ^= 1;  // entrySum
  JobRun run(archive);
  EXPECT_EQ(run.Run().end, JobEnd::kMismatchStop);
  EXPECT_EQ(run.dialog.Conversation(),
            (std::vector<std::string>{"password", "selection", StopError(text::kEntrySumMismatch),
                                      "busy 0", "reset"}));
  EXPECT_TRUE(testing::ListTree(run.folder.path()).empty());
}

TEST_P(ExtractionJobTest, AbortAtAFrameOfTheSecondEntryLeavesTheFirst) {
  testing::CraftedOptions options = testing::EncryptedOptions(u"pw");
  options.frameContent = 10000;
  const auto first = testing::MixedContent(30000, 1);
  JobRun run(testing::WriteArchiveToMemory(
      {{u"first.txt", first, {}}, {u"second.txt", testing::MixedContent(100000, 2), {}}}, options));
  run.dialog.password = u"pw";
  int entryStarts = 0;
  int secondEntryFrames = 0;
  run.dialog.onPosition = [&](ControlId bar, uint64_t) {
    if (bar == kProgressEntries) ++entryStarts;
    // Frame positions of the second entry: the first call is its reset to 0, then one per frame.
    if (bar == kProgressBytes && entryStarts == 3 && ++secondEntryFrames == 3) run.abort = true;
  };
  const JobOutcome outcome = run.Run();
  EXPECT_EQ(outcome.end, JobEnd::kAborted);
  EXPECT_EQ(ReadFile(run.folder.path() / "first.txt"), first);
  EXPECT_EQ(testing::ListTree(run.folder.path()), std::vector<std::string>{"first.txt"});
  EXPECT_TRUE(run.dialog.messages.empty());
  EXPECT_EQ(run.dialog.calls.back(), "reset");
  EXPECT_EQ(run.dialog.calls[run.dialog.calls.size() - 2], "busy 0");
}

TEST_P(ExtractionJobTest, EmptyPasswordOnEncryptedArchiveTouchesNoBar) {
  JobRun run(
      testing::WriteArchiveToMemory({{u"f", Bytes("x"), {}}}, testing::EncryptedOptions(u"pw")));
  EXPECT_EQ(run.Run().end, JobEnd::kNoPassword);
  EXPECT_EQ(run.dialog.calls,
            (std::vector<std::string>{"password", "message Ошибка 48 " + U8(text::kEnterPassword),
                                      "busy 0"}));
}

TEST_P(ExtractionJobTest, UnencryptedArchiveIgnoresThePasswordBox) {
  for (const char16_t* password : {u"", u"anything"}) {
    JobRun run(testing::WriteArchiveToMemory({{u"f", Bytes("x"), {}}}, testing::PlainOptions()));
    run.dialog.password = password;
    EXPECT_EQ(run.Run().end, JobEnd::kSucceeded);
    EXPECT_EQ(ReadFile(run.folder.path() / "f"), Bytes("x"));
  }
}

TEST_P(ExtractionJobTest, UnsafeNamesNeverLeaveTheFolder) {
  std::vector<std::u16string> unsafe = {
      u"..\\escape.txt",  u"a\\..\\..\\escape.txt", u"C:\\x.txt", u"a\\b:stream",
      u"/tmp/escape.txt", u"a/../../escape.txt",    u".."};
  const bool windows = NativeFileSystem()->Rules() == NameRules::kWindows;
  if (windows) unsafe.insert(unsafe.end(), {u"CON", u"a\\nul.txt", u"com1.log", u"...\\x"});
  std::vector<PackEntry> entries = {{u"\\rooted.txt", Bytes("r"), {}}};
  for (const auto& name : unsafe) entries.push_back({name, Bytes("evil"), {}});
  entries.push_back({u"safe\\last.txt", Bytes("s"), {}});

  TempFolder outer;  // the destination is a folder inside it, so escapes would land here
  JobRun run(testing::WriteArchiveToMemory(entries, testing::PlainOptions()));
  for (size_t i = 0; i < unsafe.size(); ++i) run.dialog.answers.push_back(kIdNo);
  const JobOutcome outcome = run.Run();
  EXPECT_EQ(outcome.end, JobEnd::kSucceeded);
  EXPECT_EQ(outcome.unsafeSkipped, unsafe.size());
  EXPECT_EQ(testing::ListTree(run.folder.path()),
            (std::vector<std::string>{"rooted.txt", "safe/", "safe/last.txt"}));
  EXPECT_FALSE(fs::exists(run.folder.path().parent_path() / "escape.txt"));
  for (size_t i = 0; i < unsafe.size(); ++i) {
    EXPECT_EQ(run.dialog.Conversation()[2 + i], Question(text::kUnsafeEntryName, unsafe[i]));
  }

  JobRun stopping(testing::WriteArchiveToMemory(
      {{u"..\\x", Bytes("e"), {}}, {u"y", Bytes("y"), {}}}, testing::PlainOptions()));
  stopping.dialog.answers = {kIdYes};
  EXPECT_EQ(stopping.Run().end, JobEnd::kQuestionStop);
  EXPECT_TRUE(testing::ListTree(stopping.folder.path()).empty());
}

TEST_P(ExtractionJobTest, ALongNameUnderADeepFolderIsWrittenWhole) {
  // 250 units of name under a folder already about 100 units deep: beyond the old 260-unit paths.
  const std::u16string name = std::u16string(120, u'd') + u"\\" + std::u16string(125, u'f');
  JobRun run(testing::WriteArchiveToMemory({{name, Bytes("long"), {}}}, testing::PlainOptions()));
  const fs::path deep = run.folder.path() / std::string(90, 'p');
  fs::create_directory(deep);
  const std::u16string destination =
      deep.u16string() + static_cast<char16_t>(fs::path::preferred_separator);
  ASSERT_EQ(ExtractionJob(run.session, destination, run.abort, run.dialog, *run.files, gTuning).end,
            JobEnd::kSucceeded);
  EXPECT_EQ(ReadFile(fs::path(run.files->JoinEntryPath(destination, name))), Bytes("long"));
}

// The native file system with writes or the final move made to fail.
class FailingFileSystem : public FileSystem {
 public:
  FailingFileSystem(bool failWrites, bool failMove)
      : inner_(NativeFileSystem()), failWrites_(failWrites), failMove_(failMove) {}

  std::unique_ptr<ReadableFile> OpenForReading(const std::u16string& p) override {
    return inner_->OpenForReading(p);
  }
  std::unique_ptr<WritableFile> CreateTemporaryBeside(const std::u16string& target,
                                                      std::u16string& temp) override {
    auto file = inner_->CreateTemporaryBeside(target, temp);
    if (!file || !failWrites_) return file;
    return std::make_unique<ShortWriter>(std::move(file));
  }
  PathKind QueryPath(const std::u16string& p) override { return inner_->QueryPath(p); }
  bool MakeDirectory(const std::u16string& p) override { return inner_->MakeDirectory(p); }
  bool RemoveFile(const std::u16string& p) override { return inner_->RemoveFile(p); }
  bool MoveReplacing(const std::u16string& from, const std::u16string& to) override {
    return !failMove_ && inner_->MoveReplacing(from, to);
  }
  std::u16string FailureReason() const override { return u"moving refused"; }
  std::u16string JoinEntryPath(const std::u16string& f, const std::u16string& n) const override {
    return inner_->JoinEntryPath(f, n);
  }
  NameRules Rules() const override { return inner_->Rules(); }

 private:
  // Writes one byte less than asked, as a full disk would.
  class ShortWriter : public WritableFile {
   public:
    explicit ShortWriter(std::unique_ptr<WritableFile> inner) : inner_(std::move(inner)) {}
    size_t Write(const uint8_t* data, size_t count) override {
      return count == 0 ? 0 : inner_->Write(data, count - 1);
    }
    bool Close() override { return inner_->Close(); }
    std::u16string FailureReason() const override { return u"disk full"; }

   private:
    std::unique_ptr<WritableFile> inner_;
  };

  std::unique_ptr<FileSystem> inner_;
  bool failWrites_;
  bool failMove_;
};

TEST_P(ExtractionJobTest, OutputFailuresNeverCostTheExistingFile) {
  struct Case {
    const char* what;
    bool failWrites, failMove;
    MessageAnswer answer;  // to the overwrite question, then to the create question
    JobEnd end;
  } cases[] = {
      {"short write", true, false, kIdYes, JobEnd::kFrameStop},
      {"replace refused, go on", false, true, kIdNo, JobEnd::kSucceeded},
      {"replace refused, stop", false, true, kIdYes, JobEnd::kQuestionStop},
  };
  for (const Case& c : cases) {
    JobRun run(testing::WriteArchiveToMemory({{u"f.txt", testing::MixedContent(3000, 1), {}}},
                                             testing::PlainOptions()));
    FailingFileSystem files(c.failWrites, c.failMove);
    testing::WriteFile(run.folder.path() / "f.txt", Bytes("precious"));
    run.dialog.answers = {kIdYes, c.answer};
    const JobOutcome outcome = ExtractionJob(run.session, run.folder.WithSeparator(), run.abort,
                                             run.dialog, files, gTuning);
    EXPECT_EQ(outcome.end, c.end) << c.what;
    EXPECT_EQ(ReadFile(run.folder.path() / "f.txt"), Bytes("precious")) << c.what;
    EXPECT_EQ(testing::ListTree(run.folder.path()), std::vector<std::string>{"f.txt"}) << c.what;
    const std::u16string expected = c.failWrites
                                        ? std::u16string(text::kWriteFailed)
                                        : FillIn(text::kCreateFileFailed, run.PathOf(u"f.txt"));
    EXPECT_EQ(U8(run.dialog.messages.at(1).text), U8(expected)) << c.what;
    // The system's reason goes along for the command-line tool, outside the text.
    EXPECT_EQ(U8(run.dialog.messages.at(1).detail), c.failWrites ? "disk full" : "moving refused")
        << c.what;
  }
}

}  // namespace
}  // namespace ozr
