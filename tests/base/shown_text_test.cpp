// Texts as they may be shown: every character that could drive a terminal, forge a line or
// reorder a name is replaced, its neighbours are not.
#include "base/shown_text.h"

#include <gtest/gtest.h>

#include "base/fill_in.h"
#include "base/utf.h"

namespace ozr {
namespace {

using namespace std::string_literals;

TEST(ShownText, ReplacesControlsAndDirectionalCharactersOnly) {
  struct Case {
    std::u16string text;
    std::u16string line;       // ShownText
    std::u16string multiline;  // ShownMultilineText
  };
  const Case cases[] = {
      {u"Обычный текст ¹", u"Обычный текст ¹", u"Обычный текст ¹"},
      {u"\0a\x01\x1f"s, u"\uFFFDa\uFFFD\uFFFD", u"\uFFFDa\uFFFD\uFFFD"},
      {u"\x1b[31m\tx\x7f\x80\x85\x9f", u"\uFFFD[31m\uFFFDx\uFFFD\uFFFD\uFFFD\uFFFD",
       u"\uFFFD[31m\uFFFDx\uFFFD\uFFFD\uFFFD\uFFFD"},
      {u"invoice\u202Efdp.exe", u"invoice\uFFFDfdp.exe", u"invoice\uFFFDfdp.exe"},
      {u"\u202A\u202B\u202C\u202D", u"\uFFFD\uFFFD\uFFFD\uFFFD", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {u"\u2066\u2067\u2068\u2069", u"\uFFFD\uFFFD\uFFFD\uFFFD", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {u"\u200E\u200F\u061C", u"\uFFFD\uFFFD\uFFFD", u"\uFFFD\uFFFD\uFFFD"},
      // the neighbours of every range
      {u"\x20\x7e\xa0\u061B\u061D\u200D\u2010\u2029\u202F\u2065\u206A",
       u"\x20\x7e\xa0\u061B\u061D\u200D\u2010\u2029\u202F\u2065\u206A",
       u"\x20\x7e\xa0\u061B\u061D\u200D\u2010\u2029\u202F\u2065\u206A"},
      {u"a\r\nb\nc\rd\r", u"a\uFFFD\uFFFDb\uFFFDc\uFFFDd\uFFFD", u"a\r\nb\nc\uFFFDd\uFFFD"},
      {u"\r\r\n", u"\uFFFD\uFFFD\uFFFD", u"\uFFFD\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShownText(c.text), c.line) << ToUtf8(c.text);
    EXPECT_EQ(ShownMultilineText(c.text), c.multiline) << ToUtf8(c.text);
  }
}

TEST(FillIn, ShowsTheArgumentWithoutItsLineBreaksInALineOfItsOwn) {
  EXPECT_EQ(
      FillIn(u"Имя: %s.\r\nПрервать?", u"a\r\nВыбранные файлы успешно распакованы.\u202Etxt.exe"),
      u"Имя: a\uFFFD\uFFFDВыбранные файлы успешно распакованы.\uFFFDtxt.exe.\r\nПрервать?");
}

}  // namespace
}  // namespace ozr
