// Questions are told apart by their message codes.
#include "cli/answer_policy.h"

#include <string>

namespace ozr::cli {

namespace {

char16_t Lower(char16_t unit) {
  if (unit >= u'A' && unit <= u'Z') return static_cast<char16_t>(unit + 0x20);
  if (unit >= u'А' && unit <= u'Я') return static_cast<char16_t>(unit + 0x20);
  return unit;
}

}  // namespace

std::optional<MessageAnswer> AutomaticAnswer(MessageCode question, OverwriteMode overwrite,
                                             bool canAsk) {
  if (question == MessageCode::kFileExists) {
    if (overwrite == OverwriteMode::kYes) return kIdYes;
    if (overwrite == OverwriteMode::kNo || !canAsk) return kIdNo;
    return std::nullopt;
  }
  if (canAsk) return std::nullopt;
  return question == MessageCode::kUnsafeEntryName ? kIdNo : kIdYes;
}

bool ReportAutomaticAnswer(MessageCode question, MessageAnswer answer) {
  return !(question == MessageCode::kFileExists && answer == kIdYes);
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
