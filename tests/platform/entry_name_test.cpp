// Which entry names may be written, under each rule set, and how Windows paths are made of them.
#include "platform/entry_name.h"

#include <gtest/gtest.h>

#include "base/utf.h"

namespace ozr {
namespace {

TEST(IsSafeEntryName, RefusesEveryWayOut) {
  // "\rooted.txt" is joined under the folder; marks reorder nothing that follows them; the rest
  // of the first list are the neighbours of refused names.
  const char16_t* const safe[] = {u"\\rooted.txt",
                                  u"",
                                  u"..name\\x..",
                                  u"a.\\b .txt",
                                  u"mark\u200E\u200F\u061C.txt",
                                  u"\u2029\u202F\u2065\u206A",
                                  u"COM0",
                                  u"CONSOLE"};
  // Safe on POSIX only: levels that trim to nothing or to "..", and device names.
  const char16_t* const windowsRefuses[] = {
      u"...",  u".. \\x",      u". .",    u".",         u"a\\ \\b", u"CON",   u"con.txt",
      u"COM1", u"a\\Nul .log", u"lpt9.x", u"COM\u00B9", u"conin$",  u"aux\\x"};
  const char16_t* const unsafe[] = {u"..",
                                    u"..\\x",
                                    u"a\\..\\x",
                                    u"a\\..",
                                    u"C:x",
                                    u"file.txt:stream",
                                    u"a/b",
                                    u"invoice\u202Efdp.exe",
                                    u"\u202A\u202B\u202C\u202Dx",
                                    u"a\u2066\\b",
                                    u"\u2069",
                                    u"\u2067\u2068"};
  const auto expect = [](const auto& names, bool posix, bool windows) {
    for (const char16_t* name : names) {
      EXPECT_EQ(IsSafeEntryName(name, NameRules::kPosix), posix) << ToUtf8(name);
      EXPECT_EQ(IsSafeEntryName(name, NameRules::kWindows), windows) << ToUtf8(name);
    }
  };
  expect(safe, true, true);
  expect(windowsRefuses, true, false);
  expect(unsafe, false, false);
}

TEST(WindowsEntryPath, TrimsTrailingDotsAndSpacesFromEveryLevel) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"report.txt.", u"C:\\d\\report.txt"},
      {u"docs \\a.txt", u"C:\\d\\docs\\a.txt"},
      {u"z..\\h.txt", u"C:\\d\\z\\h.txt"},
      {u"a. . .\\b .. ", u"C:\\d\\a\\b"},
      {u"...\\x", u"C:\\d\\\\x"},  // refused by IsSafeEntryName before it is joined
      {u" lead.\\.hidden", u"C:\\d\\ lead\\.hidden"},
      {u"\\rooted.", u"C:\\d\\\\rooted"},
      {u"", u"C:\\d\\"},
  };
  for (const auto& [name, path] : cases) {
    EXPECT_EQ(WindowsEntryPath(u"C:\\d\\", name), path) << ToUtf8(name);
  }
}

}  // namespace
}  // namespace ozr
