// The job's dialog on a terminal: typed answers, questions, the password prompt and the bar.
#include "cli/terminal_dialog.h"

#include <gtest/gtest.h>

#include "base/utf.h"
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

DialogSettings Settings(OverwriteMode overwrite, bool encrypted = false, bool canPrompt = false,
                        std::optional<std::u16string> password = std::nullopt) {
  DialogSettings settings;
  settings.overwrite = overwrite;
  settings.canAsk = true;
  settings.encrypted = encrypted;
  settings.canPrompt = canPrompt;
  settings.password = std::move(password);
  return settings;
}

TEST(TerminalDialog, QuestionsMessagesAndPassword) {
  struct Case {
    DialogSettings settings;
    std::optional<MessageCode> message;  // none: the password is read
    bool interrupted;
    std::deque<std::u16string> typed;
    std::u16string result;  // the answer (да, нет, ok) or the password
    std::u16string err;     // with the user's lines in <>
  };
  using C = MessageCode;
  const DialogSettings ask = Settings(OverwriteMode::kAsk), no = Settings(OverwriteMode::kNo),
                       yes = Settings(OverwriteMode::kYes);
  const DialogSettings prompt = Settings(OverwriteMode::kAsk, true, true);
  const std::u16string exists = u"Файл x уже существует.\nПерезаписать?";
  const std::u16string noFile = u"Не удалось создать файл x.\nПрервать распаковку?";
  const std::u16string j16(16, u'ж');
  const std::vector<Case> cases = {
      {ask,
       C::kFileExists,
       false,
       {u"может", u"Д"},
       u"да",
       exists + u" [д/н] <может>\n" + exists + u" [д/н] <Д>\n"},
      {no, C::kFileExists, false, {u"д"}, u"нет", exists + u" нет\n"},
      {yes, C::kFileExists, false, {u"н"}, u"да", u""},
      // Questions offering to stop are the user's, whatever --overwrite says.
      {yes, C::kCreateFileFailed, false, {u"н"}, u"нет", noFile + u" [д/н] <н>\n"},
      {no,
       C::kUnsafeEntryName,
       false,
       {u"y"},
       u"да",
       u"Недопустимое имя файла в архиве: x.\nПрервать распаковку? [д/н] <y>\n"},
      {no,
       C::kCreateDirectoryFailed,
       false,
       {u"n"},
       u"нет",
       u"Не удалось создать директорию x.\nПрервать распаковку? [д/н] <n>\n"},
      {ask, C::kCreateFileFailed, false, {}, u"да", noFile + u" [д/н] \nда\n"},  // input ended
      {ask, C::kFileExists, true, {u"д"}, u"нет", exists + u" нет\n"},           // after Ctrl+C
      {ask, C::kEnterPassword, false, {}, u"ok", u"Введите пароль.\n"},
      {ask, C::kEnterPassword, true, {}, u"ok", u""},  // the prompt was left with Ctrl+C
      {Settings(OverwriteMode::kAsk, false, true), {}, false, {u"x"}, u"", u""},  // not encrypted
      {Settings(OverwriteMode::kAsk, true, true, u"дано"), {}, false, {u"x"}, u"дано", u""},
      {Settings(OverwriteMode::kAsk, true, false), {}, false, {u"x"}, u"", u""},  // no terminal
      {prompt, {}, false, {j16}, j16, u"Пароль: "},
      {prompt,
       {},
       false,
       {j16 + u"ж", u"ok"},
       u"ok",
       u"Пароль: Пароль длиннее 16 знаков.\nПароль: "},
      {prompt, {}, false, {}, u"", u"Пароль: "},
  };
  for (const Case& c : cases) {
    testing::FakeConsole console;
    console.input = c.typed;
    const std::atomic<bool> interrupted{c.interrupted};
    TerminalDialog dialog(console, {}, c.settings, interrupted);
    std::u16string result = c.message ? u"ok" : dialog.ReadPassword();
    if (c.message) {
      const unsigned buttons = c.message == C::kEnterPassword ? kMbIconWarning : kMbYesNo;
      const MessageAnswer answer = dialog.ShowMessage(Message(*c.message, u"", buttons, u"x"));
      if (answer != kIdOk) result = answer == kIdYes ? u"да" : u"нет";
    }
    EXPECT_EQ(result, c.result) << ToUtf8(c.err);
    EXPECT_EQ(console.err, c.err);
    EXPECT_EQ(console.out, u"");
  }
}

TEST(TerminalDialog, BarFollowsBothProgressBarsAndMakesWayForMessages) {
  testing::FakeConsole console;
  const std::atomic<bool> interrupted{false};
  DialogSettings settings;
  settings.progress = true;
  TerminalDialog dialog(console, {4, 7}, settings, interrupted);
  EXPECT_EQ(dialog.SelectedIndices(), (std::vector<int32_t>{4, 7}));
  dialog.SetProgressRange(kProgressEntries, 2);  // nothing drawn before the first entry starts
  dialog.SetProgressPosition(kProgressEntries, 0);
  dialog.SetProgressRange(kProgressBytes, 1);
  dialog.SetProgressPosition(kProgressEntries, 1);
  dialog.SetProgressRange(kProgressBytes, 4);
  dialog.SetProgressPosition(kProgressBytes, 2);
  dialog.ShowMessage(Message(MessageCode::kWriteFailed, u"", kMbIconError));
  dialog.SetProgressPosition(kProgressBytes, 2);  // drawn again after the message
  dialog.ResetProgress();
  dialog.SetBusy(false);
  const std::u16string bar = u"[1/2] [###############...............]  50%";
  const std::u16string wipe = u"\r" + std::u16string(43, u' ') + u"\r";
  EXPECT_EQ(console.err, u"\r[1/2] [..............................]   0%\r" + bar + wipe +
                             u"Ошибка записи в файл.\n\r" + bar + wipe);
}

}  // namespace
}  // namespace ozr::cli
