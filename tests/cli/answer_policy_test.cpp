// Which questions the tool answers by itself, and how typed answers are read.
#include "cli/answer_policy.h"

#include <gtest/gtest.h>

#include "base/utf.h"

namespace ozr::cli {
namespace {

TEST(AutomaticAnswer, FollowsOverwriteModeAndTerminal) {
  using O = OverwriteMode;
  using Q = MessageCode;
  constexpr std::optional<MessageAnswer> kAsk;
  struct Case {
    MessageCode question;
    O overwrite;
    bool canAsk;
    std::optional<MessageAnswer> answer;
  };
  const std::vector<Case> cases = {
      {Q::kFileExists, O::kAsk, true, kAsk},
      {Q::kFileExists, O::kAsk, false, kIdNo},  // no terminal: existing files are kept
      {Q::kFileExists, O::kYes, true, kIdYes},
      {Q::kFileExists, O::kYes, false, kIdYes},
      {Q::kFileExists, O::kNo, true, kIdNo},
      {Q::kFileExists, O::kNo, false, kIdNo},
      // Questions offering to stop are the user's at a terminal, whatever --overwrite says.
      {Q::kCreateDirectoryFailed, O::kYes, true, kAsk},
      {Q::kCreateFileFailed, O::kNo, true, kAsk},
      {Q::kUnsafeEntryName, O::kYes, true, kAsk},
      // Without one they stop, except the unsafe name, which skips the entry.
      {Q::kCreateDirectoryFailed, O::kAsk, false, kIdYes},
      {Q::kCreateFileFailed, O::kYes, false, kIdYes},
      {Q::kUnsafeEntryName, O::kNo, false, kIdNo},
      {Q::kAbortQuestion, O::kYes, false, kIdYes},
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
