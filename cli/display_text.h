// Texts from an archive made safe for a terminal: a crafted name or comment must not move the
// cursor, recolour the screen or split one entry's line into several.
#pragma once

#include <string>
#include <string_view>

namespace ozr::cli {

// "\r\n" becomes "\n" when `keepLineBreaks`; every other control character (C0, DEL, C1), and
// every line break when not `keepLineBreaks`, becomes U+FFFD.
std::u16string DisplayText(std::u16string_view text, bool keepLineBreaks);

// A message as the tool shows it: its text, then, when a file operation failed, the operating
// system's reason in parentheses on a line of its own.
std::u16string DisplayMessage(std::u16string_view text, std::u16string_view detail);

}  // namespace ozr::cli
