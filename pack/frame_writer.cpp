// zlib's deflate set up for one-block frames, and the frame's fields around the payload.
#include "pack/frame_writer.h"

#include <cstring>

#include "archive/records.h"
#include "base/failure.h"
#include "base/little_endian.h"
#include "codec/chunk_sum.h"

namespace ozr {

namespace {

void CheckCompressed(bool ok) {
  if (!ok) throw Failure(MessageCode::kPackCompressFailed);
}

}  // namespace

// Memory level 9 lets a whole 128000-byte chunk fit one deflate block as a rule, which readers
// decode fastest.
FrameWriter::FrameWriter(uint16_t compressionLevel, ArchiveKey* key)
    : key_(key), payload_(compressBound(kChunkBufferSize) + kBlock) {
  CheckCompressed(deflateInit2(&stream_, compressionLevel, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) ==
                  Z_OK);
}

FrameWriter::~FrameWriter() { deflateEnd(&stream_); }

uint32_t FrameWriter::Compress(const uint8_t* content, uint32_t length) {
  CheckCompressed(deflateReset(&stream_) == Z_OK);
  stream_.next_in = const_cast<Bytef*>(content);
  stream_.avail_in = length;
  stream_.next_out = payload_.data();
  stream_.avail_out = capacity();
  CheckCompressed(deflate(&stream_, Z_FINISH) == Z_STREAM_END);
  return capacity() - stream_.avail_out;
}

uint32_t FrameWriter::StoredLength(uint32_t length, bool final) const {
  if (key_ == nullptr) return length;
  return final ? (length / kBlock + 1) * kBlock : (length + kBlock - 1) / kBlock * kBlock;
}

uint64_t FrameWriter::Emit(uint32_t length, bool final, ArchiveOutput& out) {
  if (key_ != nullptr && !final) {
    const uint32_t padded = StoredLength(length, false);
    std::memset(payload_.data() + length, 0, padded - length);
    length = padded;
  }
  const uint32_t sum = ChunkSum(payload_.data(), static_cast<int32_t>(length));
  uint32_t stored = length;
  if (key_ != nullptr &&
      !key_->Encrypt(payload_.data(), stored, static_cast<uint32_t>(payload_.size()), final)) {
    throw Failure(MessageCode::kPackEncryptFailed);
  }
  uint8_t field[4];
  StoreU32(field, stored);
  out.Write(field, sizeof field);
  out.Write(payload_.data(), stored);
  StoreU32(field, sum);
  out.Write(field, sizeof field);
  return stored + kFrameOverhead;
}

}  // namespace ozr
