// The key with OpenSSL's libcrypto, reproducing CryptoAPI byte for byte: the 20-byte SHA-1 value is
// stretched to 32 bytes as CryptDeriveKey documents (two SHA-1s over 64-byte pads 0x36 and 0x5C,
// each XORed with the hash), and every call continues one CBC chain until a final call.
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <array>
#include <cstring>
#include <vector>

#include "base/failure.h"
#include "codec/archive_key.h"

namespace ozr {

namespace {

constexpr int kBlock = 16;

struct CipherContextDeleter {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

bool Sha1(const uint8_t* data, size_t size, uint8_t* out) {
  unsigned int length = 0;
  return EVP_Digest(data, size, out, &length, EVP_sha1(), nullptr) == 1 &&
         length == SHA_DIGEST_LENGTH;
}

}  // namespace

struct ArchiveKey::Handles {
  std::array<uint8_t, 32> key{};
  CipherContext decryptor;
  CipherContext encryptor;

  // Starts a context afresh at the all-zero vector; padding is handled by the callers.
  bool Restart(CipherContext& ctx, bool encrypt) {
    if (!ctx) ctx.reset(EVP_CIPHER_CTX_new());
    static const uint8_t kZeroVector[kBlock] = {};
    return ctx &&
           EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), kZeroVector,
                             encrypt ? 1 : 0) == 1 &&
           EVP_CIPHER_CTX_set_padding(ctx.get(), 0) == 1;
  }

  // Runs whole blocks through a context in place.
  static bool Run(EVP_CIPHER_CTX* ctx, uint8_t* data, uint32_t length) {
    int produced = 0;
    return length == 0 ||
           (EVP_CipherUpdate(ctx, data, &produced, data, static_cast<int>(length)) == 1 &&
            produced == static_cast<int>(length));
  }
};

ArchiveKey::ArchiveKey(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
ArchiveKey::ArchiveKey(ArchiveKey&&) noexcept = default;
ArchiveKey& ArchiveKey::operator=(ArchiveKey&&) noexcept = default;
ArchiveKey::~ArchiveKey() {
  if (handles_) OPENSSL_cleanse(handles_->key.data(), handles_->key.size());
}

namespace {

bool WholeBlocks(uint32_t length, bool final) {
  return length % kBlock == 0 && (!final || length != 0);
}

// PKCS#5: the last byte n (1..16) and the n bytes that end the data all equal n.
bool StripPadding(const uint8_t* data, uint32_t& length) {
  const uint8_t pad = data[length - 1];
  bool ok = pad >= 1 && pad <= kBlock;
  for (uint32_t i = 1; ok && i <= pad; ++i) ok = data[length - i] == pad;
  if (ok) length -= pad;
  return ok;
}

}  // namespace

bool ArchiveKey::Decrypt(uint8_t* data, uint32_t& length, bool final) {
  Handles& h = *handles_;
  if (!h.decryptor && !h.Restart(h.decryptor, false)) return false;
  bool ok = WholeBlocks(length, final) && Handles::Run(h.decryptor.get(), data, length);
  if (ok && final) ok = StripPadding(data, length);
  if (final || !ok) ok = h.Restart(h.decryptor, false) && ok;
  return ok;
}

struct FrameDecryptor::Context {
  std::array<uint8_t, 32> key{};
  CipherContext cipher;
};

FrameDecryptor::FrameDecryptor(std::unique_ptr<Context> context) : context_(std::move(context)) {}
FrameDecryptor::~FrameDecryptor() {
  if (context_) OPENSSL_cleanse(context_->key.data(), context_->key.size());
}

bool FrameDecryptor::Decrypt(const uint8_t* chain, uint8_t* data, uint32_t& length, bool final) {
  if (!WholeBlocks(length, final)) return false;
  if (EVP_CipherInit_ex(context_->cipher.get(), EVP_aes_256_cbc(), nullptr, context_->key.data(),
                        chain, 0) != 1 ||
      EVP_CIPHER_CTX_set_padding(context_->cipher.get(), 0) != 1 ||
      !ArchiveKey::Handles::Run(context_->cipher.get(), data, length)) {
    return false;
  }
  return !final || StripPadding(data, length);
}

std::unique_ptr<FrameDecryptor> ArchiveKey::NewFrameDecryptor() const {
  auto context = std::make_unique<FrameDecryptor::Context>();
  context->key = handles_->key;
  context->cipher.reset(EVP_CIPHER_CTX_new());
  if (!context->cipher) return nullptr;
  return std::make_unique<FrameDecryptor>(std::move(context));
}

bool ArchiveKey::Encrypt(uint8_t* data, uint32_t& length, uint32_t capacity, bool final) {
  Handles& h = *handles_;
  if (!h.encryptor && !h.Restart(h.encryptor, true)) return false;
  uint32_t total = length;
  if (final) {
    const auto pad = static_cast<uint8_t>(kBlock - length % kBlock);
    if (capacity < length + pad) return false;
    std::memset(data + length, pad, pad);
    total = length + pad;
  } else if (length % kBlock != 0) {
    return false;
  }
  bool ok = Handles::Run(h.encryptor.get(), data, total);
  if (ok) length = total;
  if (final || !ok) ok = h.Restart(h.encryptor, true) && ok;
  return ok;
}

ArchiveKey DeriveArchiveKey(std::u16string_view password) {
  std::vector<uint8_t> units;
  units.reserve(password.size() * 2);
  for (const char16_t u : password) {
    units.push_back(static_cast<uint8_t>(u));
    units.push_back(static_cast<uint8_t>(u >> 8));
  }
  uint8_t hash[SHA_DIGEST_LENGTH];
  if (!Sha1(units.data(), units.size(), hash)) throw Failure(MessageCode::kHashDataFailed);

  uint8_t pad36[64];
  uint8_t pad5c[64];
  std::memset(pad36, 0x36, sizeof pad36);
  std::memset(pad5c, 0x5C, sizeof pad5c);
  for (int i = 0; i < SHA_DIGEST_LENGTH; ++i) {
    pad36[i] ^= hash[i];
    pad5c[i] ^= hash[i];
  }
  uint8_t stretched[2 * SHA_DIGEST_LENGTH];
  if (!Sha1(pad36, sizeof pad36, stretched) ||
      !Sha1(pad5c, sizeof pad5c, stretched + SHA_DIGEST_LENGTH)) {
    throw Failure(MessageCode::kDeriveKeyFailed);
  }
  auto handles = std::make_unique<ArchiveKey::Handles>();
  std::memcpy(handles->key.data(), stretched, handles->key.size());
  OPENSSL_cleanse(stretched, sizeof stretched);
  OPENSSL_cleanse(hash, sizeof hash);
  return ArchiveKey(std::move(handles));
}

}  // namespace ozr
