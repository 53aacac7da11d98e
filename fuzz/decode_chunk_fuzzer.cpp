// Fuzz target: decoding one frame, with or without a key. Input: a flags byte (bit 0: decrypt
// with the key of "pw"), the entry's packedSize and the bytes consumed before the frame (u32
// each, little-endian), then the frame. A frame either decodes within the buffers and the entry,
// reading exactly its own bytes, or fails with one of the four frame texts.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/failure.h"
#include "base/little_endian.h"
#include "codec/chunk_sum.h"
#include "codec/decode_chunk.h"
#include "codec/inflate.h"
#include "fuzz/fuzz_check.h"
#include "support/memory_files.h"

using ozr::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 9) return 0;
  const bool encrypted = (data[0] & 1) != 0;
  const uint64_t packedSize = ozr::LoadU32(data + 1);
  const uint64_t consumed = std::min<uint64_t>(ozr::LoadU32(data + 5), packedSize);
  const std::vector<uint8_t> frame(data + 9, data + size);
  ozr::testing::MemoryReadableFile file(frame);

  std::optional<ozr::ArchiveKey> key;
  if (encrypted) key.emplace(ozr::DeriveArchiveKey(u"pw"));
  ozr::ChunkBuffer input;
  ozr::ChunkBuffer output;
  try {
    const ozr::FrameLengths lengths =
        ozr::DecodeChunk(file, key ? &*key : nullptr, packedSize, consumed, input, output);
    Check(lengths.storedLength <= ozr::kChunkBufferSize, "the payload fits its buffer");
    Check(lengths.inflatedLength <= ozr::kChunkBufferSize, "the output fits its buffer");
    Check(consumed + lengths.storedLength + ozr::kFrameOverhead <= packedSize,
          "the frame ends inside the entry");
    uint8_t rest[1];
    const size_t frameEnd = lengths.storedLength + ozr::kFrameOverhead;
    Check(file.Read(rest, 1) == (frame.size() > frameEnd ? 1u : 0u),
          "exactly the frame's bytes were read");
    if (!encrypted) {
      // Without a key the frame is checked and inflated as stored.
      const uint8_t* payload = frame.data() + 4;
      Check(ozr::ChunkSum(payload, static_cast<int32_t>(lengths.storedLength)) ==
                ozr::LoadU32(frame.data() + 4 + lengths.storedLength),
            "the payload's checksum matched");
      std::vector<uint8_t> reference(ozr::kChunkBufferSize);
      uint32_t length = ozr::kChunkBufferSize;
      Check(ozr::InflateWithZlib(payload, lengths.storedLength, reference.data(), length) &&
                length == lengths.inflatedLength &&
                std::equal(reference.begin(), reference.begin() + length, output.data()),
            "the output is what zlib makes of the payload");
    } else {
      Check(lengths.storedLength % 16 == 0, "an encrypted payload is whole blocks");
    }
  } catch (const ozr::Failure& failure) {
    using ozr::MessageCode;
    const MessageCode code = failure.code();
    Check(code == MessageCode::kFrameReadFailed || code == MessageCode::kFrameSumMismatch ||
              code == MessageCode::kInflateFailed ||
              (encrypted && code == MessageCode::kDecryptFailed),
          "a frame fails with one of the frame texts");
  }
  return 0;
}
