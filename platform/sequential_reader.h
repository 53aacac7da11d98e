// Reads an archive through a large buffer, so the three small reads of each frame (and the many
// frames of small entries) cost one large sequential read of the file now and then.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/file_system.h"

namespace ozr {

class SequentialReader final : public ReadableFile {
 public:
  static constexpr size_t kBufferSize = 1 << 19;

  explicit SequentialReader(ReadableFile& file) : file_(file), buffer_(kBufferSize) {}

  uint64_t Size() override { return file_.Size(); }
  // Positions inside the buffered window are served from it; others start a new window.
  void Seek(uint64_t position) override;
  // Delivers what the file delivers: fewer bytes than asked only at its end or on an error.
  size_t Read(uint8_t* buffer, size_t count) override;

 private:
  bool Refill();

  ReadableFile& file_;
  std::vector<uint8_t> buffer_;
  uint64_t windowStart_ = 0;  // file position of buffer_[0]
  size_t windowLength_ = 0;   // valid bytes in buffer_
  uint64_t position_ = 0;
  bool exhausted_ = false;  // the last refill came up short: the file ends (or fails) there
};

}  // namespace ozr
