// The writer of archives: entries from memory or files, compressed frame by frame (libdeflate, on
// every processor), optionally encrypted, with the directory, header block and trailer the reader
// counts back from the end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace ozr {

struct PackEntry {
  std::u16string name;         // "\"-separated folder levels, at most 260 units
  std::vector<uint8_t> bytes;  // the content, when sourcePath is empty
  std::u16string sourcePath;   // otherwise the file whose content is read
};

struct PackOptions {
  std::u16string title;    // 1 to 64 units; the unpacker's caption
  std::u16string comment;  // at most 255 units
  uint16_t compressionLevel = 6;
  bool encrypted = false;   // every payload encrypted with `password`
  std::u16string password;  // 1 to 16 units when encrypted
  // Threads that compress; 0: one per processor. The archive's bytes are the same for any number.
  int threads = 0;
  // Above 1: zero filler in front of the trailer, so that the output ends at a multiple of it
  // (counted from the start of `out`, prefix included). Readers never reach the filler.
  uint32_t endAlignment = 0;
};

struct PackResult {
  uint64_t totalUnpackedSize = 0;
  uint64_t totalPackedSize = 0;
  uint64_t endPosition = 0;  // the output's position after the trailer
};

// Called after each frame with the count of content bytes packed so far, over all entries.
using PackProgress = std::function<void(uint64_t packedContentBytes)>;

// Writes the archive into `out`, whose position is `startPosition` (the length of a prefix such as
// the unpacker's executable already written there). `files` reads entries given by path. Throws
// Failure with the writer's texts (limits, unreadable sources, a failed write).
PackResult WriteArchive(const std::vector<PackEntry>& entries, const PackOptions& options,
                        FileSystem* files, WritableFile& out, uint64_t startPosition = 0,
                        const PackProgress& progress = {});

}  // namespace ozr
