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

}  // namespace
}  // namespace ozr
