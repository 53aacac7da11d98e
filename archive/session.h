// The one open archive: its file, trailer, header and catalogue of entries.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "archive/records.h"
#include "platform/file_system.h"

namespace ozr {

struct CatalogEntry {
  // The name as stored, up to its first NUL unit; "\" separates folder levels.
  std::u16string name;
  EntryRecord record;
  // Sum of packedSize over all entries with a smaller index: where this entry's stream starts
  // inside the data area. Kept here so that finding an entry costs the same for every index.
  uint64_t streamOffset = 0;
};

// Entry index (directory order from 0, equal to the list item index) to entry.
using Catalog = std::map<uint32_t, CatalogEntry>;

struct ArchiveSession {
  // Null until a file is open, and when it could not be opened.
  std::unique_ptr<ReadableFile> file;
  ArchiveHeader header;
  ArchiveTrailer trailer;
  Catalog catalog;
  // The file size S from which every region was found.
  uint64_t fileSize = 0;

  // Where the data area starts: S - directoryDistance - totalPackedSize.
  uint64_t DataAreaPosition() const {
    return fileSize - trailer.directoryDistance - header.totalPackedSize;
  }
  // Forgets a failed attempt before another file is tried; the file is closed.
  void Clear() {
    catalog.clear();
    file.reset();
  }
};

}  // namespace ozr
