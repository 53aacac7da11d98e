#include "extract/entry_name.h"

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
      {u".", true, true},
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

}  // namespace
}  // namespace ozr
