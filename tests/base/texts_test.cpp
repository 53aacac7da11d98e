// Texts as the user sees them: UTF conversions, byte counts and the lines made of them, and texts
// from an archive made safe to show.
#include <gtest/gtest.h>

#include "base/fill_in.h"
#include "base/shown_text.h"
#include "base/size_text.h"
#include "base/utf.h"

namespace ozr {
namespace {

using namespace std::string_literals;

// Text from bytes replaces what is no character; a path keeps each such byte as a surrogate of its
// own, and gets it back.
TEST(Utf, ConvertsCharactersAndKeepsTheBytesOfWhatIsNone) {
  const struct {
    std::string bytes;
    std::u16string text;  // FromUtf8
    std::u16string path;  // PathFromBytes
  } cases[] = {
      {"Отчёт \xF0\x9F\x93\xA6 ok", u"Отчёт \U0001F4E6 ok", u"Отчёт \U0001F4E6 ok"},
      {"\xC0\xAF", u"\uFFFD", u"\xDCC0\xDCAF"},                     // overlong "/"
      {"\xED\xA0\x80", u"\uFFFD", u"\xDCED\xDCA0\xDC80"},           // encoded surrogate
      {"\xED\xBF\xBF", u"\uFFFD", u"\xDCED\xDCBF\xDCBF"},           // the last surrogate
      {"\xED\xB2\x80", u"\uFFFD", u"\xDCED\xDCB2\xDC80"},           // the surrogate kept for 0x80
      {"a\xE2\x82"s + "b", u"a\uFFFDb", u"a\xDCE2\xDC82"s + u"b"},  // truncated
      {"\xFF"s + "b", u"\uFFFDb", u"\xDCFF"s + u"b"},               // impossible lead byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FromUtf8(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(PathFromBytes(c.bytes), c.path) << c.bytes;
    EXPECT_EQ(PathToBytes(c.path), c.bytes) << c.bytes;
    EXPECT_EQ(IsWholeUtf16(c.path), c.path == c.text) << c.bytes;  // characters only, as names
  }
  // Shown, a surrogate that stands for no byte or a high one that ends the text is a replacement
  // character.
  EXPECT_EQ(PathToBytes(u"\xD800"), "\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(std::u16string_view(u"\xD800\xDC00", 1)), "\xEF\xBF\xBD");
}

TEST(FormatSize, ExactTextsAtEveryBoundaryAndTheLinesMadeOfThem) {
  // 1.125 is an exact half, which rounds up; 1.0048828125 rounds down; 1073741825 is 2^30 in
  // single precision; counts of 2^63 and more are negative as signed numbers, shown as their low
  // 32 bits.
  const std::pair<std::u16string, const char*> cases[] = {
      {FormatSize(0), "0 байт"},
      {FormatSize(1024), "1024 байт"},
      {FormatSize(1025), "1.00 КБ"},
      {FormatSize(1029), "1.00 КБ"},
      {FormatSize(1152), "1.13 КБ"},
      {FormatSize(2047), "2.00 КБ"},
      {FormatSize(1048576), "1024.00 КБ"},
      {FormatSize(1048577), "1.00 МБ"},
      {FormatSize(1073741825), "1024.00 МБ"},
      {FormatSize(1073741824LL + 65536), "1.00 ГБ"},
      {FormatSize(INT64_MAX), "8589934592.00 ГБ"},
      {FormatSize(static_cast<int64_t>(0x8000000100000005ull)), "5 байт"},
      {FormatEntryLine(u"readme.txt", 1536, 512),
       "readme.txt; размер в архиве: 512 байт, исходный: 1.50 КБ"},
      {FormatEntryLine(u"a.txt\0hidden"s, 1, 2),
       "a.txt; размер в архиве: 2 байт, исходный: 1 байт"},
      {FormatSummaryLine(3, 250000, 10000),
       "В архиве файлов: 3, размер в архиве: 9.77 КБ, исходный: 244.14 КБ"},
      {FormatSummaryLine(4294967295u, 1, 1),
       "В архиве файлов: 4294967295, размер в архиве: 1 байт, исходный: 1 байт"},
      {FormatLevelLine(6), "Степень сжатия: 6"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ToUtf8(text), expected);
}

TEST(ShownText, ReplacesControlsAndDirectionalCharactersOnly) {
  const struct {
    std::u16string text;
    std::u16string line;            // ShownText
    std::u16string multiline = {};  // ShownMultilineText, where it differs
  } cases[] = {
      {u"Обычный текст ¹", u"Обычный текст ¹"},
      {u"\0a\x01\x1f"s, u"\uFFFDa\uFFFD\uFFFD"},
      {u"\x1b[31m\tx\x7f\x80\x85\x9f", u"\uFFFD[31m\uFFFDx\uFFFD\uFFFD\uFFFD\uFFFD"},
      {u"\u202A\u202B\u202C\u202D\u202E", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {u"\u2066\u2067\u2068\u2069\u200E\u200F\u061C",
       u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      // the neighbours of every range
      {u"\x20\x7e\xa0\u061B\u061D\u200D\u2010\u2029\u202F\u2065\u206A",
       u"\x20\x7e\xa0\u061B\u061D\u200D\u2010\u2029\u202F\u2065\u206A"},
      {u"a\r\nb\nc\rd\r", u"a\uFFFD\uFFFDb\uFFFDc\uFFFDd\uFFFD", u"a\r\nb\nc\uFFFDd\uFFFD"},
      {u"\r\r\n", u"\uFFFD\uFFFD\uFFFD", u"\uFFFD\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShownText(c.text), c.line) << ToUtf8(c.text);
    EXPECT_EQ(ShownMultilineText(c.text), c.multiline.empty() ? c.line : c.multiline)
        << ToUtf8(c.text);
  }
  EXPECT_EQ(FillIn(u"Имя: %s.\r\nПрервать?", u"a\r\nb\u202Etxt.exe"),
            u"Имя: a\uFFFD\uFFFDb\uFFFDtxt.exe.\r\nПрервать?");
}

}  // namespace
}  // namespace ozr
