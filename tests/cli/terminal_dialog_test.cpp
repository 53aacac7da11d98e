// The job's dialog on a terminal: typed answers, questions, the password prompt and the bar.
#include "cli/terminal_dialog.h"

#include <gtest/gtest.h>

#include "base/utf.h"
#include "cli/progress_line.h"
#include "fake_console.h"

namespace ozr::cli {
namespace {

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
  testing::FakeConsole console;
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
  const std::u16string stop = u"\nПрервать распаковку?";
  const std::u16string j16(16, u'ж');
  const std::nullopt_t none = std::nullopt;
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {Dialog(C::kFileExists, ask, false, none, {u"может", u"Д"}),
       u"да|" + exists + u" [д/н] <может>\n" + exists + u" [д/н] <Д>\n"},
      {Dialog(C::kFileExists, no, false, none, {u"д"}), u"нет|" + exists + u" нет\n"},
      {Dialog(C::kFileExists, yes, false, none, {u"н"}), u"да|"},
      // Questions offering to stop are the user's, whatever --overwrite says.
      {Dialog(C::kCreateFileFailed, yes, false, none, {u"н"}),
       u"нет|Не удалось создать файл x." + stop + u" [д/н] <н>\n"},
      {Dialog(C::kUnsafeEntryName, no, false, none, {u"y"}),
       u"да|Недопустимое имя файла в архиве: x." + stop + u" [д/н] <y>\n"},
      {Dialog(C::kCreateDirectoryFailed, no, false, none, {u"n"}),
       u"нет|Не удалось создать директорию x." + stop + u" [д/н] <n>\n"},
      {Dialog(C::kCreateFileFailed, ask, false, none, {}),  // the input ended
       u"да|Не удалось создать файл x." + stop + u" [д/н] \nда\n"},
      // After Ctrl+C, and without a terminal, an existing file is kept.
      {Dialog(C::kFileExists, ask, false, none, {u"д"}, true), u"нет|" + exists + u" нет\n"},
      {Dialog(C::kFileExists, ask, false, u"-", {u"д"}), u"нет|" + exists + u" нет\n"},
      {Dialog(C::kEnterPassword, ask, false, none, {}), u"ok|Введите пароль.\n"},
      {Dialog(C::kEnterPassword, ask, false, none, {}, true), u"ok|"},  // the prompt left by Ctrl+C
      {Dialog(none, ask, false, none, {u"x"}), u"|"},                   // not encrypted
      {Dialog(none, ask, true, u"дано", {u"x"}), u"дано|"},
      {Dialog(none, ask, true, u"-", {u"x"}), u"|"},
      {Dialog(none, ask, true, none, {j16}), j16 + u"|Пароль: "},
      {Dialog(none, ask, true, none, {j16 + u"ж", u"ok"}),
       u"ok|Пароль: Пароль длиннее 16 знаков.\nПароль: "},
      {Dialog(none, ask, true, none, {}), u"|Пароль: "},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

TEST(FormatProgress, CounterBarAndPercent) {
  struct Case {
    uint64_t entry, entries, position, range;
    std::u16string line;
  };
  const std::vector<Case> cases = {
      {1, 3, 0, 1, u"[1/3] [..............................]   0%"},
      {2, 5, 1, 2, u"[2/5] [###############...............]  50%"},
      {3, 3, 9, 7, u"[3/3] [##############################] 100%"},  // past the end: full
      {1, 1, 5, 0, u"[1/1] [..............................]   0%"},  // an empty range
      {0, 0, 1, 3, u"[##########....................]  33%"},
      {12, 340, 299, 300, u"[12/340] [#############################.]  99%"},
      // Byte counts far beyond what a percentage computed in integers could hold.
      {0, 0, uint64_t{1} << 62, uint64_t{1} << 63, u"[###############...............]  50%"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatProgress(c.entry, c.entries, c.position, c.range), c.line) << ToUtf8(c.line);
  }
}

TEST(ProgressLine, RedrawsOnlyChangesAndCoversLongerTexts) {
  testing::FakeConsole console;
  {
    ProgressLine line(console, true);
    for (const char16_t* text : {u"abcd", u"abcd", u"xy", u"", u"", u"z"}) {
      *text ? line.Show(text) : line.Clear();
    }
  }  // destroyed with a text shown: wiped
  EXPECT_EQ(console.err, u"\rabcd\rxy  \r  \r\rz\r \r");
}

}  // namespace
}  // namespace ozr::cli
