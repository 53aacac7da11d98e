#include "codec/chunk_sum.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_archives.h"

namespace ozr {
namespace {

const uint8_t* Data(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }
int32_t Length(const std::string& s) { return static_cast<int32_t>(s.size()); }

// The checksum as its definition states it, bit by bit, to check the fast form against.
uint32_t BitwiseUpdate(uint32_t previous, const uint8_t* data, size_t length) {
  uint32_t reg = ~previous;
  for (size_t i = 0; i < length; ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      const uint32_t feedback = (reg >> 31) ^ ((data[i] >> bit) & 1u);
      reg <<= 1;
      if (feedback != 0) reg ^= 0x04C11DB7u;
    }
  }
  return reg;
}

struct KnownSum {
  uint32_t previous;
  std::string bytes;
  uint32_t expected;
};

TEST(ChunkSum, KnownValues) {
  const KnownSum cases[] = {
      {0, "", 0xFFFFFFFFu},       {0, "abc", 0xBC7DDB53u},           {0, "123456789", 0x9B63D02Cu},
      {0, "ab", 0x49ED3E86u},     {0x49ED3E86u, "c", 0xF27564E7u},   {0x12345678u, "", 0xEDCBA987u},
      {0, "abcabc", 0xCD6689B1u}, {0xBC7DDB53u, "abc", 0x7A02F4B1u},
  };
  for (const KnownSum& c : cases) {
    EXPECT_EQ(ChunkSumUpdate(c.previous, Data(c.bytes), Length(c.bytes)), c.expected)
        << std::hex << c.previous << " over \"" << c.bytes << '"';
  }
  EXPECT_EQ(ChunkSum(Data(std::string("abc")), 3), 0xBC7DDB53u);
}

TEST(ChunkSum, ChainingComplementsBetweenChunks) {
  // Chaining is not the same as one pass: the register is complemented at each boundary.
  const std::string abc = "abc";
  const uint32_t chained = ChunkSumUpdate(ChunkSum(Data(abc), 3), Data(abc), 3);
  EXPECT_EQ(chained, 0x7A02F4B1u);
  EXPECT_NE(chained, ChunkSum(Data(std::string("abcabc")), 6));
}

TEST(ChunkSum, NonPositiveLengthProcessesNothing) {
  const std::string abc = "abc";
  EXPECT_EQ(ChunkSumUpdate(0x12345678u, Data(abc), 0), 0xEDCBA987u);
  EXPECT_EQ(ChunkSumUpdate(0x12345678u, Data(abc), -5), 0xEDCBA987u);
}

TEST(ChunkSum, MatchesBitwiseDefinitionOnLargeBuffers) {
  const auto data = testing::NoiseContent(128000, 7);
  uint32_t fast = 0x5A5A5A5Au;
  uint32_t slow = 0x5A5A5A5Au;
  for (size_t at = 0; at < data.size(); at += 40000) {
    const size_t n = std::min<size_t>(40000, data.size() - at);
    fast = ChunkSumUpdate(fast, data.data() + at, static_cast<int32_t>(n));
    slow = BitwiseUpdate(slow, data.data() + at, n);
    ASSERT_EQ(fast, slow) << "after " << at + n << " bytes";
  }
}

}  // namespace
}  // namespace ozr
