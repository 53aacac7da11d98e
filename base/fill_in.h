// Puts a path or a name into a message text at its "%s".
#pragma once

#include <string>
#include <string_view>

namespace ozr {

inline std::u16string FillIn(std::u16string_view pattern, std::u16string_view argument) {
  std::u16string text(pattern);
  const size_t at = text.find(u"%s");
  if (at != std::u16string::npos) text.replace(at, 2, argument);
  return text;
}

}  // namespace ozr
