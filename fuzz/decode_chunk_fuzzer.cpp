// Fuzz target: decoding one frame. Input: a flags byte (bit 0: decrypt with the key of "pw"), the
// entry's packedSize and the bytes consumed before the frame (u32 each, little-endian), then the
// frame. A frame decodes within the buffers and the entry, reading exactly its own bytes, or fails
// with one of the frame texts.
#include <algorithm>
#include <optional>

#include "base/failure.h"
#include "base/little_endian.h"
#include "codec/decode_chunk.h"
#include "fuzz/fuzz_check.h"
#include "support/memory_files.h"

using ozr::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 9) return 0;
  const uint64_t packedSize = ozr::LoadU32(data + 1);
  const uint64_t consumed = std::min<uint64_t>(ozr::LoadU32(data + 5), packedSize);
  ozr::testing::MemoryReadableFile file({data + 9, data + size});
  std::optional<ozr::ArchiveKey> key;
  if (data[0] & 1) key.emplace(ozr::DeriveArchiveKey(u"pw"));
  ozr::ChunkBuffer input;
  ozr::ChunkBuffer output;
  try {
    const ozr::FrameLengths lengths =
        ozr::DecodeChunk(file, key ? &*key : nullptr, packedSize, consumed, input, output);
    const uint64_t frameSize = lengths.storedLength + ozr::kFrameOverhead;
    Check(lengths.inflatedLength <= ozr::kChunkBufferSize && consumed + frameSize <= packedSize,
          "the frame fits its buffers and its entry");
    uint8_t rest[1];
    Check(file.Read(rest, 1) == (size - 9 > frameSize ? 1u : 0u), "the frame's bytes were read");
  } catch (const ozr::Failure& failure) {
    using ozr::MessageCode;
    const MessageCode code = failure.code();
    Check(code == MessageCode::kFrameReadFailed || code == MessageCode::kFrameSumMismatch ||
              code == MessageCode::kInflateFailed || (key && code == MessageCode::kDecryptFailed),
          "a frame fails with one of the frame texts");
  }
  return 0;
}
