// The dialog's commands: what each shows, in which order it switches the dialog, and what it
// leaves in the shared values; and the folder texts and the file dialog's filters.
#include "ui/dialog_commands.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "base/control_ids.h"
#include "base/utf.h"
#include "support/memory_file_system.h"

namespace ozr {
namespace {

using namespace std::string_literals;

// Records the commands' calls as text, in order, with the shared values at each worker start.
class CommandRecorder : public CommandView {
 public:
  explicit CommandRecorder(const ExtractionShare& share) : share_(share) {}
  int SelectedCount() override { return selected; }
  std::u16string DestinationText() override { return destination; }
  MessageAnswer ShowMessage(const Message& message) override {
    calls.push_back(ToUtf8(message.text) + " | " + ToUtf8(message.caption) + " | " +
                    std::to_string(message.flags) + (message.ownedByDialog ? "" : " | free"));
    return answer;
  }
  void SetBusy(bool busy) override { calls.push_back(busy ? "busy" : "idle"); }
  bool StartWorker() override {
    calls.push_back("start into " + ToUtf8(share_.destinationFolder) +
                    (share_.abortRequested ? ", abort raised" : ""));
    return threadStarts;
  }

  int selected = 2;
  std::u16string destination = u"C:\\Вывод\\";
  bool threadStarts = true;
  MessageAnswer answer = kIdOk;
  std::vector<std::string> calls;

 private:
  const ExtractionShare& share_;
};

struct CommandCase {
  const char* what;
  std::function<void(CommandRecorder&, ExtractionShare&)> setup;
  std::function<void(CommandRecorder&, ExtractionShare&)> command;
  std::vector<std::string> calls;
  std::string after;  // the shared values: busy, abort, folder
};

TEST(DialogCommands, DecideFromTheDialogsState) {
  testing::MemoryFileSystem files(NameRules::kWindows);
  files.AddDirectory(u"C:\\Вывод");
  files.AddFile(u"C:\\файл.txt", {});
  const auto extract = [&](CommandRecorder& view, ExtractionShare& share) {
    ExtractCommand(view, files, share);
  };
  const auto abort = [](CommandRecorder& view, ExtractionShare& share) {
    AbortCommand(view, share);
  };
  const auto close = [](CommandRecorder& view, ExtractionShare& share) {
    view.calls.push_back(CloseCommand(view, share) ? "may close" : "stays");
  };
  const auto none = [](CommandRecorder&, ExtractionShare&) {};
  const std::string kInvalid = "Недопустимая директория для распаковки файлов. | Ошибка! | 0";
  const CommandCase cases[] = {
      {"extract", none, extract, {"busy", "start into C:\\Вывод\\"}, "0 0 C:\\Вывод\\"},
      {"extract to a drive's root",
       [](auto& v, auto&) { v.destination = u"C:\\"; },
       extract,
       {"busy", "start into C:\\"},
       "0 0 C:\\"},
      {"extract, separator added",
       [](auto& v, auto&) { v.destination = u"C:\\Вывод"; },
       extract,
       {"busy", "start into C:\\Вывод\\"},
       "0 0 C:\\Вывод\\"},
      {"nothing selected",
       [](auto& v, auto&) { v.selected = 0; },
       extract,
       {"Выберите файлы для распаковки. | Ошибка! | 0"},
       "0 1 (earlier)"},
      {"missing folder",
       [](auto& v, auto&) { v.destination = u"C:\\Удалена\\"; },
       extract,
       {kInvalid},
       "0 1 C:\\Удалена\\"},
      {"a file, not a folder",
       [](auto& v, auto&) { v.destination = u"C:\\файл.txt"; },
       extract,
       {kInvalid},
       "0 1 C:\\файл.txt\\"},
      {"empty field", [](auto& v, auto&) { v.destination = u""; }, extract, {kInvalid}, "0 1 "},
      // Nothing would end the busy state but the command itself.
      {"thread not started",
       [](auto& v, auto&) { v.threadStarts = false; },
       extract,
       {"busy", "start into C:\\Вывод\\", "Ошибка создания потока распаковки. | Ошибка! | 0",
        "idle"},
       "0 0 C:\\Вывод\\"},
      {"abort: yes",
       [](auto& v, auto& s) { v.answer = kIdYes, s.abortRequested = false; },
       abort,
       {"Прервать процесс распаковки? | Подтверждение | 36"},
       "0 1 (earlier)"},
      {"abort: no",
       [](auto& v, auto& s) { v.answer = kIdNo, s.abortRequested = false; },
       abort,
       {"Прервать процесс распаковки? | Подтверждение | 36"},
       "0 0 (earlier)"},
      {"close while idle", none, close, {"may close"}, "0 1 (earlier)"},
      {"close while busy",
       [](auto&, auto& s) { s.extractionBusy = true; },
       close,
       {"Сначала завершите распаковку. | Ошибка | 48", "stays"},
       "1 1 (earlier)"},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.what);
    ExtractionShare share;
    share.abortRequested = true;  // left over from an earlier job
    share.destinationFolder = u"(earlier)";
    CommandRecorder view(share);
    c.setup(view, share);
    c.command(view, share);
    EXPECT_EQ(view.calls, c.calls);
    EXPECT_EQ(std::to_string(share.extractionBusy) + " " + std::to_string(share.abortRequested) +
                  " " + ToUtf8(share.destinationFolder),
              c.after);
  }
}

TEST(DialogCommands, OnlyAClickOnOneOfTheFourButtonsActs) {
  // The command word: notification code in the high half, control ID in the low half.
  const std::pair<uint32_t, DialogCommand> cases[] = {
      {1005, DialogCommand::kBrowse},
      {1006, DialogCommand::kExtract},
      {1008, DialogCommand::kAbort},
      {1013, DialogCommand::kSelectAll},
      {1, DialogCommand::kNone},               // IDOK: Enter
      {2, DialogCommand::kNone},               // IDCANCEL: Esc
      {1007, DialogCommand::kNone},            // the password field
      {6 << 16 | 1006, DialogCommand::kNone},  // BN_SETFOCUS
      {1 << 16 | 1011, DialogCommand::kNone},  // LBN_SELCHANGE
  };
  for (const auto& [command, expected] : cases) {
    EXPECT_EQ(CommandFor(command), expected) << command;
  }
}

TEST(DialogCommands, FolderTexts) {
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
  EXPECT_EQ(ArchiveFilterList(),
            u"Архивные файлы (*.ozr)\0*.ozr\0Самораспаковывающиеся архивы (*.exe)\0*.exe\0"
            u"Все файлы (*.*)\0*.*\0\0"s);
}

}  // namespace
}  // namespace ozr
