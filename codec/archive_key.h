// The AES-256 key of an archive, made from its password and held by the platform's cryptographic
// library: the extraction decrypts with it, the writer encrypts. The Windows build uses CryptoAPI;
// other builds use OpenSSL and produce the same bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace ozr {

// Decrypts the frames of an entry independently of each other: each call is given the chaining
// value, the last ciphertext block of the frame before (zeros for an entry's first frame), so
// frames can be decrypted on several threads. One per thread.
class FrameDecryptor {
 public:
  struct Context;  // the library's per-thread state, defined by each backend

  explicit FrameDecryptor(std::unique_ptr<Context> context);
  ~FrameDecryptor();
  // As ArchiveKey::Decrypt, starting from `chain` instead of the previous call's state.
  bool Decrypt(const uint8_t* chain, uint8_t* data, uint32_t& length, bool final);

 private:
  std::unique_ptr<Context> context_;
};

class ArchiveKey {
 public:
  struct Handles;  // the library's objects, defined by each backend

  explicit ArchiveKey(std::unique_ptr<Handles> handles);
  ArchiveKey(ArchiveKey&&) noexcept;
  ArchiveKey& operator=(ArchiveKey&&) noexcept;
  // Destroys the key, then releases the library's context.
  ~ArchiveKey();

  // Decrypts `length` bytes in place, continuing the chaining of earlier calls (AES-256-CBC from
  // an all-zero vector). With `final`, the padding is checked and removed (`length` shrinks) and
  // the chaining starts afresh for the next call. False when the library refuses: a length that
  // is not a whole number of blocks, or bad padding.
  bool Decrypt(uint8_t* data, uint32_t& length, bool final);

  // Encrypts in place with its own chaining; with `final` the padding is added (up to 16 bytes
  // beyond `length`, within `capacity`) and the chaining starts afresh. Non-final lengths must be
  // whole blocks. False when the library refuses.
  bool Encrypt(uint8_t* data, uint32_t& length, uint32_t capacity, bool final);

  // A decryptor for independent frames, one per thread; null when the library cannot make one,
  // so that frames must be decrypted in order through Decrypt.
  std::unique_ptr<FrameDecryptor> NewFrameDecryptor() const;

 private:
  std::unique_ptr<Handles> handles_;
};

// SHA-1 of the password's UTF-16LE units (no terminator), turned into an AES-256 key as
// CryptDeriveKey does. Throws Failure with "Ошибка CryptAcquireContext", "Ошибка CryptCreateHash",
// "Ошибка CryptHashData" or "Ошибка CryptDeriveKey"; nothing is left to release then.
ArchiveKey DeriveArchiveKey(std::u16string_view password);

}  // namespace ozr
