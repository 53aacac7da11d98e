#include "base/utf.h"

#include <gtest/gtest.h>

namespace ozr {
namespace {

TEST(Utf, RoundTripsCyrillicAndSupplementaryCharacters) {
  const std::u16string text = u"Распаковка \U0001F4E6 ok";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(ToUtf8(u"Пароль"), "Пароль");
}

TEST(Utf, InvalidInputBecomesReplacementCharacters) {
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
  const struct {
    std::string utf8;
    std::u16string expected;
  } cases[] = {
      {"\xC0\xAF", u"\uFFFD"},      // overlong "/"
      {"\xED\xA0\x80", u"\uFFFD"},  // encoded surrogate
      {"a\xE2\x82", u"a\uFFFD"},    // truncated sequence
      {"\xFF"
       "b",
       u"\uFFFDb"},  // impossible lead byte
  };
  for (const auto& c : cases) EXPECT_EQ(FromUtf8(c.utf8), c.expected) << c.utf8;
}

TEST(Utf, APathThatIsNotUtf8KeepsItsBytes) {
  const struct {
    std::string bytes;
    std::u16string text;
    bool whole;  // characters only, as an archive's names must be
  } cases[] = {
      {"out\xFF", u"out\xDCFF", false},
      {"a\xE2\x82"
       "b",
       u"a\xDCE2\xDC82"
       "b",
       false},                                         // truncated: each byte on its own
      {"\xC0\xAF", u"\xDCC0\xDCAF", false},            // overlong "/"
      {"\xED\xB2\x80", u"\xDCED\xDCB2\xDC80", false},  // an encoded surrogate is no character
      {"Отчёт \xF0\x9F\x93\xA6", u"Отчёт \U0001F4E6", true},  // valid text as it is
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathFromBytes(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(PathToBytes(c.text), c.bytes) << c.bytes;
    EXPECT_EQ(IsWholeUtf16(c.text), c.whole) << c.bytes;
  }
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    const std::string alone(1, static_cast<char>(byte));
    EXPECT_EQ(PathToBytes(PathFromBytes(alone)), alone) << byte;
  }
  // Shown, a kept byte is a replacement character; a surrogate that stands for no byte stays one.
  EXPECT_EQ(ToUtf8(PathFromBytes("\xFF")), "\xEF\xBF\xBD");
  EXPECT_EQ(PathToBytes(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace ozr
