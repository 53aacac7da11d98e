// Level-by-level test of entry names against the ways a name could escape the destination or
// pass for another, and the trimming Windows applies to each level.
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

// The explicit embeddings, overrides and isolates: each reorders the text that follows it.
bool HasDirectionalFormatting(std::u16string_view name) {
  return std::any_of(name.begin(), name.end(), [](char16_t c) {
    return (c >= u'\u202A' && c <= u'\u202E') || (c >= u'\u2066' && c <= u'\u2069');
  });
}

// The level as Windows' path handling leaves it: without its trailing dots and spaces.
std::u16string_view TrimmedLevel(std::u16string_view level) {
  const size_t last = level.find_last_not_of(u". ");
  return level.substr(0, last == std::u16string_view::npos ? 0 : last + 1);
}

// Calls `visit` with each "\"-separated level of `name`, empty ones included.
template <typename Visit>
void ForEachLevel(std::u16string_view name, Visit visit) {
  size_t start = 0;
  while (start <= name.size()) {
    const size_t end = std::min(name.find(u'\\', start), name.size());
    visit(name.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace

bool IsSafeEntryName(std::u16string_view name, NameRules rules) {
  if (name.find_first_of(u":/") != std::u16string_view::npos) return false;
  if (HasDirectionalFormatting(name)) return false;
  bool safe = true;
  ForEachLevel(name, [&](std::u16string_view level) {
    if (level == u"..") safe = false;
    // A level that trims to nothing would vanish from the path, or be read as "..".
    if (rules == NameRules::kWindows && !level.empty() &&
        (TrimmedLevel(level).empty() || IsReservedDeviceName(level))) {
      safe = false;
    }
  });
  return safe;
}

bool IsPortableEntryName(std::u16string_view name) {
  if (!IsSafeEntryName(name, NameRules::kWindows)) return false;
  bool portable = true;
  ForEachLevel(name, [&](std::u16string_view level) {
    if (TrimmedLevel(level).size() != level.size()) portable = false;
  });
  return portable;
}

std::u16string WindowsEntryPath(std::u16string_view folder, std::u16string_view entryName) {
  std::u16string path(folder);
  bool first = true;
  ForEachLevel(entryName, [&](std::u16string_view level) {
    if (!first) path += u'\\';
    first = false;
    path += TrimmedLevel(level);
  });
  return path;
}

}  // namespace ozr
