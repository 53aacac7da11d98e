// The job's dialog on a terminal: password, questions, messages and the bar, as a user sees them.
#include "cli/terminal_dialog.h"

#include <gtest/gtest.h>

#include "base/texts.h"
#include "base/utf.h"
#include "cli/cli_texts.h"
#include "fake_console.h"

namespace ozr::cli {
namespace {

using testing::FakeConsole;

std::atomic<bool> notInterrupted{false};

TEST(TerminalDialog, PasswordComesFromTheCommandLineOrASilentPrompt) {
  struct Case {
    const char* name;
    bool encrypted;
    std::optional<std::u16string> given;
    bool canPrompt;
    std::deque<std::u16string> typed;
    std::u16string password;
    int prompts;
    std::u16string err;
  };
  const std::u16string tooLong(17, u'ж');
  const std::u16string prompt = text::kPasswordPrompt;
  const std::vector<Case> cases = {
      {"plain archive", false, std::nullopt, true, {u"x"}, u"", 0, u""},
      {"given", true, u"дано", true, {u"x"}, u"дано", 0, u""},
      {"given empty", true, u"", true, {u"x"}, u"", 0, u""},
      {"no terminal", true, std::nullopt, false, {u"x"}, u"", 0, u""},
      {"typed", true, std::nullopt, true, {u"секрет"}, u"секрет", 1, prompt},
      {"too long, then right",
       true,
       std::nullopt,
       true,
       {tooLong, u"ok"},
       u"ok",
       2,
       prompt + ozr::text::kPackPasswordTooLong + u"\n" + prompt},
      {"input ended", true, std::nullopt, true, {}, u"", 1, prompt},
  };
  for (const Case& c : cases) {
    FakeConsole console;
    console.input = c.typed;
    DialogSettings settings;
    settings.encrypted = c.encrypted;
    settings.password = c.given;
    settings.canPrompt = c.canPrompt;
    TerminalDialog dialog(console, {}, settings, notInterrupted);
    EXPECT_EQ(dialog.ReadPassword(), c.password) << c.name;
    EXPECT_EQ(console.secretReads, c.prompts) << c.name;
    EXPECT_EQ(console.err, c.err) << c.name;
  }
}

TEST(TerminalDialog, QuestionsAreAnsweredByPolicyOrByTheUser) {
  const Message exists{MessageCode::kFileExists, ozr::text::kCaptionError,
                       kMbYesNo | kMbIconQuestion, u"./a.txt"};
  const std::u16string existsShown = u"Файл ./a.txt уже существует.\nПерезаписать?";
  const Message noFile{MessageCode::kCreateFileFailed, ozr::text::kCaptionError,
                       kMbYesNo | kMbIconError, u"./b"};
  const std::u16string noFileShown = u"Не удалось создать файл ./b.\nПрервать распаковку?";
  const Message unsafe{MessageCode::kUnsafeEntryName, ozr::text::kCaptionError,
                       kMbYesNo | kMbIconError, u"..\\c"};
  const std::u16string unsafeShown =
      u"Недопустимое имя файла в архиве: ..\\c.\nПрервать распаковку?";
  const std::u16string ask = text::kAnswerPrompt;
  struct Case {
    const char* name;
    Message question;
    OverwriteMode overwrite;
    bool canAsk;
    bool interrupted;
    std::deque<std::u16string> typed;
    MessageAnswer answer;
    std::u16string err;
  };
  const std::vector<Case> cases = {
      {"keep", exists, OverwriteMode::kNo, false, false, {}, kIdNo, existsShown + u" нет\n"},
      {"replace silently", exists, OverwriteMode::kYes, false, false, {}, kIdYes, u""},
      {"stop without terminal",
       noFile,
       OverwriteMode::kYes,
       false,
       false,
       {},
       kIdYes,
       noFileShown + u" да\n"},
      {"unsafe skipped",
       unsafe,
       OverwriteMode::kNo,
       false,
       false,
       {},
       kIdNo,
       unsafeShown + u" нет\n"},
      {"asked until understood",
       exists,
       OverwriteMode::kAsk,
       true,
       false,
       {u"может", u"Д"},
       kIdYes,
       existsShown + ask + u"<может>\n" + existsShown + ask + u"<Д>\n"},
      {"stop asked",
       noFile,
       OverwriteMode::kYes,
       true,
       false,
       {u"н"},
       kIdNo,
       noFileShown + ask + u"<н>\n"},
      {"input ended",
       noFile,
       OverwriteMode::kAsk,
       true,
       false,
       {},
       kIdYes,
       noFileShown + ask + u"\nда\n"},
      {"after Ctrl+C nobody is asked",
       exists,
       OverwriteMode::kAsk,
       true,
       true,
       {u"д"},
       kIdNo,
       existsShown + u" нет\n"},
  };
  for (const Case& c : cases) {
    FakeConsole console;
    console.input = c.typed;
    DialogSettings settings;
    settings.overwrite = c.overwrite;
    settings.canAsk = c.canAsk;
    const std::atomic<bool> interrupted{c.interrupted};
    TerminalDialog dialog(console, {}, settings, interrupted);
    EXPECT_EQ(dialog.ShowMessage(c.question), c.answer) << c.name;
    EXPECT_EQ(console.err, c.err) << c.name;
    EXPECT_EQ(console.out, u"") << c.name;
  }
}

TEST(TerminalDialog, SuccessGoesToStdoutAndEverythingElseToStderr) {
  struct Case {
    const char* name;
    Message message;
    bool quiet;
    std::u16string successText;
    bool interrupted;
    std::u16string out;
    std::u16string err;
  };
  const Message success{MessageCode::kExtractionSucceeded, ozr::text::kCaptionSuccess,
                        kMbIconInformation};
  const Message frameFailure{MessageCode::kFrameSumMismatch, ozr::text::kCaptionErrorBang,
                             kMbIconError};
  const Message noPassword{MessageCode::kEnterPassword, ozr::text::kCaptionError, kMbIconWarning};
  const Message hostile{MessageCode::kUnsafeEntryName, u"", kMbOk, u"\x1b[2J"};
  Message diskFull{MessageCode::kWriteFailed, ozr::text::kCaptionErrorBang, kMbIconError};
  diskFull.detail = u"No space left on device";
  const std::vector<Case> cases = {
      {"success", success, false, u"", false, u"Выбранные файлы успешно распакованы.\n", u""},
      {"quiet", success, true, u"", false, u"", u""},
      {"test", success, false, text::kTestSucceeded, false, u"Все файлы архива исправны.\n", u""},
      {"frame failure, quiet", frameFailure, true, u"", false, u"",
       u"Введен неверный пароль (контрольные суммы не совпали).\n"},
      {"no password", noPassword, false, u"", false, u"", u"Введите пароль.\n"},
      {"prompt left with Ctrl+C", noPassword, false, u"", true, u"", u""},
      {"hostile name", hostile, false, u"", false, u"",
       u"Недопустимое имя файла в архиве: \uFFFD[2J.\nПрервать распаковку?\n"},
      {"the system's reason", diskFull, false, u"", false, u"",
       u"Ошибка записи в файл.\n(No space left on device)\n"},
  };
  for (const Case& c : cases) {
    FakeConsole console;
    DialogSettings settings;
    settings.quiet = c.quiet;
    settings.successText = c.successText;
    const std::atomic<bool> interrupted{c.interrupted};
    TerminalDialog dialog(console, {}, settings, interrupted);
    EXPECT_EQ(dialog.ShowMessage(c.message), kIdOk) << c.name;
    EXPECT_EQ(console.out, c.out) << c.name;
    EXPECT_EQ(console.err, c.err) << c.name;
  }
}

TEST(TerminalDialog, BarFollowsBothProgressBarsAndMakesWayForMessages) {
  FakeConsole console;
  DialogSettings settings;
  settings.progress = true;
  TerminalDialog dialog(console, {4, 7}, settings, notInterrupted);
  EXPECT_EQ(dialog.SelectedIndices(), (std::vector<int32_t>{4, 7}));
  dialog.SetProgressRange(kProgressEntries, 2);  // nothing drawn before the first entry starts
  dialog.SetProgressPosition(kProgressEntries, 0);
  dialog.SetProgressRange(kProgressBytes, 1);
  dialog.SetProgressPosition(kProgressEntries, 1);
  dialog.SetProgressRange(kProgressBytes, 4);
  dialog.SetProgressPosition(kProgressBytes, 2);
  dialog.ShowMessage({MessageCode::kWriteFailed, ozr::text::kCaptionErrorBang, kMbIconError});
  dialog.ResetProgress();
  dialog.SetBusy(false);

  const std::u16string bar1 = u"[1/2] [" + std::u16string(30, u'.') + u"]   0%";
  const std::u16string bar2 =
      u"[1/2] [" + std::u16string(15, u'#') + std::u16string(15, u'.') + u"]  50%";
  std::u16string wipe(u"\r");
  wipe.append(bar2.size(), u' ').append(u"\r");
  EXPECT_EQ(console.err, u"\r" + bar1 + u"\r" + bar2 + wipe + u"Ошибка записи в файл.\n");
}

}  // namespace
}  // namespace ozr::cli
