// Which questions the tool answers by itself, and how typed answers are read.
#include "cli/answer_policy.h"

#include <gtest/gtest.h>

#include "base/fill_in.h"
#include "base/texts.h"
#include "base/utf.h"

namespace ozr::cli {
namespace {

TEST(ClassifyQuestion, RecognisesEachQuestionWhateverThePath) {
  const std::u16string path = u"./папка/Перезаписать?.txt";
  const std::vector<std::pair<std::u16string, Question>> cases = {
      {FillIn(text::kFileExists, path), Question::kOverwrite},
      {FillIn(text::kCreateDirectoryFailed, path), Question::kDirectoryFailed},
      {FillIn(text::kCreateFileFailed, path), Question::kFileFailed},
      {FillIn(text::kUnsafeEntryName, u"..\\x"), Question::kUnsafeName},
      {FillIn(text::kFileExists, u""), Question::kOverwrite},
      {text::kAbortQuestion, Question::kOther},
      {u"Файл x уже существует.", Question::kOther},  // the question part is missing
      {u"", Question::kOther},
  };
  for (const auto& [message, question] : cases) {
    EXPECT_EQ(ClassifyQuestion(message), question) << ToUtf8(message);
  }
}

TEST(AutomaticAnswer, FollowsOverwriteModeAndTerminal) {
  using O = OverwriteMode;
  using Q = Question;
  constexpr std::optional<MessageAnswer> kAsk;
  struct Case {
    Q question;
    O overwrite;
    bool canAsk;
    std::optional<MessageAnswer> answer;
  };
  const std::vector<Case> cases = {
      {Q::kOverwrite, O::kAsk, true, kAsk},
      {Q::kOverwrite, O::kAsk, false, kIdNo},  // no terminal: existing files are kept
      {Q::kOverwrite, O::kYes, true, kIdYes},
      {Q::kOverwrite, O::kYes, false, kIdYes},
      {Q::kOverwrite, O::kNo, true, kIdNo},
      {Q::kOverwrite, O::kNo, false, kIdNo},
      // Questions offering to stop are the user's at a terminal, whatever --overwrite says.
      {Q::kDirectoryFailed, O::kYes, true, kAsk},
      {Q::kFileFailed, O::kNo, true, kAsk},
      {Q::kUnsafeName, O::kYes, true, kAsk},
      // Without one they stop, except the unsafe name, which skips the entry.
      {Q::kDirectoryFailed, O::kAsk, false, kIdYes},
      {Q::kFileFailed, O::kYes, false, kIdYes},
      {Q::kUnsafeName, O::kNo, false, kIdNo},
      {Q::kOther, O::kYes, false, kIdYes},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AutomaticAnswer(c.question, c.overwrite, c.canAsk), c.answer)
        << static_cast<int>(c.question) << " " << static_cast<int>(c.overwrite) << " " << c.canAsk;
  }
}

TEST(ParseAnswer, RussianAndEnglishInAnyCase) {
  const std::vector<std::pair<std::u16string, std::optional<MessageAnswer>>> cases = {
      {u"д", kIdYes},          {u"Да", kIdYes},       {u" ДА ", kIdYes},
      {u"y", kIdYes},          {u"YES", kIdYes},      {u"н", kIdNo},
      {u"НЕТ", kIdNo},         {u"\tn", kIdNo},       {u"No", kIdNo},
      {u"", std::nullopt},     {u"  ", std::nullopt}, {u"да нет", std::nullopt},
      {u"yess", std::nullopt}, {u"l", std::nullopt},
  };
  for (const auto& [typed, answer] : cases) {
    EXPECT_EQ(ParseAnswer(typed), answer) << ToUtf8(typed);
  }
}

}  // namespace
}  // namespace ozr::cli
