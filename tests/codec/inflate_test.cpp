// Both inflaters accept exactly the streams zlib's uncompress accepts, and give its bytes.
#include "codec/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "codec/zlib_rules.h"
#include "support/hex.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

using testing::FromHex;

struct InflateCase {
  const char* what;
  const char* hex;
  bool accepted;  // by zlib's uncompress, checked in each row
};

TEST(Inflate, BothDecodersAcceptAndRefuseExactlyWhatZlibDoes) {
  const InflateCase cases[] = {
      {"'abc'", "78da4b4c4a0600024d0127", true},
      {"'abc' stored", "7801010300fcff616263024d0127", true},
      {"bytes after the stream", "78da4b4c4a0600024d0127 ee*100", true},
      {"truncated", "78da4b4c4a0600", false},
      {"Adler-32 wrong", "78da4b4c4a0600024d0126", false},
      {"header check wrong", "78db4b4c4a0600024d0127", false},
      {"128000 bytes out", "78daedc13101000000c2a0ccebffd8c0044001 00*123 7c0306c6c0e5", true},
      {"128001 bytes out", "78daedc13101000000c2a0ccebff18c1024001 00*123 1c03c81cc156", false},
      {"method 7", "7785 0300 00000001", false},
      {"window 64 KiB", "8898 0300 00000001", false},
      {"preset dictionary", "78bb 00000001 0300 00000001", false},
      {"smallest window, empty", "081d 0300 00000001", true},
      {"gzip member", "1f8b08000000000000030300", false},
      {"nothing", "", false},
      {"stored lengths disagree", "789c010100ffff61", false},
      {"distance before the start", "789c4b1c8500d9a86224", false},
      {"fixed block, length symbol 285", "789c4b1c0500d9a86224", true},
      {"fixed block, length symbol 286", "789c4b1c0300d9a86224", false},
      {"fixed block, length symbol 287", "789c4b1c0700d9a86224", false},
      {"fixed block, distance symbol 30",
       "789c4b1c 05a360148c8251300a46c12818*12 05a30f0000004df36ed1", false},
      {"287 literal/length codes declared", "789cf5e10190244992244946 44*112 66*30 26e24300000001",
       false},
      {"286 and 30 distance codes declared",
       "789cedfd0190244992244946 44*112 64 66*29 aa*14 8a3c0200000001", true},
      {"31 distance codes declared", "789cedfe0190244992244946 44*112 64 66*29 aa*15 ca2300000001",
       false},
      {"code-length repeat past the declared codes", "789c05e0db922449922ccbe2ff7f353e0400000001",
       false},
      {"end of block alone, codeword 0", "789c05e00190244992244902 00*127 200000000001", true},
      {"end of block alone, codeword 1", "789c05e00190244992244902 00*127 200400000001", false},
      {"one distance codeword, codeword 0",
       "789cede00190244992244946 44*112 64 66*29 a2c7638f0004b401e1", true},
      {"one distance codeword, codeword 1",
       "789cede00190244992244946 44*112 64 66*29 a2c7e38f0004b401e1", false},
      {"empty distance code, unused", "789cede00190244992244946 44*112 64 66*29 82c72300790079",
       true},
      {"empty distance code, used", "789cede00190244992244946 44*112 64 66*29 82c7638f0004b401e1",
       false},
      {"empty distance code, used, after a block with distances",
       "789cece00190244992244946 44*112 64 66*29 a2c7638fdac1032049922449928c 88*112 c8 cc*29 "
       "048fc71e0110e803c1",
       false},
  };
  for (const InflateCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> stream = FromHex(c.hex);
    std::vector<uint8_t> reference(128000);
    uLongf referenceLength = reference.size();
    ASSERT_EQ(uncompress(reference.data(), &referenceLength, stream.data(), stream.size()) == Z_OK,
              c.accepted);
    reference.resize(referenceLength);
    std::vector<uint8_t> out(128000);
    for (const auto inflate : {InflateWithZlib, InflateWithLibdeflate, InflateFrame}) {
      uint32_t length = 128000;
      ASSERT_EQ(inflate(stream.data(), uint32_t(stream.size()), out.data(), length), c.accepted);
      if (c.accepted) {
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + length), reference);
      }
    }
  }
}

// The walk takes what real compressors write, and refuses data that ends inside a block.
TEST(Inflate, RulesWalkFollowsBlocksToTheirEnd) {
  for (const auto& content : {testing::MixedContent(128000, 3), testing::NoiseContent(60000, 4),
                              std::vector<uint8_t>(128000, 0)}) {
    for (const int level : {1, 6, 9}) {
      for (const int memLevel : {1, 9}) {  // 1: a block every 128 symbols
        z_stream z{};
        ASSERT_EQ(deflateInit2(&z, level, Z_DEFLATED, 15, memLevel, Z_DEFAULT_STRATEGY), Z_OK);
        std::vector<uint8_t> stream(deflateBound(&z, content.size()));
        z.next_in = const_cast<uint8_t*>(content.data());
        z.avail_in = uInt(content.size());
        z.next_out = stream.data();
        z.avail_out = uInt(stream.size());
        ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
        const size_t size = z.total_out;
        deflateEnd(&z);
        EXPECT_TRUE(MeetsZlibInflateRules(stream.data() + 2, size - 6)) << level << memLevel;
        for (const size_t cut : {size_t{0}, size_t{1}, size_t{7}, size / 4, size / 2}) {
          if (memLevel == 1) {
            EXPECT_FALSE(MeetsZlibInflateRules(stream.data() + 2, cut)) << cut;
          }
        }
      }
    }
  }
  // A fixed block of 9-bit literals still open at the end, whatever zeros past it would make.
  std::vector<uint8_t> endless(64, 0xFF);
  endless[0] = 0xFB;
  EXPECT_FALSE(MeetsZlibInflateRules(endless.data(), endless.size()));
}

}  // namespace
}  // namespace ozr
