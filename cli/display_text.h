// Texts made safe for a terminal: a crafted name or comment must not move the cursor, recolour
// the screen, reorder what follows it or split one entry's line into several.
#pragma once

#include <string>
#include <string_view>

namespace ozr::cli {

// ShownText, or with `keepLineBreaks` ShownMultilineText with "\r\n" turned into "\n".
std::u16string DisplayText(std::u16string_view text, bool keepLineBreaks);

// A message as the tool shows it: its text, then, when a file operation failed, the operating
// system's reason in parentheses on a line of its own.
std::u16string DisplayMessage(std::u16string_view text, std::u16string_view detail);

}  // namespace ozr::cli
