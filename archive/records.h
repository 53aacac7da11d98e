// The on-disk records of an archive, decoded field by field from little-endian bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ozr {

inline constexpr size_t kTrailerSize = 8;
inline constexpr size_t kHeaderSize = 40;
inline constexpr size_t kEntryRecordSize = 40;
// payloadLength before and payloadSum after the payload of every ChunkFrame.
inline constexpr uint64_t kFrameOverhead = 8;
// The size of a ChunkBuffer: the largest payload and the largest inflated chunk.
inline constexpr uint32_t kChunkBufferSize = 128000;

inline constexpr uint32_t kMaxCommentLength = 255;
inline constexpr uint32_t kMaxTitleLength = 64;
inline constexpr uint16_t kMaxCompressionLevel = 9;
inline constexpr uint32_t kMaxNameLength = 260;
// The most UTF-16 units a password may have: the unpacker's field holds no more, so no archive
// can need a longer one.
inline constexpr uint32_t kMaxPasswordLength = 16;

// The last 8 bytes of an archive: distances back from the end of the file.
struct ArchiveTrailer {
  uint32_t headerDistance = 0;
  uint32_t directoryDistance = 0;
};

struct ArchiveHeader {
  uint32_t entryCount = 0;
  std::array<uint8_t, 4> ignoredAt4{};
  uint64_t totalUnpackedSize = 0;
  uint64_t totalPackedSize = 0;
  uint16_t compressionLevel = 0;
  std::array<uint8_t, 2> ignoredAt26{};
  uint32_t commentLength = 0;
  uint32_t titleLength = 0;
  // 0: every payload is encrypted; any other value: stored as is.
  uint8_t notEncrypted = 0;
  std::array<uint8_t, 3> ignoredAt37{};

  bool encrypted() const { return notEncrypted == 0; }
};

struct EntryRecord {
  uint64_t unpackedSize = 0;
  uint64_t packedSize = 0;
  uint32_t entrySum = 0;
  std::array<uint8_t, 12> ignoredAt20{};
  uint32_t nameLength = 0;
  std::array<uint8_t, 4> ignoredAt36{};
};

ArchiveTrailer ParseTrailer(const uint8_t* bytes);
ArchiveHeader ParseHeader(const uint8_t* bytes);
EntryRecord ParseEntryRecord(const uint8_t* bytes);

std::array<uint8_t, kTrailerSize> SerializeTrailer(const ArchiveTrailer& trailer);
std::array<uint8_t, kHeaderSize> SerializeHeader(const ArchiveHeader& header);
std::array<uint8_t, kEntryRecordSize> SerializeEntryRecord(const EntryRecord& record);

}  // namespace ozr
