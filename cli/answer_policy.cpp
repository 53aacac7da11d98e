// Questions are told apart by the fixed text around their "%s".
#include "cli/answer_policy.h"

#include <string>

#include "base/texts.h"

namespace ozr::cli {

namespace {

bool Matches(std::u16string_view text, std::u16string_view pattern) {
  const size_t at = pattern.find(u"%s");
  if (at == std::u16string_view::npos) return text == pattern;
  const std::u16string_view before = pattern.substr(0, at);
  const std::u16string_view after = pattern.substr(at + 2);
  return text.size() >= before.size() + after.size() && text.substr(0, before.size()) == before &&
         text.substr(text.size() - after.size()) == after;
}

char16_t Lower(char16_t unit) {
  if (unit >= u'A' && unit <= u'Z') return static_cast<char16_t>(unit + 0x20);
  if (unit >= u'А' && unit <= u'Я') return static_cast<char16_t>(unit + 0x20);
  return unit;
}

}  // namespace

Question ClassifyQuestion(std::u16string_view text) {
  if (Matches(text, ozr::text::kFileExists)) return Question::kOverwrite;
  if (Matches(text, ozr::text::kCreateDirectoryFailed)) return Question::kDirectoryFailed;
  if (Matches(text, ozr::text::kCreateFileFailed)) return Question::kFileFailed;
  if (Matches(text, ozr::text::kUnsafeEntryName)) return Question::kUnsafeName;
  return Question::kOther;
}

std::optional<MessageAnswer> AutomaticAnswer(Question question, OverwriteMode overwrite,
                                             bool canAsk) {
  if (question == Question::kOverwrite) {
    if (overwrite == OverwriteMode::kYes) return kIdYes;
    if (overwrite == OverwriteMode::kNo || !canAsk) return kIdNo;
    return std::nullopt;
  }
  if (canAsk) return std::nullopt;
  return question == Question::kUnsafeName ? kIdNo : kIdYes;
}

bool ReportAutomaticAnswer(Question question, MessageAnswer answer) {
  return !(question == Question::kOverwrite && answer == kIdYes);
}

std::optional<MessageAnswer> ParseAnswer(std::u16string_view typed) {
  const size_t first = typed.find_first_not_of(u" \t");
  if (first == std::u16string_view::npos) return std::nullopt;
  const size_t last = typed.find_last_not_of(u" \t");
  std::u16string word;
  for (const char16_t unit : typed.substr(first, last - first + 1)) word += Lower(unit);
  if (word == u"д" || word == u"да" || word == u"y" || word == u"yes") return kIdYes;
  if (word == u"н" || word == u"нет" || word == u"n" || word == u"no") return kIdNo;
  return std::nullopt;
}

}  // namespace ozr::cli
