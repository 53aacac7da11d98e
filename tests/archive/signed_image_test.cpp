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

// Field positions in the images below: the PE headers start at 0x80, the optional header at 0x98.
constexpr size_t kNewHeaderPointer = 0x3C;
constexpr size_t kSectionCount = 0x86;
constexpr size_t kOptionalSize = 0x94;
constexpr size_t kMagic = 0x98;
constexpr size_t kDirectoryCount32 = 0xF4;
constexpr size_t kSecurity32 = 0x118;
constexpr size_t kSecurity64 = 0x128;

// The image with a 16-byte certificate table at 0x400; PE32+ has its directories 16 bytes further.
Image SignedImage(bool plus = false) {
  Image b = testing::Signed(testing::PeImage());
  if (plus) {
    StoreU16(&b[kOptionalSize], 0xF0);
    StoreU16(&b[kMagic], 0x20B);
    StoreU32(&b[0x104], 16);
    std::copy_n(b.begin() + kSecurity32, 8, b.begin() + kSecurity64);
  }
  return b;
}

std::optional<CertificateTable> Find(const Image& image) {
  testing::MemoryReadableFile file(image);
  return FindCertificateTable(file);
}

TEST(FindCertificateTable, SoundTablesOfBothLayouts) {
  const std::optional<CertificateTable> pe32 = Find(SignedImage());
  ASSERT_TRUE(pe32.has_value());
  EXPECT_EQ(pe32->offset, 0x400u);
  EXPECT_EQ(pe32->size, 0x10u);
  EXPECT_EQ(pe32->entryPosition, 0x118u);
  EXPECT_EQ(pe32->checkSumPosition, 0xD8u);
  const std::optional<CertificateTable> pe64 = Find(SignedImage(true));
  ASSERT_TRUE(pe64.has_value());
  EXPECT_EQ(pe64->offset, 0x400u);
  EXPECT_EQ(pe64->entryPosition, 0x128u);
  EXPECT_EQ(pe64->checkSumPosition, 0xD8u);
}

TEST(FindCertificateTable, AnyDamagedEntryMeansNotSigned) {
  const auto entry = [](Image& b, uint32_t offset, uint32_t size) {
    StoreU32(&b[kSecurity32], offset);
    StoreU32(&b[kSecurity32 + 4], size);
  };
  const struct {
    const char* what;
    std::function<void(Image&)> damage;
  } cases[] = {
      {"no MZ", [](Image& b) { b[1] = 'X'; }},
      {"shorter than a DOS header", [](Image& b) { b.resize(0x3F); }},
      {"PE headers outside the file", [](Image& b) { StoreU32(&b[kNewHeaderPointer], 0x10000); }},
      {"no PE signature", [](Image& b) { b[0x82] = 'x'; }},
      {"ROM image magic", [](Image& b) { StoreU16(&b[kMagic], 0x107); }},
      {"four data directories", [](Image& b) { StoreU32(&b[kDirectoryCount32], 4); }},
      {"optional header ends before the entry",
       [](Image& b) { StoreU16(&b[kOptionalSize], 0x80); }},
      {"size 0 at the end", [&](Image& b) { entry(b, 0x410, 0); }},
      {"not 8-aligned",
       [&](Image& b) {
         entry(b, 0x404, 0xC);
         StoreU32(&b[0x404], 0xC);
       }},
      {"inside SizeOfHeaders",
       [&](Image& b) {
         entry(b, 0x1F8, 0x218);
         StoreU32(&b[0x1F8], 8);
       }},
      {"over the section table", [](Image& b) { StoreU16(&b[kSectionCount], 0x20); }},
      {"ends before the file's end", [](Image& b) { b.push_back(0); }},
      {"ends behind the file's end", [&](Image& b) { entry(b, 0x400, 0x18); }},
      {"first certificate shorter than its header", [](Image& b) { StoreU32(&b[0x400], 7); }},
      {"first certificate longer than the table", [](Image& b) { StoreU32(&b[0x400], 0x11); }},
  };
  for (const auto& c : cases) {
    Image image = SignedImage();
    c.damage(image);
    EXPECT_FALSE(Find(image).has_value()) << c.what;
  }
}

TEST(PaddedEnds, ZeroBytesInFrontOfTheTableAreCandidates) {
  const struct {
    const char* what;
    std::vector<uint8_t> before;  // the 7 bytes at 0x3F9..0x3FF
    std::vector<uint64_t> ends;
  } cases[] = {
      {"no zero byte", {1, 2, 3, 4, 5, 6, 7}, {0x400}},
      {"three zero bytes behind a nonzero one",
       {1, 2, 3, 9, 0, 0, 0},
       {0x400, 0x3FF, 0x3FE, 0x3FD}},
      {"a zero byte cut off by a nonzero one", {0, 0, 0, 0, 0, 8, 0}, {0x400, 0x3FF}},
      {"seven zero bytes",
       {0, 0, 0, 0, 0, 0, 0},
       {0x400, 0x3FF, 0x3FE, 0x3FD, 0x3FC, 0x3FB, 0x3FA, 0x3F9}},
  };
  for (const auto& c : cases) {
    Image image = SignedImage();
    std::copy(c.before.begin(), c.before.end(), image.begin() + 0x3F9);
    testing::MemoryReadableFile file(image);
    const std::optional<CertificateTable> table = FindCertificateTable(file);
    ASSERT_TRUE(table.has_value()) << c.what;
    EXPECT_EQ(PaddedEnds(file, *table), c.ends) << c.what;
  }
}

}  // namespace
}  // namespace ozr
