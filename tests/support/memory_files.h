// Files held in memory: an archive given as bytes, and output collected into a byte vector.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/file_system.h"

namespace ozr::testing {

class MemoryReadableFile final : public ReadableFile {
 public:
  explicit MemoryReadableFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  uint64_t Size() override { return bytes_.size(); }
  void Seek(uint64_t position) override { position_ = position; }
  size_t Read(uint8_t* buffer, size_t count) override {
    if (position_ >= bytes_.size()) return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, bytes_.size() - position_));
    if (n != 0) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
  }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t position_ = 0;
};

// Appends to a vector that the caller owns and that outlives the file.
class MemoryWritableFile final : public WritableFile {
 public:
  explicit MemoryWritableFile(std::vector<uint8_t>& bytes) : bytes_(bytes) {}

  size_t Write(const uint8_t* data, size_t count) override {
    bytes_.insert(bytes_.end(), data, data + count);
    return count;
  }
  bool Close() override { return true; }

 private:
  std::vector<uint8_t>& bytes_;
};

}  // namespace ozr::testing
