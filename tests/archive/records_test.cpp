#include "archive/records.h"

#include <gtest/gtest.h>

#include <numeric>

namespace ozr {
namespace {

TEST(Records, FieldsAreLittleEndianAtTheirOffsetsAndIgnoredBytesSurvive) {
  std::array<uint8_t, kHeaderSize> bytes{};
  std::iota(bytes.begin(), bytes.end(), uint8_t{1});
  const ArchiveHeader h = ParseHeader(bytes.data());
  EXPECT_EQ(h.entryCount, 0x04030201u);
  EXPECT_EQ(h.totalUnpackedSize, 0x100F0E0D0C0B0A09ull);
  EXPECT_EQ(h.totalPackedSize, 0x1817161514131211ull);
  EXPECT_EQ(h.compressionLevel, 0x1A19u);
  EXPECT_EQ(h.commentLength, 0x201F1E1Du);
  EXPECT_EQ(h.titleLength, 0x24232221u);
  EXPECT_EQ(h.notEncrypted, 0x25u);
  EXPECT_EQ(SerializeHeader(h), bytes);

  std::array<uint8_t, kEntryRecordSize> record{};
  std::iota(record.begin(), record.end(), uint8_t{0x80});
  const EntryRecord r = ParseEntryRecord(record.data());
  EXPECT_EQ(r.unpackedSize, 0x8786858483828180ull);
  EXPECT_EQ(r.packedSize, 0x8F8E8D8C8B8A8988ull);
  EXPECT_EQ(r.entrySum, 0x93929190u);
  EXPECT_EQ(r.nameLength, 0xA3A2A1A0u);
  EXPECT_EQ(SerializeEntryRecord(r), record);
}

}  // namespace
}  // namespace ozr
