// The dialog's commands: what each shows, in which order it switches the dialog, and what it
// leaves in the shared values.
#include "ui/dialog_commands.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "base/control_ids.h"
#include "base/texts.h"
#include "base/utf.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

// Records the commands' calls as text, in order.
class CommandRecorder : public CommandView {
 public:
  explicit CommandRecorder(const ExtractionShare& share) : share_(share) {}
  int selected = 2;
  std::u16string destination = u"C:\\Вывод\\";
  bool threadStarts = true;
  std::deque<MessageAnswer> answers;
  std::vector<std::string> calls;

  int SelectedCount() override { return selected; }
  std::u16string DestinationText() override { return destination; }
  MessageAnswer ShowMessage(const Message& message) override {
    EXPECT_TRUE(message.ownedByDialog);
    calls.push_back("message " + ToUtf8(message.text) + " | " + ToUtf8(message.caption) + " | " +
                    std::to_string(message.flags));
    if (answers.empty()) return kIdOk;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void SetBusy(bool busy) override { calls.push_back(busy ? "busy" : "idle"); }
  bool StartWorker() override {
    calls.push_back(std::string("start, abort ") + (share_.abortRequested ? "raised" : "clear"));
    return threadStarts;
  }

 private:
  const ExtractionShare& share_;
};

// Folders and files by path, for the destination check.
class KindFileSystem : public testing::OneFileSystem {
 public:
  KindFileSystem() : OneFileSystem({}) {}
  std::map<std::u16string, PathKind> kinds = {{u"C:\\Вывод\\", PathKind::kDirectory},
                                              {u"C:\\", PathKind::kDirectory},
                                              {u"C:\\файл.txt\\", PathKind::kMissing},
                                              {u"C:\\файл.txt", PathKind::kOther}};
  PathKind QueryPath(const std::u16string& path) override {
    const auto found = kinds.find(path);
    return found == kinds.end() ? PathKind::kMissing : found->second;
  }
};

std::string Shown(const char16_t* text, const char16_t* caption, unsigned flags) {
  return "message " + ToUtf8(text) + " | " + ToUtf8(caption) + " | " + std::to_string(flags);
}

struct ExtractCase {
  // cppcheck-suppress unusedStructMember ; it names the case
  const char* name;
  int selected;
  std::u16string destination;
  bool threadStarts;
  std::vector<std::string> calls;
  std::u16string destinationFolder;  // what the job will write into
};

class ExtractCommandTest : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractCommandTest, ChecksThenStartsTheJob) {
  const ExtractCase& c = GetParam();
  ExtractionShare share;
  share.abortRequested = true;  // left over from an earlier job
  share.destinationFolder = u"(earlier)";
  CommandRecorder view(share);
  view.selected = c.selected;
  view.destination = c.destination;
  view.threadStarts = c.threadStarts;
  KindFileSystem files;

  ExtractCommand(view, files, share);

  EXPECT_EQ(view.calls, c.calls);
  EXPECT_EQ(share.destinationFolder, c.destinationFolder);
}

const std::string kStarted = "start, abort clear";

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractCommandTest,
    ::testing::Values(
        ExtractCase{"Started", 2, u"C:\\Вывод\\", true, {"busy", kStarted}, u"C:\\Вывод\\"},
        ExtractCase{"DriveRoot", 1, u"C:\\", true, {"busy", kStarted}, u"C:\\"},
        ExtractCase{"SeparatorAdded", 1, u"C:\\Вывод", true, {"busy", kStarted}, u"C:\\Вывод\\"},
        ExtractCase{"NothingSelected",
                    0,
                    u"C:\\Вывод\\",
                    true,
                    {Shown(text::kSelectFiles, text::kCaptionErrorBang, kMbOk)},
                    u"(earlier)"},
        ExtractCase{"MissingFolder",
                    2,
                    u"C:\\Удалена\\",
                    true,
                    {Shown(text::kInvalidDestination, text::kCaptionErrorBang, kMbOk)},
                    u"C:\\Удалена\\"},
        ExtractCase{"FileInsteadOfFolder",
                    2,
                    u"C:\\файл.txt",
                    true,
                    {Shown(text::kInvalidDestination, text::kCaptionErrorBang, kMbOk)},
                    u"C:\\файл.txt\\"},
        ExtractCase{"EmptyField",
                    2,
                    u"",
                    true,
                    {Shown(text::kInvalidDestination, text::kCaptionErrorBang, kMbOk)},
                    u""},
        // Nothing will end the busy state but the command itself.
        ExtractCase{"ThreadNotStarted",
                    2,
                    u"C:\\Вывод\\",
                    false,
                    {"busy", kStarted,
                     Shown(text::kThreadStartFailed, text::kCaptionErrorBang, kMbOk), "idle"},
                    u"C:\\Вывод\\"}),
    [](const ::testing::TestParamInfo<ExtractCase>& info) { return info.param.name; });

TEST(AbortCommandTest, OnlyYesRaisesTheFlag) {
  for (const auto& [answer, raised] :
       {std::pair{kIdYes, true}, std::pair{kIdNo, false}, std::pair{kIdCancel, false}}) {
    ExtractionShare share;
    CommandRecorder view(share);
    view.answers = {answer};
    AbortCommand(view, share);
    EXPECT_EQ(share.abortRequested, raised) << "answer " << answer;
    EXPECT_EQ(view.calls,
              (std::vector<std::string>{Shown(text::kAbortQuestion, text::kCaptionConfirm, 0x24)}));
  }
}

TEST(CloseCommandTest, RefusedOnlyWhileBusy) {
  ExtractionShare share;
  CommandRecorder view(share);
  EXPECT_TRUE(CloseCommand(view, share));
  EXPECT_TRUE(view.calls.empty());

  share.extractionBusy = true;
  EXPECT_FALSE(CloseCommand(view, share));
  EXPECT_EQ(view.calls,
            (std::vector<std::string>{Shown(text::kFinishFirst, text::kCaptionError, 0x30)}));
}

TEST(CommandForTest, OnlyAClickOnOneOfTheFourButtonsActs) {
  // The command word: notification code in the high half, control ID in the low half.
  const auto word = [](uint32_t id, uint32_t code) { return code << 16 | id; };
  constexpr uint32_t kClick = 0;      // BN_CLICKED
  constexpr uint32_t kSetFocus = 6;   // BN_SETFOCUS
  constexpr uint32_t kSelChange = 1;  // LBN_SELCHANGE
  const std::pair<uint32_t, DialogCommand> cases[] = {
      {word(kBrowseButton, kClick), DialogCommand::kBrowse},
      {word(kExtractButton, kClick), DialogCommand::kExtract},
      {word(kAbortButton, kClick), DialogCommand::kAbort},
      {word(kSelectAllButton, kClick), DialogCommand::kSelectAll},
      {word(1, kClick), DialogCommand::kNone},  // IDOK: Enter
      {word(2, kClick), DialogCommand::kNone},  // IDCANCEL: Esc
      {word(kExtractButton, kSetFocus), DialogCommand::kNone},
      {word(kEntryList, kSelChange), DialogCommand::kNone},
      {word(kPasswordField, kClick), DialogCommand::kNone},
  };

  for (const auto& [command, expected] : cases) {
    EXPECT_EQ(CommandFor(command), expected) << "command word " << command;
  }
}

TEST(FolderTextTest, FinalSeparatorAndFolderOfAPath) {
  const std::pair<std::u16string, std::u16string> separated[] = {
      {u"", u""},
      {u"C:\\", u"C:\\"},
      {u"C:\\Data", u"C:\\Data\\"},
      {u"C:\\Data\\", u"C:\\Data\\"},
      {u"\\\\сервер\\общая", u"\\\\сервер\\общая\\"},
  };
  for (const auto& [folder, expected] : separated) {
    EXPECT_EQ(WithFinalSeparator(folder), expected) << ToUtf8(folder);
  }
  const std::pair<std::u16string, std::u16string> folders[] = {
      {u"C:\\Программы\\unpacker.exe", u"C:\\Программы"},
      {u"C:\\unpacker.exe", u"C:"},
      {u"unpacker.exe", u""},
  };
  for (const auto& [path, expected] : folders) {
    EXPECT_EQ(FolderOf(path), expected) << ToUtf8(path);
  }
}

TEST(ArchiveFilterListTest, ThreePairsEndedByAnEmptyText) {
  using namespace std::string_literals;
  const std::u16string expected =
      u"Архивные файлы (*.ozr)\0*.ozr\0Самораспаковывающиеся архивы (*.exe)\0*.exe\0"
      u"Все файлы (*.*)\0*.*\0\0"s;
  EXPECT_EQ(ArchiveFilterList(), expected);
}

}  // namespace
}  // namespace ozr
