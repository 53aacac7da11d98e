// What runs of `ozr` cannot show cheaply: the dialog and the bar on a terminal, and commands on
// files only a test can craft (a signed stub for `pack --sfx`, entry names the writer refuses).
#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "base/utf.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/progress_line.h"
#include "cli/terminal_dialog.h"
#include "support/temp_folder.h"
#include "support/test_archives.h"

namespace ozr::cli {
namespace {

namespace fs = std::filesystem;

// Records what the tool writes and answers reads from a script of lines.
class FakeConsole : public Console {
 public:
  void Write(Stream stream, std::u16string_view text) override {
    (stream == Stream::kOutput ? out : err).append(text);
  }
  bool IsTerminal(Stream) override { return false; }
  bool ReadLine(std::u16string& line) override {
    if (!ReadSecret(u"", line)) return false;
    err += u"<" + line + u">\n";  // what the user typed, as a terminal would echo it
    return true;
  }
  bool ReadSecret(std::u16string_view prompt, std::u16string& line) override {
    err.append(prompt);
    if (input.empty()) return false;
    line = input.front();
    input.pop_front();
    return true;
  }

  std::u16string out;
  std::u16string err;
  std::deque<std::u16string> input;
};

TEST(ParseAnswer, RussianAndEnglishInAnyCase) {
  const std::optional<MessageAnswer> y = kIdYes, n = kIdNo, none;
  const std::vector<std::pair<std::u16string, std::optional<MessageAnswer>>> cases = {
      {u"д", y},     {u"Да", y},      {u" ДА ", y}, {u"y", y},        {u"YES", y},
      {u"н", n},     {u"НЕТ", n},     {u"\tn", n},  {u"No", n},       {u"", none},
      {u"  ", none}, {u"yess", none}, {u"l", none}, {u"да нет", none}};
  for (const auto& [typed, answer] : cases) EXPECT_EQ(ParseAnswer(typed), answer) << ToUtf8(typed);
}

// A dialog at a terminal with the given settings, the user typing `typed`, after Ctrl+C when
// `interrupted`; it shows `message` (with "x" at its "%s"), or reads the password when there is
// none. Returns the answer (да, нет, ok) or the password, then all written to stderr.
std::u16string Dialog(std::optional<MessageCode> message, OverwriteMode overwrite, bool encrypted,
                      std::optional<std::u16string> given, std::deque<std::u16string> typed,
                      bool interrupted = false) {
  FakeConsole console;
  console.input = std::move(typed);
  DialogSettings settings;
  settings.overwrite = overwrite;
  settings.canAsk = settings.canPrompt = !given || *given != u"-";  // "-": no terminal
  settings.encrypted = encrypted;
  if (given && *given != u"-") settings.password = given;
  const std::atomic<bool> stopped{interrupted};
  TerminalDialog dialog(console, {}, settings, stopped);
  std::u16string result = message ? u"ok" : dialog.ReadPassword();
  if (message) {
    const unsigned buttons = message == MessageCode::kEnterPassword ? kMbIconWarning : kMbYesNo;
    const MessageAnswer answer = dialog.ShowMessage(Message(*message, u"", buttons, u"x"));
    if (answer != kIdOk) result = answer == kIdYes ? u"да" : u"нет";
  }
  EXPECT_EQ(console.out, u"");
  return result + u"|" + console.err;
}

TEST(TerminalDialog, QuestionsMessagesAndPassword) {
  using C = MessageCode;
  const OverwriteMode ask = OverwriteMode::kAsk, no = OverwriteMode::kNo, yes = OverwriteMode::kYes;
  const std::u16string exists = u"Файл x уже существует.\nПерезаписать?";
  const std::u16string j16(16, u'ж');
  const std::nullopt_t none = std::nullopt;
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {Dialog(C::kFileExists, ask, false, none, {u"может", u"Д"}),
       u"да|" + exists + u" [д/н] <может>\n" + exists + u" [д/н] <Д>\n"},
      {Dialog(C::kFileExists, no, false, none, {u"д"}), u"нет|" + exists + u" нет\n"},
      {Dialog(C::kFileExists, yes, false, none, {u"н"}), u"да|"},
      // Questions offering to stop are the user's, whatever --overwrite says.
      {Dialog(C::kCreateFileFailed, yes, false, none, {u"н"}),
       u"нет|Не удалось создать файл x.\nПрервать распаковку? [д/н] <н>\n"},
      // After Ctrl+C, and without a terminal, an existing file is kept.
      {Dialog(C::kFileExists, ask, false, none, {u"д"}, true), u"нет|" + exists + u" нет\n"},
      {Dialog(C::kFileExists, ask, false, u"-", {u"д"}), u"нет|" + exists + u" нет\n"},
      {Dialog(C::kEnterPassword, ask, false, none, {}, true), u"ok|"},  // the prompt left by Ctrl+C
      {Dialog(none, ask, false, none, {u"x"}), u"|"},                   // not encrypted
      {Dialog(none, ask, true, u"-", {u"x"}), u"|"},
      {Dialog(none, ask, true, none, {j16}), j16 + u"|Пароль: "},
      {Dialog(none, ask, true, none, {j16 + u"ж", u"ok"}),
       u"ok|Пароль: Пароль длиннее 16 знаков.\nПароль: "},
      {Dialog(none, ask, true, none, {}), u"|Пароль: "},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

TEST(FormatProgress, CounterBarAndPercent) {
  const std::vector<std::tuple<uint64_t, uint64_t, uint64_t, uint64_t, std::u16string>> cases = {
      {3, 3, 9, 7, u"[3/3] [##############################] 100%"},  // past the end: full
      {1, 1, 5, 0, u"[1/1] [..............................]   0%"},  // an empty range
      {0, 0, 1, 3, u"[##########....................]  33%"},
      {12, 340, 299, 300, u"[12/340] [#############################.]  99%"},
      // Byte counts far beyond what a percentage computed in integers could hold.
      {0, 0, uint64_t{1} << 62, uint64_t{1} << 63, u"[###############...............]  50%"},
  };
  for (const auto& [entry, entries, position, range, line] : cases) {
    EXPECT_EQ(FormatProgress(entry, entries, position, range), line) << ToUtf8(line);
  }
}

// `ozr` run with `args` in a fresh current folder holding `files`: the exit status, stdout, stderr
// and every path there afterwards.
struct OzrRun {
  OzrRun(const std::map<std::string, std::vector<uint8_t>>& files,
         const std::vector<std::string>& args) {
    const fs::path before = fs::current_path();
    fs::current_path(folder.path());
    for (const auto& [name, bytes] : files) testing::WriteFile(name, bytes);
    FakeConsole console;
    const int status = RunOzr(args, console);
    fs::current_path(before);
    outcome = std::to_string(status) + "|" + ToUtf8(console.out + u"|" + console.err) + "|";
    for (const std::string& path : testing::ListTree(folder.path())) outcome += path + " ";
  }

  testing::TempFolder folder;
  std::string outcome;
};

TEST(RunPack, SfxDropsTheStubsSignatureAndEndsAtAMultipleOf8) {
  std::vector<uint8_t> program = testing::PeImage();
  program.resize(0x405, 0x90);
  program[0xD8] = 0x5A;                                                   // CheckSum
  const OzrRun run({{"a", {1}}, {"stub.exe", testing::Signed(program)}},  // its table at 0x408
                   {"pack", "s.exe", "a", "--sfx", "--stub", "stub.exe", "-q"});
  EXPECT_EQ(run.outcome,
            "0||Подпись распаковщика stub.exe удалена: архив за ним сделал бы её "
            "недействительной. Подпишите готовый файл.\n|a s.exe stub.exe ");
  const std::vector<uint8_t> written = testing::ReadFile(run.folder.path() / "s.exe");
  program.resize(0x408);  // as written: its padding kept, the table left out
  program[0xD8] = 0;      // CheckSum
  ASSERT_GT(written.size(), 0x408u);
  EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.begin() + 0x408), program);
  EXPECT_EQ(written.size() % 8, 0u);
  ArchiveSession session;
  testing::OpenFromMemory(written, session);
  EXPECT_EQ(session.DataAreaPosition(), 0x408u) << "the archive right behind the stub";
}

TEST(RunPack, StoppedLeavesNoArchive) {
  testing::TempFolder folder;
  testing::WriteFile(folder.path() / "a", {1});
  Arguments arguments;
  arguments.output = PathFromBytes((folder.path() / "a.ozr").string());
  arguments.inputs = {PathFromBytes((folder.path() / "a").string())};
  FakeConsole console;
  const std::atomic<bool> stopped{true};
  EXPECT_EQ(RunPack(arguments, console, *NativeFileSystem(), u"", stopped), 130);
  EXPECT_EQ(console.err, u"Прервано пользователем.\n");
  EXPECT_EQ(testing::ListTree(folder.path()), std::vector<std::string>{"a"});
}

// Testing checks every entry, and names the ones `extract` would refuse.
TEST(RunTest, NamesEntriesExtractRefuses) {
  const OzrRun run(
      {{"a.ozr", testing::WriteArchiveToMemory({{u"ok", testing::Bytes("fine"), {}},
                                                {u"..\\a\u202E", testing::Bytes("bad"), {}}},
                                               testing::PlainOptions())}},
      {"test", "a.ozr"});
  EXPECT_EQ(run.outcome, "1||Недопустимое имя файла в архиве: ..\\a\uFFFD.\n|a.ozr ");
}

}  // namespace
}  // namespace ozr::cli
