// Conversions between UTF-16 (the core's texts) and UTF-8 (POSIX paths and terminals).
#pragma once

#include <string>
#include <string_view>

namespace ozr {

// Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
// Invalid sequences become U+FFFD.
std::u16string FromUtf8(std::string_view text);

// A POSIX path's bytes as UTF-16: UTF-8 as its characters, and every byte that is not part of a
// valid sequence as the unpaired surrogate U+DC80–U+DCFF, so that PathToBytes gives the very
// same bytes back and a file is never opened under a name other than its own. Shown through
// ToUtf8, such a byte appears as U+FFFD.
std::u16string PathFromBytes(std::string_view bytes);
// The bytes of a path from PathFromBytes; other unpaired surrogates become U+FFFD.
std::string PathToBytes(std::u16string_view path);

// True when `text` has no unpaired surrogate: it holds characters only, as an archive must.
bool IsWholeUtf16(std::u16string_view text);

}  // namespace ozr
