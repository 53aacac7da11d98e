// The terminal shows what the dialog shows, with the line ends a terminal expects.
#include "cli/display_text.h"

#include "base/shown_text.h"

namespace ozr::cli {

std::u16string DisplayText(std::u16string_view text, bool keepLineBreaks) {
  if (!keepLineBreaks) return ShownText(text);
  const std::u16string shown = ShownMultilineText(text);
  std::u16string lines;
  lines.reserve(shown.size());
  for (size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == u'\r' && i + 1 < shown.size() && shown[i + 1] == u'\n') continue;
    lines += shown[i];
  }
  return lines;
}

std::u16string DisplayMessage(std::u16string_view text, std::u16string_view detail) {
  std::u16string shown = DisplayText(text, true);
  if (!detail.empty()) shown += u"\n(" + DisplayText(detail, false) + u")";
  return shown;
}

}  // namespace ozr::cli
