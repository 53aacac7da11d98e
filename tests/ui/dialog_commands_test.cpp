// The dialog's commands: what each shows, in which order it switches the dialog, and what it
// leaves in the shared values; and the folder texts and the file dialog's filters.
#include "ui/dialog_commands.h"

#include <gtest/gtest.h>

#include "base/control_ids.h"
#include "base/utf.h"
#include "support/memory_file_system.h"

namespace ozr {
namespace {

using namespace std::string_literals;

// A command ('e'xtract, 'a'bort, 'c'lose) on a dialog in the given state; `after` holds the
// shared values: busy, abort, folder.
struct CommandCase {
  char command;
  std::u16string destination;
  int selected;
  bool threadStarts;
  MessageAnswer answer;
  bool busy;
  std::vector<std::string> calls;
  std::string after;
};

// Answers as the case says and records the commands' calls as text, in order, with the shared
// values at each worker start.
class CommandRecorder : public CommandView {
 public:
  CommandRecorder(const CommandCase& state, const ExtractionShare& share)
      : state_(state), share_(share) {}
  int SelectedCount() override { return state_.selected; }
  std::u16string DestinationText() override { return state_.destination; }
  MessageAnswer ShowMessage(const Message& message) override {
    calls.push_back(ToUtf8(message.text) + " | " + ToUtf8(message.caption) + " | " +
                    std::to_string(message.flags) + (message.ownedByDialog ? "" : " | free"));
    return state_.answer;
  }
  void SetBusy(bool busy) override { calls.push_back(busy ? "busy" : "idle"); }
  bool StartWorker() override {
    calls.push_back("start into " + ToUtf8(share_.destinationFolder) +
                    (share_.abortRequested ? ", abort raised" : ""));
    return state_.threadStarts;
  }

  std::vector<std::string> calls;

 private:
  const CommandCase& state_;
  const ExtractionShare& share_;
};

TEST(DialogCommands, DecideFromTheDialogsState) {
  testing::MemoryFileSystem files(NameRules::kWindows);
  files.AddDirectory(u"C:\\Вывод");
  files.AddFile(u"C:\\файл.txt", {});
  const std::string kInvalid = "Недопустимая директория для распаковки файлов. | Ошибка! | 0";
  const std::string kAbort = "Прервать процесс распаковки? | Подтверждение | 36";
  const std::string kStart = "start into C:\\Вывод\\", kRoot = "start into C:\\";
  const std::string kNothing = "Выберите файлы для распаковки. | Ошибка! | 0";
  const std::string kThread = "Ошибка создания потока распаковки. | Ошибка! | 0";
  const std::string kBusy = "Сначала завершите распаковку. | Ошибка | 48";
  const CommandCase cases[] = {
      {'e', u"C:\\Вывод\\", 2, true, kIdOk, false, {"busy", kStart}, "0 0 C:\\Вывод\\"},
      {'e', u"C:\\Вывод", 2, true, kIdOk, false, {"busy", kStart}, "0 0 C:\\Вывод\\"},
      {'e', u"C:\\Вывод", 0, true, kIdOk, false, {kNothing}, "0 1 (earlier)"},
      {'e', u"C:\\файл.txt", 2, true, kIdOk, false, {kInvalid}, "0 1 C:\\файл.txt\\"},
      {'e', u"", 2, true, kIdOk, false, {kInvalid}, "0 1 "},
      // Nothing would end the busy state but the command itself.
      {'e', u"C:\\", 2, false, kIdOk, false, {"busy", kRoot, kThread, "idle"}, "0 0 C:\\"},
      {'a', u"", 2, true, kIdYes, false, {kAbort}, "0 1 (earlier)"},
      {'a', u"", 2, true, kIdNo, false, {kAbort}, "0 0 (earlier)"},
      {'c', u"", 2, true, kIdOk, false, {"may close"}, "0 1 (earlier)"},
      {'c', u"", 2, true, kIdOk, true, {kBusy, "stays"}, "1 1 (earlier)"},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.after);
    ExtractionShare share;
    share.abortRequested = c.command != 'a';  // left over from an earlier job
    share.destinationFolder = u"(earlier)";
    share.extractionBusy = c.busy;
    CommandRecorder view(c, share);
    if (c.command == 'e') ExtractCommand(view, files, share);
    if (c.command == 'a') AbortCommand(view, share);
    if (c.command == 'c') view.calls.push_back(CloseCommand(view, share) ? "may close" : "stays");
    EXPECT_EQ(view.calls, c.calls);
    EXPECT_EQ(std::to_string(share.extractionBusy) + " " + std::to_string(share.abortRequested) +
                  " " + ToUtf8(share.destinationFolder),
              c.after);
  }
}

TEST(DialogCommands, OnlyAClickOnOneOfTheFourButtonsActs) {
  // The command word: notification code in the high half, control ID in the low half. Not acting:
  // IDOK (Enter), BN_SETFOCUS.
  const std::pair<uint32_t, DialogCommand> cases[] = {
      {1005, DialogCommand::kBrowse}, {1006, DialogCommand::kExtract},
      {1008, DialogCommand::kAbort},  {1013, DialogCommand::kSelectAll},
      {1, DialogCommand::kNone},      {6 << 16 | 1006, DialogCommand::kNone}};
  for (const auto& [command, expected] : cases) EXPECT_EQ(CommandFor(command), expected) << command;
}

TEST(DialogCommands, ProgramFolderAndFilters) {
  EXPECT_EQ(FolderOf(u"C:\\Программы\\unpacker.exe"), u"C:\\Программы");
  EXPECT_EQ(FolderOf(u"unpacker.exe"), u"");
  EXPECT_EQ(ArchiveFilterList(),
            u"Архивные файлы (*.ozr)\0*.ozr\0Самораспаковывающиеся архивы (*.exe)\0*.exe\0"
            u"Все файлы (*.*)\0*.*\0\0"s);
}

}  // namespace
}  // namespace ozr
