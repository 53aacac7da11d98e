// Frames as the writer makes them: one complete zlib stream each, compressed at the archive's
// level, checksummed and, in an encrypted archive, encrypted as one CBC chain per entry.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "codec/archive_key.h"
#include "pack/archive_output.h"

namespace ozr {

class FrameWriter {
 public:
  // `key` is null for an archive stored without encryption; it must outlive the writer.
  FrameWriter(uint16_t compressionLevel, ArchiveKey* key);
  ~FrameWriter();
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  // Compresses `length` content bytes (at most a ChunkBuffer) into one complete zlib stream at
  // the start of the payload; returns the stream's length.
  uint32_t Compress(const uint8_t* content, uint32_t length);
  // Whether the stream of `length` bytes in the payload is a single deflate block: the first
  // block's header bit that marks the last block, right behind the two-byte zlib header.
  bool IsSingleBlock(uint32_t length) const { return length > 2 && (payload_[2] & 1) != 0; }

  // The payload: what Compress made, to which bytes may be added up to the capacity.
  uint8_t* payload() { return payload_.data(); }
  uint32_t capacity() const { return static_cast<uint32_t>(payload_.size()) - kBlock; }

  // The payloadLength stored for a payload of `length` plain bytes: as it is without a key;
  // with one, whole blocks, the last frame of an entry with PKCS#5 padding.
  uint32_t StoredLength(uint32_t length, bool final) const;
  // Pads, checksums and encrypts the first `length` payload bytes and writes the frame; returns
  // the bytes it takes in the archive. Every frame but an entry's last (`final`) is padded with
  // zeros behind the stream, where the reader ignores them.
  uint64_t Emit(uint32_t length, bool final, ArchiveOutput& out);

 private:
  static constexpr uint32_t kBlock = 16;

  z_stream stream_{};
  ArchiveKey* key_;
  std::vector<uint8_t> payload_;
};

}  // namespace ozr
