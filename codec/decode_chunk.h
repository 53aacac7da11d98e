// Decoding one ChunkFrame: read, decrypt, check the payload's checksum, inflate.
#pragma once

#include <cstdint>
#include <memory>

#include "archive/records.h"
#include "codec/archive_key.h"
#include "platform/file_system.h"

namespace ozr {

// A ChunkBuffer: 128000 bytes on the heap, made once per job and reused for every frame.
class ChunkBuffer {
 public:
  ChunkBuffer() : bytes_(new uint8_t[kChunkBufferSize]) {}
  uint8_t* data() { return bytes_.get(); }
  const uint8_t* data() const { return bytes_.get(); }
  static constexpr uint32_t size() { return kChunkBufferSize; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
};

// The lengths of one frame decoded by DecodeChunk.
struct FrameLengths {
  uint32_t storedLength = 0;    // payloadLength as stored: the frame takes storedLength + 8 bytes
  uint32_t payloadLength = 0;   // the payload after decryption, at the start of the input buffer
  uint32_t inflatedLength = 0;  // bytes now at the start of the output buffer
};

// Reads the frame at the file's position. `key` is null for an archive stored without encryption.
// The frame is the entry's last (decrypted with the final flag) when consumedBytes + n + 8 reaches
// packedSize. Throws Failure with "Ошибка чтения архива." (a short read; a payload longer than a
// buffer or a frame ending past packedSize, both refused before the payload is read), the
// decryption text, the checksum text or the inflation text, in the order the steps run.
FrameLengths DecodeChunk(ReadableFile& file, ArchiveKey* key, uint64_t packedSize,
                         uint64_t consumedBytes, ChunkBuffer& input, ChunkBuffer& output);

// The same work in two steps, so that reading (which must follow the file) and the rest (which
// may run on other threads) can be split.
struct StoredFrame {
  uint32_t storedLength = 0;
  bool final = false;    // the frame that reaches the entry's packedSize
  bool sumRead = false;  // false: the payloadSum read came up short (reported after the checksum)
  uint32_t payloadSum = 0;
};

// Reads payloadLength, the payload (into `input`) and payloadSum. Throws the read failure for the
// first two reads and the length limits.
StoredFrame ReadStoredFrame(ReadableFile& file, uint64_t packedSize, uint64_t consumedBytes,
                            ChunkBuffer& input);

// Tests the checksum of the decrypted payload (`payloadLength` bytes of `input`) and inflates it.
// Throws the read failure for a short payloadSum, the checksum text or the inflation text.
uint32_t CheckAndInflate(const StoredFrame& frame, uint32_t payloadLength, const ChunkBuffer& input,
                         ChunkBuffer& output);

// The checksum test alone, with the same failures.
void CheckPayload(const StoredFrame& frame, uint32_t payloadLength, const ChunkBuffer& input);

}  // namespace ozr
