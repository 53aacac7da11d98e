// Control characters are replaced one by one; only a "\r\n" pair (or a lone "\n") survives, and
// only where line breaks belong (the comment, the two-line questions).
#include "cli/display_text.h"

namespace ozr::cli {

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool IsControl(char16_t unit) { return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F); }

}  // namespace

std::u16string DisplayText(std::u16string_view text, bool keepLineBreaks) {
  std::u16string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (keepLineBreaks && unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
    if (keepLineBreaks && unit == u'\n') {
      shown += u'\n';
    } else {
      shown += IsControl(unit) ? kReplacement : unit;
    }
  }
  return shown;
}

std::u16string DisplayMessage(std::u16string_view text, std::u16string_view detail) {
  std::u16string shown = DisplayText(text, true);
  if (!detail.empty()) shown += u"\n(" + DisplayText(detail, false) + u")";
  return shown;
}

}  // namespace ozr::cli
