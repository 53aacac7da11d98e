// The certificate table lookup on hand-made PE headers: sound tables are found, every damaged
// directory entry means "not signed"; and the ends an archive in front of a table may have.
#include "archive/signed_image.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/little_endian.h"
#include "support/memory_files.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

using Image = std::vector<uint8_t>;

// Field positions in the image: the PE headers start at 0x80, the optional header at 0x98, the
// security entry of PE32 at 0x118, the 16-byte certificate table at 0x400.
constexpr size_t kOptionalSize = 0x94;
constexpr size_t kMagic = 0x98;
constexpr size_t kSecurity32 = 0x118;

void SetEntry(Image& b, uint32_t offset, uint32_t size) {
  StoreU32(&b[kSecurity32], offset);
  StoreU32(&b[kSecurity32 + 4], size);
}

TEST(FindCertificateTable, SoundTablesOnlyAreFound) {
  const struct {
    const char* what;
    std::function<void(Image&)> edit;
    uint64_t entryPosition;  // 0: not signed
  } cases[] = {
      {"PE32", [](Image&) {}, 0x118},
      {"PE32+: directories 16 bytes further",
       [](Image& b) {
         StoreU16(&b[kOptionalSize], 0xF0);
         StoreU16(&b[kMagic], 0x20B);
         StoreU32(&b[0x104], 16);
         std::copy_n(b.begin() + kSecurity32, 8, b.begin() + 0x128);
       },
       0x128},
      {"no MZ", [](Image& b) { b[1] = 'X'; }, 0},
      {"shorter than a DOS header", [](Image& b) { b.resize(0x3F); }, 0},
      {"PE headers outside the file", [](Image& b) { StoreU32(&b[0x3C], 0x10000); }, 0},
      {"no PE signature", [](Image& b) { b[0x82] = 'x'; }, 0},
      {"ROM image magic", [](Image& b) { StoreU16(&b[kMagic], 0x107); }, 0},
      {"four data directories", [](Image& b) { StoreU32(&b[0xF4], 4); }, 0},
      {"optional header ends before the entry", [](Image& b) { StoreU16(&b[kOptionalSize], 0x80); },
       0},
      {"size 0 at the end", [](Image& b) { SetEntry(b, 0x410, 0); }, 0},
      {"not 8-aligned",
       [](Image& b) {
         SetEntry(b, 0x404, 0xC);
         StoreU32(&b[0x404], 0xC);
       },
       0},
      {"inside SizeOfHeaders",
       [](Image& b) {
         SetEntry(b, 0x1F8, 0x218);
         StoreU32(&b[0x1F8], 8);
       },
       0},
      {"over the section table", [](Image& b) { StoreU16(&b[0x86], 0x20); }, 0},
      {"ends before the file's end", [](Image& b) { b.push_back(0); }, 0},
      {"ends behind the file's end", [](Image& b) { SetEntry(b, 0x400, 0x18); }, 0},
      {"first certificate shorter than its header", [](Image& b) { StoreU32(&b[0x400], 7); }, 0},
      {"first certificate longer than the table", [](Image& b) { StoreU32(&b[0x400], 0x11); }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Image image = testing::Signed(testing::PeImage());
    c.edit(image);
    testing::MemoryReadableFile file(image);
    const std::optional<CertificateTable> table = FindCertificateTable(file);
    ASSERT_EQ(table.has_value(), c.entryPosition != 0);
    if (!table) continue;
    EXPECT_EQ(table->offset, 0x400u);
    EXPECT_EQ(table->size, 0x10u);
    EXPECT_EQ(table->entryPosition, c.entryPosition);
    EXPECT_EQ(table->checkSumPosition, 0xD8u);
  }
}

TEST(PaddedEnds, ZeroBytesInFrontOfTheTableAreCandidates) {
  const struct {
    std::vector<uint8_t> before;  // the 7 bytes at 0x3F9..0x3FF
    std::vector<uint64_t> ends;
  } cases[] = {
      {{1, 2, 3, 4, 5, 6, 7}, {0x400}},
      {{1, 2, 3, 9, 0, 0, 0}, {0x400, 0x3FF, 0x3FE, 0x3FD}},
      {{0, 0, 0, 0, 0, 8, 0}, {0x400, 0x3FF}},
      {{0, 0, 0, 0, 0, 0, 0}, {0x400, 0x3FF, 0x3FE, 0x3FD, 0x3FC, 0x3FB, 0x3FA, 0x3F9}},
  };
  for (const auto& c : cases) {
    Image image = testing::Signed(testing::PeImage());
    std::copy(c.before.begin(), c.before.end(), image.begin() + 0x3F9);
    testing::MemoryReadableFile file(image);
    const std::optional<CertificateTable> table = FindCertificateTable(file);
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(PaddedEnds(file, *table), c.ends) << c.ends.size();
  }
}

}  // namespace
}  // namespace ozr
