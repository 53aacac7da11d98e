// Buffered sequential reading over a ReadableFile.
#include "platform/sequential_reader.h"

#include <algorithm>
#include <cstring>

namespace ozr {

void SequentialReader::Seek(uint64_t position) {
  if (position < windowStart_ || position > windowStart_ + windowLength_) {
    windowStart_ = position;
    windowLength_ = 0;
    exhausted_ = false;
  }
  position_ = position;
}

bool SequentialReader::Refill() {
  if (exhausted_) return false;
  windowStart_ = position_;
  file_.Seek(position_);
  windowLength_ = file_.Read(buffer_.data(), buffer_.size());
  exhausted_ = windowLength_ < buffer_.size();
  return windowLength_ != 0;
}

size_t SequentialReader::Read(uint8_t* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const uint64_t offset = position_ - windowStart_;
    if (offset >= windowLength_) {
      if (!Refill()) break;
      continue;
    }
    const size_t n = std::min<uint64_t>(count - done, windowLength_ - offset);
    std::memcpy(buffer + done, buffer_.data() + offset, n);
    done += n;
    position_ += n;
  }
  return done;
}

}  // namespace ozr
