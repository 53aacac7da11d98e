// Archive texts on a terminal: line breaks where they belong, no control characters anywhere.
#include "cli/display_text.h"

#include <gtest/gtest.h>

#include "base/utf.h"

namespace ozr::cli {
namespace {

TEST(DisplayText, ReplacesControlCharactersAndKeepsLineBreaksOnlyWhenAsked) {
  struct Case {
    std::u16string text;
    bool keepLineBreaks;
    std::u16string shown;
  };
  const std::vector<Case> cases = {
      {u"Обычный текст", false, u"Обычный текст"},
      {u"a\r\nb\nc", true, u"a\nb\nc"},
      {u"a\r\nb\nc", false, u"a\uFFFD\uFFFDb\uFFFDc"},
      {u"a\rb", true, u"a\uFFFDb"},  // a lone CR would move the cursor back
      {u"\x1b[31mкрасный", true, u"\uFFFD[31mкрасный"},
      {u"del\x7f c1\x85 nbsp\xa0", false, u"del\uFFFD c1\uFFFD nbsp\xa0"},
      {u"tab\there", true, u"tab\uFFFDhere"},
      {u"end\r", true, u"end\uFFFD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DisplayText(c.text, c.keepLineBreaks), c.shown) << ToUtf8(c.text);
  }
}

}  // namespace
}  // namespace ozr::cli
