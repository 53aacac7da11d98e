// The certificate table lookup on hand-made PE headers: sound tables are found, every damaged
// directory entry means "not signed".
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

// Edits of a sound image and where the table's directory entry is found; 0: not signed.
using TableCase = std::pair<std::function<void(Image&)>, uint64_t>;

TEST(FindCertificateTable, SoundTablesOnlyAreFound) {
  const TableCase cases[] = {
      {[](Image&) {}, 0x118},
      // PE32+: the directories lie 16 bytes further.
      {[](Image& b) {
         StoreU16(&b[kOptionalSize], 0xF0);
         StoreU16(&b[kMagic], 0x20B);
         StoreU32(&b[0x104], 16);
         std::copy_n(b.begin() + kSecurity32, 8, b.begin() + 0x128);
       },
       0x128},
      {[](Image& b) { b[1] = 'X'; }, 0},
      {[](Image& b) { b.resize(0x3F); }, 0},
      {[](Image& b) { b[0x82] = 'x'; }, 0},
      {[](Image& b) { StoreU16(&b[kMagic], 0x107); }, 0},  // a ROM image
      {[](Image& b) { StoreU32(&b[0xF4], 4); }, 0},        // four data directories
      {[](Image& b) { StoreU16(&b[kOptionalSize], 0x80); }, 0},
      {[](Image& b) { SetEntry(b, 0x410, 0); }, 0},
      {[](Image& b) { SetEntry(b, 0x404, 0xC), StoreU32(&b[0x404], 0xC); }, 0},  // not 8-aligned
      {[](Image& b) { SetEntry(b, 0x1F8, 0x218), StoreU32(&b[0x1F8], 8); }, 0},  // in the headers
      {[](Image& b) { StoreU16(&b[0x86], 0x20); }, 0},  // over the section table
      {[](Image& b) { b.push_back(0); }, 0},
      {[](Image& b) { StoreU32(&b[0x400], 7); }, 0},     // a certificate shorter than its header
      {[](Image& b) { StoreU32(&b[0x400], 0x11); }, 0},  // longer than the table
  };
  for (const TableCase& c : cases) {
    SCOPED_TRACE(&c - cases);
    Image image = testing::Signed(testing::PeImage());
    c.first(image);
    testing::MemoryReadableFile file(image);
    const std::optional<CertificateTable> table = FindCertificateTable(file);
    ASSERT_EQ(table.has_value(), c.second != 0);
    if (!table) continue;
    EXPECT_EQ(table->offset, 0x400u);
    EXPECT_EQ(table->size, 0x10u);
    EXPECT_EQ(table->entryPosition, c.second);
    EXPECT_EQ(table->checkSumPosition, 0xD8u);
  }
}

}  // namespace
}  // namespace ozr
