#include "base/size_text.h"

#include <gtest/gtest.h>

#include "base/utf.h"

namespace ozr {
namespace {

struct SizeCase {
  int64_t count;
  const char16_t* text;
};

TEST(FormatSize, ExactTextsAtEveryBoundary) {
  const SizeCase cases[] = {
      {0, u"0 байт"},
      {1, u"1 байт"},
      {1024, u"1024 байт"},
      {1025, u"1.00 КБ"},
      {1152, u"1.13 КБ"},  // 1.125: an exact half rounds up
      {1536, u"1.50 КБ"},
      {2047, u"2.00 КБ"},
      {10000, u"9.77 КБ"},
      {250000, u"244.14 КБ"},
      {1048576, u"1024.00 КБ"},
      {1048577, u"1.00 МБ"},
      {123456789, u"117.74 МБ"},
      {1073741824, u"1024.00 МБ"},
      {1073741825, u"1024.00 МБ"},  // equals 2^30 in single precision
      {1073741824LL + 65536, u"1.00 ГБ"},
      {4509715660LL, u"4.20 ГБ"},
      {1099511627776LL, u"1024.00 ГБ"},
      {5497558138880LL, u"5120.00 ГБ"},
      {INT64_MAX, u"8589934592.00 ГБ"},
      // Counts of 2^63 and more are negative as signed numbers: shown as the low 32 bits.
      {static_cast<int64_t>(0x8000000100000005ull), u"5 байт"},
  };
  for (const SizeCase& c : cases) {
    EXPECT_EQ(ToUtf8(FormatSize(c.count)), ToUtf8(c.text)) << c.count;
  }
}

TEST(FormatSize, HalvesRoundAwayFromZeroOnExactBinaryValues) {
  // 1.005 is not exact in binary (slightly below), so it rounds down; 2.375 and 1.625 are exact.
  EXPECT_EQ(ToUtf8(FormatSize(2432)), "2.38 КБ");  // 2.375
  EXPECT_EQ(ToUtf8(FormatSize(1664)), "1.63 КБ");  // 1.625
  EXPECT_EQ(ToUtf8(FormatSize(1029)), "1.00 КБ");  // 1.0048828125
  EXPECT_EQ(ToUtf8(FormatSize(1034)), "1.01 КБ");  // 1.009765625
}

TEST(FormatLines, ExamplesFromTheDialog) {
  EXPECT_EQ(ToUtf8(FormatEntryLine(u"readme.txt", 1536, 512)),
            "readme.txt; размер в архиве: 512 байт, исходный: 1.50 КБ");
  EXPECT_EQ(ToUtf8(FormatSummaryLine(3, 250000, 10000)),
            "В архиве файлов: 3, размер в архиве: 9.77 КБ, исходный: 244.14 КБ");
  EXPECT_EQ(ToUtf8(FormatLevelLine(6)), "Степень сжатия: 6");
  EXPECT_EQ(ToUtf8(FormatSummaryLine(4294967295u, 1, 1)),
            "В архиве файлов: 4294967295, размер в архиве: 1 байт, исходный: 1 байт");
}

TEST(FormatLines, EntryLineStopsAtNulAndKeepsLongNames) {
  const std::u16string withNul(u"a.txt\0hidden", 12);
  EXPECT_EQ(ToUtf8(FormatEntryLine(withNul, 1, 2)),
            "a.txt; размер в архиве: 2 байт, исходный: 1 байт");
  const std::u16string longName(260, u'я');
  const std::u16string line = FormatEntryLine(longName, 5497558138880LL, 5497558138880LL);
  EXPECT_EQ(line.size(), 260u + 31 + 20);  // made in full, beyond the old 127-unit bound
  EXPECT_EQ(line.substr(0, 260), longName);
}

}  // namespace
}  // namespace ozr
