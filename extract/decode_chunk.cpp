// One frame from stored bytes to inflated bytes, with the checks in the order stored archives need.
#include "extract/decode_chunk.h"

#include "archive/failure.h"
#include "archive/little_endian.h"
#include "extract/chunk_sum.h"
#include "extract/inflate.h"
#include "ui/texts.h"

namespace ozr {

namespace {

void ReadOrFail(ReadableFile& file, uint8_t* buffer, size_t count) {
  if (file.Read(buffer, count) != count) throw Failure(text::kChunkReadFailed);
}

}  // namespace

DecodedChunk DecodeChunk(ReadableFile& file, ExtractionKey* key, uint64_t packedSize,
                         uint64_t consumedBytes, ChunkBuffer& input, ChunkBuffer& output) {
  uint8_t field[4];
  ReadOrFail(file, field, sizeof field);
  const uint32_t stored = LoadU32(field);
  // A longer payload cannot be held; it is refused before anything is read into the buffer.
  if (stored > ChunkBuffer::size()) throw Failure(text::kChunkReadFailed);
  // A frame that would end past the entry's stream belongs to no entry (sizes on disk that do not
  // add up); reading on would take the next entry's bytes.
  if (consumedBytes + stored + kFrameOverhead > packedSize) throw Failure(text::kChunkReadFailed);
  ReadOrFail(file, input.data(), stored);

  uint32_t payloadLength = stored;
  if (key != nullptr) {
    const bool final = consumedBytes + stored + kFrameOverhead >= packedSize;
    if (!key->Decrypt(input.data(), payloadLength, final)) throw Failure(text::kDecryptFailed);
  }
  const uint32_t computed = ChunkSum(input.data(), static_cast<int32_t>(payloadLength));

  ReadOrFail(file, field, sizeof field);
  if (computed != LoadU32(field)) throw Failure(text::kChunkSumMismatch);

  uint32_t inflated = ChunkBuffer::size();
  if (!InflateChunk(input.data(), payloadLength, output.data(), inflated)) {
    throw Failure(text::kInflateFailed);
  }
  return {stored, inflated};
}

}  // namespace ozr
