// Reads of a file cut short at the prefix's end.
#include "platform/file_prefix.h"

#include <algorithm>

namespace ozr {

size_t FilePrefix::Read(uint8_t* buffer, size_t count) {
  if (position_ >= size_) return 0;
  const auto allowed = static_cast<size_t>(std::min<uint64_t>(count, size_ - position_));
  // The file's own position may have been moved by another reader of it since.
  file_.Seek(position_);
  const size_t delivered = file_.Read(buffer, allowed);
  position_ += delivered;
  return delivered;
}

}  // namespace ozr
