// Conversions between UTF-16 (the core's texts) and UTF-8 (POSIX paths and terminals).
#pragma once

#include <string>
#include <string_view>

namespace ozr {

// Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
// Invalid sequences become U+FFFD.
std::u16string FromUtf8(std::string_view text);

}  // namespace ozr
