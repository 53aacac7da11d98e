// Puts a path or a name into a message text at its "%s", as it may be shown.
#pragma once

#include <string>
#include <string_view>

#include "base/shown_text.h"

namespace ozr {

// The argument comes from an archive or a file system, so it is shown by ShownText: a line break
// in a name cannot forge a line of the message, nor a directional control reorder it.
inline std::u16string FillIn(std::u16string_view pattern, std::u16string_view argument) {
  std::u16string text(pattern);
  const size_t at = text.find(u"%s");
  if (at != std::u16string::npos) text.replace(at, 2, ShownText(argument));
  return text;
}

}  // namespace ozr
