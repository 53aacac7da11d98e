// Texts from an archive or a path made safe to show: a crafted name, title or comment must not
// drive a terminal, forge a line of a message, or read as another name through directional
// controls.
#pragma once

#include <string>
#include <string_view>

namespace ozr {

// What replaces each character that is not shown raw.
inline constexpr char16_t kShownReplacement = u'\uFFFD';

// The text with every control character (U+0000–U+001F, U+007F–U+009F), explicit directional
// formatting character (U+202A–U+202E, U+2066–U+2069) and directional mark (U+200E, U+200F,
// U+061C) replaced by kShownReplacement. The result holds no line break.
std::u16string ShownText(std::u16string_view text);

// The same for a text of several lines, such as a comment: "\r\n" and a lone "\n" are kept as
// line breaks, every other character above is replaced.
std::u16string ShownMultilineText(std::u16string_view text);

}  // namespace ozr
