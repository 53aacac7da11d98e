#include "codec/archive_key.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_archives.h"

namespace ozr {
namespace {

std::string Hex(const uint8_t* data, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

std::vector<uint8_t> EncryptFinal(const std::u16string& password, std::vector<uint8_t> plain) {
  ArchiveKey key = DeriveArchiveKey(password);
  auto length = static_cast<uint32_t>(plain.size());
  plain.resize(plain.size() + 16);
  EXPECT_TRUE(key.Encrypt(plain.data(), length, static_cast<uint32_t>(plain.size()), true));
  plain.resize(length);
  return plain;
}

// The same bytes from CryptoAPI (Windows build) and OpenSSL (elsewhere).
TEST(ArchiveKey, KnownAnswerForSecret) {
  const auto cipher = EncryptFinal(u"secret", std::vector<uint8_t>(20, 0x41));
  EXPECT_EQ(Hex(cipher.data(), cipher.size()),
            "841e1fa2394ffbf34bfa384f8e38527a1fce0b3cbd8b08f5e39a0d7467d1bfe6");
  ArchiveKey key = DeriveArchiveKey(u"secret");
  auto copy = cipher;
  uint32_t length = static_cast<uint32_t>(copy.size());
  ASSERT_TRUE(key.Decrypt(copy.data(), length, true));
  EXPECT_EQ(std::vector<uint8_t>(copy.begin(), copy.begin() + length),
            std::vector<uint8_t>(20, 0x41));
}

TEST(ArchiveKey, PasswordsAreTakenExactlyAsTyped) {
  const std::vector<uint8_t> plain(20, 0x41);
  const std::u16string passwords[] = {u"Secret", u"secret ",          u"пароль",
                                      u"ПАРОЛЬ", u"0123456789abcdef", u"0123456789abcdeF"};
  std::vector<std::vector<uint8_t>> seen = {EncryptFinal(u"secret", plain)};
  for (const auto& p : passwords) {
    const auto c = EncryptFinal(p, plain);
    for (const auto& other : seen) EXPECT_NE(c, other);
    seen.push_back(c);
  }
}

TEST(ArchiveKey, ChainingRunsAcrossCallsAndRestartsAfterFinal) {
  const auto plain = testing::NoiseContent(100, 3);
  ArchiveKey encryptor = DeriveArchiveKey(u"k");
  // One entry as three frames: 48 and 32 bytes unpadded, then the rest with padding.
  std::vector<uint8_t> stream(plain);
  stream.resize(128);
  uint32_t a = 48, b = 32, c = 20;
  ASSERT_TRUE(encryptor.Encrypt(stream.data(), a, 48, false));
  ASSERT_TRUE(encryptor.Encrypt(stream.data() + 48, b, 32, false));
  ASSERT_TRUE(encryptor.Encrypt(stream.data() + 80, c, 48, true));
  ASSERT_EQ(c, 32u);
  stream.resize(112);
  // The same entry as one call gives the same ciphertext.
  EXPECT_EQ(EncryptFinal(u"k", plain), stream);

  ArchiveKey decryptor = DeriveArchiveKey(u"k");
  for (int entry = 0; entry < 2; ++entry) {  // the second pass proves the restart after final
    auto copy = stream;
    uint32_t x = 48, y = 32, z = 32;
    ASSERT_TRUE(decryptor.Decrypt(copy.data(), x, false));
    ASSERT_TRUE(decryptor.Decrypt(copy.data() + 48, y, false));
    ASSERT_TRUE(decryptor.Decrypt(copy.data() + 80, z, true));
    EXPECT_EQ(x + y + z, 100u);
    EXPECT_EQ(std::vector<uint8_t>(copy.begin(), copy.begin() + 100), plain);
  }

  // Each frame on its own, from the last cipher block of the frame before, in any order: what
  // the decoding threads do.
  const auto frames = decryptor.NewFrameDecryptor();
  ASSERT_NE(frames, nullptr);
  const uint8_t zeros[16] = {};
  struct Frame {
    uint32_t at, length;
    bool final;
    const uint8_t* chain;
  } order[] = {{80, 32, true, stream.data() + 64},
               {0, 48, false, zeros},
               {48, 32, false, stream.data() + 32}};
  auto copy = stream;
  uint32_t total = 0;
  for (const Frame& f : order) {
    uint32_t length = f.length;
    ASSERT_TRUE(frames->Decrypt(f.chain, copy.data() + f.at, length, f.final)) << f.at;
    total += length;
  }
  EXPECT_EQ(total, 100u);
  EXPECT_EQ(std::vector<uint8_t>(copy.begin(), copy.begin() + 100), plain);
}

TEST(ArchiveKey, RefusesWhatCannotBeDecrypted) {
  const auto cipher = EncryptFinal(u"right", std::vector<uint8_t>(20, 0x41));
  struct Case {
    const char* what;
    std::u16string password;
    uint32_t length;
    bool final;
  } cases[] = {
      {"not whole blocks", u"right", 20, false},
      {"not whole blocks, final", u"right", 31, true},
      {"final on nothing", u"right", 0, true},
  };
  for (const Case& c : cases) {
    ArchiveKey key = DeriveArchiveKey(c.password);
    auto copy = cipher;
    uint32_t length = c.length;
    EXPECT_FALSE(key.Decrypt(copy.data(), length, c.final)) << c.what;
  }
  // A wrong password leaves garbage whose padding is almost never valid; this one is not.
  ArchiveKey wrong = DeriveArchiveKey(u"wrong");
  auto copy = cipher;
  uint32_t length = 32;
  EXPECT_FALSE(wrong.Decrypt(copy.data(), length, true));
}

}  // namespace
}  // namespace ozr
