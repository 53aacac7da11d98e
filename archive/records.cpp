// Field-by-field coding of the trailer, the header and the entry records.
#include "archive/records.h"

#include <algorithm>

#include "base/little_endian.h"

namespace ozr {

namespace {

template <size_t N>
std::array<uint8_t, N> CopyBytes(const uint8_t* p) {
  std::array<uint8_t, N> out{};
  std::copy(p, p + N, out.begin());
  return out;
}

}  // namespace

ArchiveTrailer ParseTrailer(const uint8_t* bytes) {
  ArchiveTrailer t;
  t.headerDistance = LoadU32(bytes);
  t.directoryDistance = LoadU32(bytes + 4);
  return t;
}

ArchiveHeader ParseHeader(const uint8_t* bytes) {
  ArchiveHeader h;
  h.entryCount = LoadU32(bytes);
  h.ignoredAt4 = CopyBytes<4>(bytes + 4);
  h.totalUnpackedSize = LoadU64(bytes + 8);
  h.totalPackedSize = LoadU64(bytes + 16);
  h.compressionLevel = LoadU16(bytes + 24);
  h.ignoredAt26 = CopyBytes<2>(bytes + 26);
  h.commentLength = LoadU32(bytes + 28);
  h.titleLength = LoadU32(bytes + 32);
  h.notEncrypted = bytes[36];
  h.ignoredAt37 = CopyBytes<3>(bytes + 37);
  return h;
}

EntryRecord ParseEntryRecord(const uint8_t* bytes) {
  EntryRecord r;
  r.unpackedSize = LoadU64(bytes);
  r.packedSize = LoadU64(bytes + 8);
  r.entrySum = LoadU32(bytes + 16);
  r.ignoredAt20 = CopyBytes<12>(bytes + 20);
  r.nameLength = LoadU32(bytes + 32);
  r.ignoredAt36 = CopyBytes<4>(bytes + 36);
  return r;
}

std::array<uint8_t, kTrailerSize> SerializeTrailer(const ArchiveTrailer& trailer) {
  std::array<uint8_t, kTrailerSize> out{};
  StoreU32(out.data(), trailer.headerDistance);
  StoreU32(out.data() + 4, trailer.directoryDistance);
  return out;
}

std::array<uint8_t, kHeaderSize> SerializeHeader(const ArchiveHeader& h) {
  std::array<uint8_t, kHeaderSize> out{};
  StoreU32(out.data(), h.entryCount);
  std::copy(h.ignoredAt4.begin(), h.ignoredAt4.end(), out.begin() + 4);
  StoreU64(out.data() + 8, h.totalUnpackedSize);
  StoreU64(out.data() + 16, h.totalPackedSize);
  StoreU16(out.data() + 24, h.compressionLevel);
  std::copy(h.ignoredAt26.begin(), h.ignoredAt26.end(), out.begin() + 26);
  StoreU32(out.data() + 28, h.commentLength);
  StoreU32(out.data() + 32, h.titleLength);
  out[36] = h.notEncrypted;
  std::copy(h.ignoredAt37.begin(), h.ignoredAt37.end(), out.begin() + 37);
  return out;
}

std::array<uint8_t, kEntryRecordSize> SerializeEntryRecord(const EntryRecord& r) {
  std::array<uint8_t, kEntryRecordSize> out{};
  StoreU64(out.data(), r.unpackedSize);
  StoreU64(out.data() + 8, r.packedSize);
  StoreU32(out.data() + 16, r.entrySum);
  std::copy(r.ignoredAt20.begin(), r.ignoredAt20.end(), out.begin() + 20);
  StoreU32(out.data() + 32, r.nameLength);
  std::copy(r.ignoredAt36.begin(), r.ignoredAt36.end(), out.begin() + 36);
  return out;
}

}  // namespace ozr
