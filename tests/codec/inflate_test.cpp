#include "codec/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <libdeflate.h>

#include <functional>
#include <vector>

#include "codec/zlib_rules.h"
#include "support/deflate_streams.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace testing::deflate;

struct InflateCase {
  const char* what;
  std::function<Bytes()> stream;
  bool accepted;  // as zlib's uncompress decides
  // libdeflate's decoder on its own takes it: only the rules walk refuses it.
  bool lenient = false;
};

TEST(Inflate, BothDecodersAcceptAndRefuseExactlyWhatZlibDoes) {
  const Bytes text = testing::MixedContent(5000, 1);
  const InflateCase cases[] = {
      {"ordinary stream", [&] { return Compressed(text); }, true},
      {"stored, level 0", [&] { return Compressed(text, 0); }, true},
      {"128000 bytes out", [] { return Compressed(Bytes(128000, 7)); }, true},
      {"128001 bytes out", [] { return Compressed(Bytes(128001, 7)); }, false},
      {"bytes after the stream",
       [&] {
         Bytes s = Compressed(text);
         s.insert(s.end(), 100, 0xEE);
         return s;
       },
       true},
      {"truncated",
       [&] {
         Bytes s = Compressed(text);
         s.resize(s.size() - 5);
         return s;
       },
       false},
      {"Adler-32 wrong",
       [&] {
         Bytes s = Compressed(text);
         s.back() ^= 1;
         return s;
       },
       false},
      {"header check wrong",
       [&] {
         Bytes s = Compressed(text);
         s[1] ^= 1;
         return s;
       },
       false},
      {"method 7", [] { return Bytes{0x77, 0x85, 3, 0, 0, 0, 0, 1}; }, false},
      {"window 64 KiB", [] { return Bytes{0x88, 0x98, 3, 0, 0, 0, 0, 1}; }, false},
      {"preset dictionary", [] { return Bytes{0x78, 0xBB, 0, 0, 0, 1, 3, 0, 0, 0, 0, 1}; }, false},
      {"smallest window, empty", [] { return Bytes{0x08, 0x1D, 3, 0, 0, 0, 0, 1}; }, true},
      {"gzip member", [] { return Bytes{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3, 3, 0}; }, false},
      {"nothing", [] { return Bytes{}; }, false},
      {"stored lengths disagree", [] { return Bytes{0x78, 0x9C, 1, 1, 0, 0xFF, 0xFF, 'a'}; },
       false},
      {"distance before the start", [] { return FixedMatch(285, 1, 0); }, false},
      {"fixed block, length symbol 285", [] { return FixedMatch(285, 0, 0); }, true},
      // What libdeflate alone would take and zlib refuses:
      {"fixed block, length symbol 286", [] { return FixedMatch(286, 0, 0); }, false, true},
      {"fixed block, length symbol 287", [] { return FixedMatch(287, 0, 0); }, false, true},
      {"fixed block, distance symbol 30", [] { return FixedFarDistance(30); }, false, true},
      {"287 literal/length codes declared", [] { return DynamicDeclaring(287, 2); }, false, true},
      {"286 literal/length and 30 distance codes declared",
       [] { return DynamicDeclaring(286, 30); }, true},
      {"31 distance codes declared", [] { return DynamicDeclaring(286, 31); }, false, true},
      {"code-length repeat past the declared codes", [] { return RepeatPastTheCodes(); }, false,
       true},
      {"one-codeword literal code, codeword 0", [] { return LoneEndOfBlock(0); }, true},
      {"one-codeword literal code, codeword 1", [] { return LoneEndOfBlock(1); }, false, true},
      {"one-codeword distance code, codeword 0", [] { return DynamicMatch({1}, 0, true); }, true},
      {"one-codeword distance code, codeword 1", [] { return DynamicMatch({1}, 1, true); }, false,
       true},
      {"empty distance code, unused", [] { return DynamicMatch({0}, 0, false); }, true},
      {"empty distance code, used", [] { return DynamicMatch({0}, 0, true); }, false},
      {"empty distance code, used, after a block with distances",
       [] { return EmptyDistanceCodeAfterAFullOne(); }, false, true},
  };
  for (const InflateCase& c : cases) {
    const Bytes stream = c.stream();
    Bytes reference(128000);
    uLongf referenceLength = reference.size();
    const bool zlibTakes =
        uncompress(reference.data(), &referenceLength, stream.data(), uLong(stream.size())) == Z_OK;
    ASSERT_EQ(zlibTakes, c.accepted) << c.what << " (the case itself is wrong)";
    reference.resize(referenceLength);
    if (c.lenient) {
      libdeflate_decompressor* alone = libdeflate_alloc_decompressor();
      Bytes out(128000);
      size_t in = 0;
      size_t produced = 0;
      EXPECT_EQ(libdeflate_zlib_decompress_ex(alone, stream.data(), stream.size(), out.data(),
                                              out.size(), &in, &produced),
                LIBDEFLATE_SUCCESS)
          << c.what << " (the case no longer needs the rules walk)";
      libdeflate_free_decompressor(alone);
    }

    using Inflater = bool (*)(const uint8_t*, uint32_t, uint8_t*, uint32_t&);
    const std::pair<const char*, Inflater> decoders[] = {{"zlib", InflateWithZlib},
                                                         {"libdeflate", InflateWithLibdeflate}};
    for (const auto& [name, inflate] : decoders) {
      Bytes out(128000);
      uint32_t length = uint32_t(out.size());
      EXPECT_EQ(inflate(stream.data(), uint32_t(stream.size()), out.data(), length), c.accepted)
          << c.what << " with " << name;
      if (c.accepted) {
        out.resize(length);
        EXPECT_EQ(out, reference) << c.what << " with " << name;
      }
    }
  }
}

TEST(Inflate, RulesWalkAcceptsWhatRealCompressorsWrite) {
  for (const int level : {1, 6, 9}) {
    for (const Bytes& content :
         {testing::MixedContent(128000, 3), testing::NoiseContent(60000, 4), Bytes(128000, 0)}) {
      const Bytes stream = Compressed(content, level);
      EXPECT_TRUE(MeetsZlibInflateRules(stream.data() + 2, stream.size() - 6)) << level;
    }
  }
}

TEST(Inflate, RulesWalkStopsAtTheEndOfTheData) {
  // Two halves with a full flush between them: the first block is not the last one, so the walk
  // has to find its end.
  const Bytes content = testing::MixedContent(20000, 5);
  Bytes stream(compressBound(uLong(content.size())) + 64);
  z_stream z{};
  ASSERT_EQ(deflateInit(&z, 6), Z_OK);
  z.next_in = const_cast<uint8_t*>(content.data());
  z.next_out = stream.data();
  z.avail_out = uInt(stream.size());
  z.avail_in = uInt(content.size() / 2);
  deflate(&z, Z_FULL_FLUSH);
  const size_t firstHalf = z.total_out;
  z.avail_in = uInt(content.size() - content.size() / 2);
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  stream.resize(z.total_out);
  deflateEnd(&z);
  EXPECT_TRUE(MeetsZlibInflateRules(stream.data() + 2, stream.size() - 6));
  for (const size_t cut : {size_t{0}, size_t{1}, size_t{7}, firstHalf / 2, firstHalf - 6}) {
    EXPECT_FALSE(MeetsZlibInflateRules(stream.data() + 2, cut)) << cut;
  }
  // A fixed block of 9-bit literals still open at the end of the data, whatever zeros past the
  // end would make of it.
  Bytes endless(64, 0xFF);
  endless[0] = 0xFB;
  EXPECT_FALSE(MeetsZlibInflateRules(endless.data(), endless.size()));
}

}  // namespace
}  // namespace ozr
