// The texts that show byte counts: sizes, entry lines, the summary line and the level line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ozr {

// A byte count as the user sees it: "1024 байт", "1.13 КБ", "117.74 МБ", "5120.00 ГБ".
std::u16string FormatSize(int64_t count);

// "name; размер в архиве: <packed>, исходный: <unpacked>". The name is used up to its first NUL;
// the line is made in full whatever its length.
std::u16string FormatEntryLine(std::u16string_view name, uint64_t unpackedSize,
                               uint64_t packedSize);

std::u16string FormatSummaryLine(uint32_t entryCount, uint64_t totalUnpackedSize,
                                 uint64_t totalPackedSize);

std::u16string FormatLevelLine(uint16_t compressionLevel);

}  // namespace ozr
