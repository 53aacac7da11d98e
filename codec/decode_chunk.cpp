// One frame from stored bytes to inflated bytes, with the checks in the order stored archives need.
#include "codec/decode_chunk.h"

#include "base/failure.h"
#include "base/little_endian.h"
#include "codec/chunk_sum.h"
#include "codec/inflate.h"

namespace ozr {

namespace {

void ReadOrFail(ReadableFile& file, uint8_t* buffer, size_t count) {
  if (file.Read(buffer, count) != count) throw Failure(MessageCode::kFrameReadFailed);
}

}  // namespace

StoredFrame ReadStoredFrame(ReadableFile& file, uint64_t packedSize, uint64_t consumedBytes,
                            ChunkBuffer& input) {
  uint8_t field[4];
  ReadOrFail(file, field, sizeof field);
  StoredFrame frame;
  frame.storedLength = LoadU32(field);
  // A longer payload cannot be held; it is refused before anything is read into the buffer.
  if (frame.storedLength > ChunkBuffer::size()) throw Failure(MessageCode::kFrameReadFailed);
  // A frame that would end past the entry's stream belongs to no entry (sizes on disk that do not
  // add up); reading on would take the next entry's bytes.
  const uint64_t end = consumedBytes + frame.storedLength + kFrameOverhead;
  if (end > packedSize) throw Failure(MessageCode::kFrameReadFailed);
  frame.final = end >= packedSize;
  ReadOrFail(file, input.data(), frame.storedLength);
  frame.sumRead = file.Read(field, sizeof field) == sizeof field;
  frame.payloadSum = LoadU32(field);
  return frame;
}

void CheckPayload(const StoredFrame& frame, uint32_t payloadLength, const ChunkBuffer& input) {
  const uint32_t computed = ChunkSum(input.data(), static_cast<int32_t>(payloadLength));
  if (!frame.sumRead) throw Failure(MessageCode::kFrameReadFailed);
  if (computed != frame.payloadSum) throw Failure(MessageCode::kFrameSumMismatch);
}

uint32_t CheckAndInflate(const StoredFrame& frame, uint32_t payloadLength, const ChunkBuffer& input,
                         ChunkBuffer& output) {
  CheckPayload(frame, payloadLength, input);
  uint32_t inflated = ChunkBuffer::size();
  if (!InflateFrame(input.data(), payloadLength, output.data(), inflated)) {
    throw Failure(MessageCode::kInflateFailed);
  }
  return inflated;
}

FrameLengths DecodeChunk(ReadableFile& file, ArchiveKey* key, uint64_t packedSize,
                         uint64_t consumedBytes, ChunkBuffer& input, ChunkBuffer& output) {
  const StoredFrame frame = ReadStoredFrame(file, packedSize, consumedBytes, input);
  uint32_t payloadLength = frame.storedLength;
  if (key != nullptr && !key->Decrypt(input.data(), payloadLength, frame.final)) {
    throw Failure(MessageCode::kDecryptFailed);
  }
  return {frame.storedLength, payloadLength, CheckAndInflate(frame, payloadLength, input, output)};
}

}  // namespace ozr
