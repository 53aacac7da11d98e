// The progress bar's text and its redrawing in place.
#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include "base/utf.h"
#include "fake_console.h"

namespace ozr::cli {
namespace {

TEST(FormatProgress, CounterBarAndPercent) {
  struct Case {
    uint64_t entry, entries, position, range;
    std::u16string line;
  };
  const std::vector<Case> cases = {
      {1, 3, 0, 1, u"[1/3] [..............................]   0%"},
      {2, 5, 1, 2, u"[2/5] [###############...............]  50%"},
      {3, 3, 9, 7, u"[3/3] [##############################] 100%"},  // past the end: full
      {1, 1, 5, 0, u"[1/1] [..............................]   0%"},  // an empty range
      {0, 0, 1, 3, u"[##########....................]  33%"},
      {12, 340, 299, 300, u"[12/340] [#############################.]  99%"},
      // Byte counts far beyond what a percentage computed in integers could hold.
      {0, 0, uint64_t{1} << 62, uint64_t{1} << 63, u"[###############...............]  50%"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatProgress(c.entry, c.entries, c.position, c.range), c.line) << ToUtf8(c.line);
  }
}

TEST(ProgressLine, RedrawsOnlyChangesAndCoversLongerTexts) {
  testing::FakeConsole console;
  {
    ProgressLine line(console, true);
    line.Show(u"abcd");
    line.Show(u"abcd");
    line.Show(u"xy");
    line.Clear();
    line.Clear();
    line.Show(u"z");
  }  // destroyed with a text shown: wiped
  EXPECT_EQ(console.err, u"\rabcd\rxy  \r  \r\rz\r \r");
}

}  // namespace
}  // namespace ozr::cli
