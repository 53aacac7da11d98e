// The key with the Windows cryptographic service, called exactly as archives were always made:
// an AES provider, a SHA-1 hash of the password, CryptDeriveKey for a 256-bit AES key with the
// provider's defaults (CBC, zero vector, PKCS#5 padding removed on the final call).
#include <windows.h>
// wincrypt.h needs the types of windows.h first.
#include <wincrypt.h>

#include <optional>
#include <utility>

#include "base/failure.h"
#include "codec/archive_key.h"

namespace ozr {

struct ArchiveKey::Handles {
  HCRYPTPROV provider = 0;
  HCRYPTKEY key = 0;

  ~Handles() {
    if (key != 0) CryptDestroyKey(key);
    if (provider != 0) CryptReleaseContext(provider, 0);
  }
};

namespace {

// Only whole blocks can be decrypted, and a final call needs at least the padding block. Wine
// accepts a partial block and would look in front of an empty buffer for the padding, so these are
// refused here, as Windows refuses them, before the call.
bool Decryptable(uint32_t length, bool final) {
  return length % 16 == 0 && !(final && length == 0);
}

bool DecryptWith(HCRYPTKEY key, uint8_t* data, uint32_t& length, bool final) {
  if (!Decryptable(length, final)) return false;
  DWORD inOut = length;
  if (!CryptDecrypt(key, 0, final ? TRUE : FALSE, 0, data, &inOut)) return false;
  length = inOut;
  return true;
}

}  // namespace

ArchiveKey::ArchiveKey(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
ArchiveKey::ArchiveKey(ArchiveKey&&) noexcept = default;
ArchiveKey& ArchiveKey::operator=(ArchiveKey&&) noexcept = default;
ArchiveKey::~ArchiveKey() = default;

bool ArchiveKey::Decrypt(uint8_t* data, uint32_t& length, bool final) {
  return DecryptWith(handles_->key, data, length, final);
}

bool ArchiveKey::Encrypt(uint8_t* data, uint32_t& length, uint32_t capacity, bool final) {
  DWORD inOut = length;
  if (!CryptEncrypt(handles_->key, 0, final ? TRUE : FALSE, 0, data, &inOut, capacity)) {
    return false;
  }
  length = inOut;
  return true;
}

// A duplicate of the job's key: the service keeps the chaining inside each key handle, so every
// thread decrypts with its own, starting each frame from the vector it is given.
struct FrameDecryptor::Context {
  HCRYPTKEY key = 0;
  ~Context() {
    if (key != 0) CryptDestroyKey(key);
  }
};

FrameDecryptor::FrameDecryptor(std::unique_ptr<Context> context) : context_(std::move(context)) {}
FrameDecryptor::~FrameDecryptor() = default;

bool FrameDecryptor::Decrypt(const uint8_t* chain, uint8_t* data, uint32_t& length, bool final) {
  // Setting the vector also restarts the chaining from it.
  return Decryptable(length, final) &&
         CryptSetKeyParam(context_->key, KP_IV, const_cast<BYTE*>(chain), 0) &&
         DecryptWith(context_->key, data, length, final);
}

std::unique_ptr<FrameDecryptor> ArchiveKey::NewFrameDecryptor() const {
  auto context = std::make_unique<FrameDecryptor::Context>();
  if (!CryptDuplicateKey(handles_->key, nullptr, 0, &context->key)) {
    context->key = 0;
    return nullptr;
  }
  return std::make_unique<FrameDecryptor>(std::move(context));
}

ArchiveKey DeriveArchiveKey(std::u16string_view password) {
  const auto length = static_cast<DWORD>(password.size());
  auto handles = std::make_unique<ArchiveKey::Handles>();
  HCRYPTHASH hash = 0;
  std::optional<MessageCode> failure;
  if (!CryptAcquireContextW(&handles->provider, nullptr, nullptr, PROV_RSA_AES, 0) &&
      !CryptAcquireContextW(&handles->provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_NEWKEYSET)) {
    handles->provider = 0;
    failure = MessageCode::kAcquireContextFailed;
  } else if (!CryptCreateHash(handles->provider, CALG_SHA1, 0, 0, &hash)) {
    hash = 0;
    failure = MessageCode::kCreateHashFailed;
  } else if (!CryptHashData(hash, reinterpret_cast<const BYTE*>(password.data()), 2 * length, 0)) {
    failure = MessageCode::kHashDataFailed;
  } else if (!CryptDeriveKey(handles->provider, CALG_AES_256, hash, 0x01000000, &handles->key)) {
    handles->key = 0;
    failure = MessageCode::kDeriveKeyFailed;
  }
  if (hash != 0) CryptDestroyHash(hash);
  // On failure the handles release the provider as they go out of scope.
  if (failure) throw Failure(*failure);
  return ArchiveKey(std::move(handles));
}

}  // namespace ozr
