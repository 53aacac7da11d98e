// The steps of decoding a frame: the checksum, the password's key, and DecodeChunk's verdicts.
#include "codec/decode_chunk.h"

#include <gtest/gtest.h>

#include <optional>

#include "base/failure.h"
#include "base/texts.h"
#include "base/utf.h"
#include "codec/chunk_sum.h"
#include "support/hex.h"
#include "support/memory_files.h"

namespace ozr {
namespace {

using testing::FromHex;

// Sums chained from a previous one ("abc" after "abc" in the second); the frames below hold sums
// from 0.
TEST(ChunkSum, ChainsFromThePreviousSum) {
  const auto sum = [](uint32_t previous, std::string_view bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    return ChunkSumUpdate(previous, data, int32_t(bytes.size()));
  };
  EXPECT_EQ(sum(0x49ED3E86u, "c"), 0xF27564E7u);
  EXPECT_EQ(sum(0xBC7DDB53u, "abc"), 0x7A02F4B1u);
}

// The same bytes from CryptoAPI (Windows build) and OpenSSL (elsewhere).
TEST(ArchiveKey, KeysComeFromThePasswordExactlyAsTyped) {
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"secret", "15eaff9b3a03f7c9ef00f818026922ad"},
      {u"secret ", "9a08b52fb22c7a183abd1463943f0e24"},
      {u"пароль", "7c4aa1d66c2ceaa37c0be9d7715121ee"},
      {u"0123456789abcdef", "1017f5b5053ae7810eb7797e6da4ec67"},
  };
  for (const auto& [password, firstBlock] : cases) {
    std::vector<uint8_t> zeros(32);
    uint32_t length = 16;
    ASSERT_TRUE(DeriveArchiveKey(password).Encrypt(zeros.data(), length, 32, true));
    EXPECT_EQ(length, 32u);
    zeros.resize(16);
    EXPECT_EQ(zeros, FromHex(firstBlock)) << ToUtf8(password);
  }
}

// 48 zero bytes under the key of "k", padded.
const char kCipher48[] =
    "98b83acca25a82e871be4e2511addbf60d354a19dbe365cddd4c202602fdac30"
    "4886027cd045bb38befea83de87701e7e96e2dd01ccb508f2f85163f896c75e0";

TEST(ArchiveKey, ChainingRunsAcrossCallsAndRestartsAfterTheFinalOne) {
  const std::vector<uint8_t> zeros(48);
  ArchiveKey key = DeriveArchiveKey(u"k");
  for (int entry = 0; entry < 2; ++entry) {  // the second entry proves the restart
    std::vector<uint8_t> data(64);
    uint32_t first = 32;
    uint32_t second = 16;
    ASSERT_TRUE(key.Encrypt(data.data(), first, 32, false));
    ASSERT_TRUE(key.Encrypt(data.data() + 32, second, 32, true));
    EXPECT_EQ(data, FromHex(kCipher48));
    ASSERT_TRUE(key.Decrypt(data.data(), first, false));
    ASSERT_TRUE(key.Decrypt(data.data() + 32, second, true));
    EXPECT_EQ(first + second, 48u);
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 48), zeros);
  }
  // Frames on their own, the later first, each from the last cipher block before it.
  const auto frames = key.NewFrameDecryptor();
  ASSERT_NE(frames, nullptr);
  std::vector<uint8_t> data = FromHex(kCipher48);
  uint32_t first = 32;
  uint32_t second = 32;
  ASSERT_TRUE(frames->Decrypt(FromHex(kCipher48).data() + 16, data.data() + 32, second, true));
  ASSERT_TRUE(frames->Decrypt(zeros.data(), data.data(), first, false));
  EXPECT_EQ(first + second, 48u);
  EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 48), zeros);
  // A final block needs room for its padding.
  uint32_t length = 16;
  EXPECT_FALSE(key.Encrypt(data.data(), length, 16, true));
}

// Frames of "abc" as a zlib stream: stored as it is, with 3 zero bytes behind it, and encrypted
// under the key of "pw".
const char kAbc[] = "0b000000 78da4b4c4a0600024d0127 47e4cca2";
const char kAbcTrailing[] = "0e000000 78da4b4c4a0600024d0127000000 e40cf949";
const char kAbcEncrypted[] = "10000000 28b8d278c9c496de3b8f572dfc967dc4 47e4cca2";

TEST(DecodeChunk, DecodesAFrameOrGivesItsText) {
  const struct {
    const char* what;
    const char* frame;
    const char16_t* password;  // null: stored without encryption
    uint64_t consumed, packedSize;
    std::string content;      // when it decodes
    const char16_t* failure;  // when it does not
  } cases[] = {
      {"one frame", kAbc, nullptr, 0, 19, "abc", nullptr},
      {"bytes after the stream", kAbcTrailing, nullptr, 0, 22, "abc", nullptr},
      {"frame ending at the entry's end", kAbc, nullptr, 100, 119, "abc", nullptr},
      {"frame ending past the entry's end", kAbc, nullptr, 100, 118, "", text::kFrameReadFailed},
      {"cut in payloadLength", "0b0000", nullptr, 0, 19, "", text::kFrameReadFailed},
      {"cut in the payload", "0b000000 78da4b4c", nullptr, 0, 19, "", text::kFrameReadFailed},
      {"cut in payloadSum", "0b000000 78da4b4c4a0600024d0127 47e4", nullptr, 0, 19, "",
       text::kFrameReadFailed},
      {"payload longer than a buffer", "01f40100 ab*200", nullptr, 0, 1000000, "",
       text::kFrameReadFailed},
      {"payload byte flipped", "0b000000 78da4b4c4a0600024d0126 47e4cca2", nullptr, 0, 19, "",
       text::kFrameSumMismatch},
      {"empty payload", "00000000 ffffffff", nullptr, 0, 8, "", text::kInflateFailed},
      {"inflates to 128000 bytes",
       "94000000 78daedc13101000000c2a0ccebffd8c0044001 00*123 7c0306c6c0e5 696702a8", nullptr, 0,
       156, std::string(128000, 'q'), nullptr},
      {"inflates to 128001 bytes",
       "94000000 78daedc13101000000c2a0ccebff18c1024001 00*123 1c03c81cc156 77647f3c", nullptr, 0,
       156, "", text::kInflateFailed},
      {"encrypted, last frame", kAbcEncrypted, u"pw", 5, 29, "abc", nullptr},
      {"encrypted, not the last frame", kAbcEncrypted, u"pw", 5, 30, "", text::kFrameSumMismatch},
      {"encrypted, wrong password", kAbcEncrypted, u"px", 5, 29, "", text::kDecryptFailed},
      // Padding counts only when its last byte n (1 to 16) ends the data n times.
      {"encrypted, 16 zeros", "10000000 2b09ff329f08dda74d2103aa78ce28f1 00000000", u"pw", 0, 24,
       "", text::kDecryptFailed},
      {"encrypted, 13 zeros and 070303", "10000000 722f39a1a66c018ca84f56c954774692 00000000",
       u"pw", 0, 24, "", text::kDecryptFailed},
      {"encrypted, not whole blocks", kAbc, u"pw", 0, 19, "", text::kDecryptFailed},
      {"encrypted, empty", "00000000 ffffffff", u"pw", 0, 8, "", text::kDecryptFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::MemoryReadableFile file(FromHex(c.frame));
    std::optional<ArchiveKey> key;
    if (c.password != nullptr) key.emplace(DeriveArchiveKey(c.password));
    ChunkBuffer input;
    ChunkBuffer output;
    input.data()[0] = 0x11;
    try {
      const FrameLengths lengths =
          DecodeChunk(file, key ? &*key : nullptr, c.packedSize, c.consumed, input, output);
      EXPECT_EQ(c.failure, nullptr);
      EXPECT_EQ(std::string(output.data(), output.data() + lengths.inflatedLength), c.content);
    } catch (const Failure& f) {
      EXPECT_EQ(ToUtf8(f.text()), ToUtf8(c.failure != nullptr ? c.failure : u"(decodes)"));
    }
    // A payload too long for its buffer is refused before anything is read into it.
    if (c.packedSize == 1000000) {
      EXPECT_EQ(input.data()[0], 0x11);
    }
  }
}

}  // namespace
}  // namespace ozr
