// Which entry names may be written, under each rule set, and how Windows paths are made of them.
#include "platform/entry_name.h"

#include <gtest/gtest.h>

#include "base/utf.h"

namespace ozr {
namespace {

struct NameCase {
  const char16_t* name;
  bool safeOnPosix;
  bool safeOnWindows;
};

TEST(IsSafeEntryName, RefusesEveryWayOut) {
  const NameCase cases[] = {
      {u"file.txt", true, true},
      {u"a\\b\\c.txt", true, true},
      {u"\\rooted.txt", true, true},  // joined under the folder
      {u"", true, true},
      {u"..", false, false},
      {u"..\\x", false, false},
      {u"a\\..\\x", false, false},
      {u"a\\..", false, false},
      {u"..name\\x..", true, true},
      {u"C:x", false, false},
      {u"file.txt:stream", false, false},
      {u"/etc/passwd", false, false},
      {u"a/b", false, false},
      {u"...", true, false},
      {u".. \\x", true, false},
      {u". .", true, false},
      {u".", true, false},  // trimmed to nothing
      {u"a\\ \\b", true, false},
      {u"a.\\b .txt", true, true},
      {u"invoice\u202Efdp.exe", false, false},
      {u"\u202A\u202B\u202C\u202Dx", false, false},
      {u"a\u2066\\b", false, false},
      {u"\u2069", false, false},
      {u"\u2067\u2068", false, false},
      {u"mark\u200E\u200F\u061C.txt", true, true},  // marks reorder nothing that follows
      {u"\u2029\u202F\u2065\u206A", true, true},    // the neighbours of both ranges
      {u"CON", true, false},
      {u"con.txt", true, false},
      {u"a\\Nul .log", true, false},
      {u"COM1", true, false},
      {u"lpt9.x", true, false},
      {u"COM\u00B9", true, false},
      {u"COM0", true, true},
      {u"CONSOLE", true, true},
      {u"conin$", true, false},
      {u"aux\\x", true, false},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(IsSafeEntryName(c.name, NameRules::kPosix), c.safeOnPosix) << ToUtf8(c.name);
    EXPECT_EQ(IsSafeEntryName(c.name, NameRules::kWindows), c.safeOnWindows) << ToUtf8(c.name);
  }
}

TEST(WindowsEntryPath, TrimsTrailingDotsAndSpacesFromEveryLevel) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"report.txt.", u"C:\\d\\report.txt"},
      {u"docs \\a.txt", u"C:\\d\\docs\\a.txt"},
      {u"x \\f.txt", u"C:\\d\\x\\f.txt"},
      {u"z..\\h.txt", u"C:\\d\\z\\h.txt"},
      {u"w \\v \\u.txt", u"C:\\d\\w\\v\\u.txt"},
      {u"a. . .\\b .. ", u"C:\\d\\a\\b"},
      {u"...\\x", u"C:\\d\\\\x"},  // refused by IsSafeEntryName before it is joined
      {u" lead.\\.hidden", u"C:\\d\\ lead\\.hidden"},
      {u"a.b\\c d", u"C:\\d\\a.b\\c d"},
      {u"\\rooted.", u"C:\\d\\\\rooted"},
      {u"", u"C:\\d\\"},
  };
  for (const auto& [name, path] : cases) {
    EXPECT_EQ(WindowsEntryPath(u"C:\\d\\", name), path) << ToUtf8(name);
  }
}

}  // namespace
}  // namespace ozr
