// Characters are replaced one by one, so that a shown text keeps the length and the order of the
// text it shows.
#include "base/shown_text.h"

namespace ozr {

namespace {

bool IsHidden(char16_t unit) {
  return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) || (unit >= 0x202A && unit <= 0x202E) ||
         (unit >= 0x2066 && unit <= 0x2069) || unit == 0x200E || unit == 0x200F || unit == 0x061C;
}

std::u16string Shown(std::u16string_view text, bool keepLineBreaks) {
  std::u16string shown(text);
  for (size_t i = 0; i < shown.size(); ++i) {
    const bool lineBreak =
        shown[i] == u'\n' || (shown[i] == u'\r' && i + 1 < shown.size() && shown[i + 1] == u'\n');
    if (IsHidden(shown[i]) && !(keepLineBreaks && lineBreak)) shown[i] = kShownReplacement;
  }
  return shown;
}

}  // namespace

std::u16string ShownText(std::u16string_view text) { return Shown(text, false); }

std::u16string ShownMultilineText(std::u16string_view text) { return Shown(text, true); }

}  // namespace ozr
