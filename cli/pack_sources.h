// Which files `ozr pack` writes and under which names: files by their own name, folders
// recursively under their own name with "\"-separated levels, each folder's files in name order so
// that the same tree always gives the same archive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pack/archive_writer.h"

namespace ozr::cli {

struct SourceList {
  std::vector<PackEntry> entries;        // names and source paths, in archive order
  std::vector<std::u16string> warnings;  // what was left out and why, as texts to show
  uint64_t totalSize = 0;                // content bytes of all entries
};

// Walks `inputs` (native paths). Empty files, empty folders, links to folders and special files
// (devices, pipes, sockets) are left out with a warning; `archive`, the file being written, is
// left out silently. Throws Failure, naming the path, for an input or folder that cannot be read,
// a name the archive cannot hold (one with "\" or, on POSIX, bytes that are not UTF-8), a name
// the unpacker would refuse or change on Windows (IsPortableEntryName) and a name given twice.
SourceList CollectSources(const std::vector<std::u16string>& inputs, const std::u16string& archive);

}  // namespace ozr::cli
