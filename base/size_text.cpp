// Size texts computed in single precision, as stored archives' sizes have always been shown, and
// rounded to two decimals from the exact binary value (an exact half goes up), so that every
// platform and locale prints the same text.
#include "base/size_text.h"

#include <cmath>

namespace ozr {

namespace {

std::u16string Decimal(uint64_t value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

// v (above 1, finite) with two decimals, the exact value of v rounded half away from zero.
std::u16string TwoDecimals(float v) {
  int exponent = 0;
  // v = fraction * 2^exponent with fraction in [0.5, 1); scaling by 2^24 gives an exact integer.
  const float fraction = std::frexp(v, &exponent);
  const auto mantissa = static_cast<uint64_t>(std::ldexp(fraction, 24));
  const int shift = exponent - 24;  // v = mantissa * 2^shift
  // v > 1 here, so shift >= -23 and the products stay far below 2^64.
  const uint64_t scaled = mantissa * 100;
  uint64_t hundredths = 0;
  if (shift >= 0) {
    hundredths = scaled << shift;
  } else {
    const int right = -shift;
    hundredths = scaled >> right;
    if ((scaled & ((uint64_t{1} << right) - 1)) >= (uint64_t{1} << (right - 1))) ++hundredths;
  }
  const uint64_t cents = hundredths % 100;
  std::u16string text = Decimal(hundredths / 100);
  text += u'.';
  text += static_cast<char16_t>(u'0' + cents / 10);
  text += static_cast<char16_t>(u'0' + cents % 10);
  return text;
}

// Rounds to single precision now: x87 code would otherwise keep the exact count in a wider register
// and compare 2^30 + 1 bytes as above 1024 МБ.
float Single(float value) {
  volatile float stored = value;
  return stored;
}

}  // namespace

std::u16string FormatSize(int64_t count) {
  float v = Single(static_cast<float>(count));  // round to nearest, ties to even
  if (!(v > 1024.0f)) return Decimal(static_cast<uint32_t>(count)) + u" байт";
  const char16_t* unit = u"КБ";
  v *= 0.0009765625f;
  if (v > 1024.0f) {
    v *= 0.0009765625f;
    unit = u"МБ";
    if (v > 1024.0f) {
      v *= 0.0009765625f;
      unit = u"ГБ";
    }
  }
  return TwoDecimals(v) + u" " + unit;
}

std::u16string FormatEntryLine(std::u16string_view name, uint64_t unpackedSize,
                               uint64_t packedSize) {
  const size_t nul = name.find(u'\0');
  if (nul != std::u16string_view::npos) name = name.substr(0, nul);
  std::u16string line(name);
  line += u"; размер в архиве: ";
  line += FormatSize(static_cast<int64_t>(packedSize));
  line += u", исходный: ";
  line += FormatSize(static_cast<int64_t>(unpackedSize));
  return line;
}

std::u16string FormatSummaryLine(uint32_t entryCount, uint64_t totalUnpackedSize,
                                 uint64_t totalPackedSize) {
  return u"В архиве файлов: " + Decimal(entryCount) + u", размер в архиве: " +
         FormatSize(static_cast<int64_t>(totalPackedSize)) + u", исходный: " +
         FormatSize(static_cast<int64_t>(totalUnpackedSize));
}

std::u16string FormatLevelLine(uint16_t compressionLevel) {
  return u"Степень сжатия: " + Decimal(compressionLevel);
}

}  // namespace ozr
