// Level-by-level test of entry names against the ways a name could escape the destination.
#include "platform/entry_name.h"

#include <algorithm>
#include <array>

namespace ozr {

namespace {

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

bool IsDigitForDevice(char16_t c) {
  // Windows also takes the superscript digits ¹ ² ³ as COM and LPT numbers.
  return (c >= u'1' && c <= u'9') || c == u'\u00B9' || c == u'\u00B2' || c == u'\u00B3';
}

// The part of a level Windows compares with device names: up to the first dot, without
// trailing spaces ("con .txt" is the console too).
bool IsReservedDeviceName(std::u16string_view level) {
  std::u16string_view base = level.substr(0, level.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
  static constexpr std::array<std::u16string_view, 6> kNames = {u"CON", u"PRN",    u"AUX",
                                                                u"NUL", u"CONIN$", u"CONOUT$"};
  for (const auto name : kNames) {
    if (EqualsIgnoringCase(base, name)) return true;
  }
  return base.size() == 4 &&
         (EqualsIgnoringCase(base.substr(0, 3), u"COM") ||
          EqualsIgnoringCase(base.substr(0, 3), u"LPT")) &&
         IsDigitForDevice(base[3]);
}

bool IsOnlyDotsAndSpacesWithTwoDots(std::u16string_view level) {
  int dots = 0;
  for (const char16_t c : level) {
    if (c == u'.') {
      ++dots;
    } else if (c != u' ') {
      return false;
    }
  }
  return dots >= 2;
}

}  // namespace

bool IsSafeEntryName(std::u16string_view name, NameRules rules) {
  if (name.find_first_of(u":/") != std::u16string_view::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    const size_t end = std::min(name.find(u'\\', start), name.size());
    const std::u16string_view level = name.substr(start, end - start);
    if (level == u"..") return false;
    if (rules == NameRules::kWindows &&
        (IsOnlyDotsAndSpacesWithTwoDots(level) || IsReservedDeviceName(level))) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace ozr
