// What must hold after any extraction job into a MemoryFileSystem, however the job ended.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive/session.h"
#include "support/memory_file_system.h"

namespace ozr::testing {

// Every node by resolved path: the bytes of a file, nothing for a folder.
using FileTree = std::map<std::u16string, std::optional<std::vector<uint8_t>>>;
FileTree TakeTree(const MemoryFileSystem& files);

// Empty when the rules hold, otherwise the first one broken:
// - no file is left open and no temporary file is left;
// - every change the job asked for lies inside `destination`;
// - every file is as it was, or holds the whole content of an entry whose path it has, decoded
//   with `password` and matching its entrySum: a stop never leaves a partial file.
// Moves the archive's read position.
std::string CheckAfterJob(const MemoryFileSystem& files, const FileTree& before,
                          const std::u16string& destination, ArchiveSession& session,
                          const std::u16string& password);

}  // namespace ozr::testing
