// The rules every extraction job keeps, checked over the file tree before and after it.
#include "support/job_invariants.h"

#include <algorithm>

#include "base/failure.h"
#include "base/utf.h"
#include "support/test_archives.h"

namespace ozr::testing {

FileTree TakeTree(const MemoryFileSystem& files) {
  FileTree tree;
  for (const auto& [path, node] : files.nodes()) {
    tree[path] = node.directory ? std::nullopt : std::optional(node.bytes);
  }
  return tree;
}

namespace {

// Whether `bytes` is the whole content of entry `index`, with the checksum the entry declares.
bool IsWholeEntry(ArchiveSession& session, uint32_t index, const std::u16string& password,
                  const std::vector<uint8_t>& bytes) {
  try {
    uint32_t sum = 0;
    return DecodeEntry(session, index, password, &sum) == bytes &&
           sum == session.catalog.at(index).record.entrySum;
  } catch (const Failure&) {
    return false;
  }
}

}  // namespace

std::string CheckAfterJob(const MemoryFileSystem& files, const FileTree& before,
                          const std::u16string& destination, ArchiveSession& session,
                          const std::u16string& password) {
  if (files.openWriters() != 0) return "a file was left open";
  // Every change to the tree goes through one of these paths; the only file removed is a temporary.
  for (const auto& path : files.changedPaths()) {
    if (!files.IsInside(path, destination)) return "a change outside the folder: " + ToUtf8(path);
  }
  std::map<std::u16string, std::vector<uint32_t>> entriesByPath;
  for (const auto& [index, entry] : session.catalog) {
    const auto resolved = files.Resolve(files.JoinEntryPath(destination, entry.name));
    if (resolved) entriesByPath[*resolved].push_back(index);
  }
  for (const auto& [path, node] : files.nodes()) {
    if (node.temporary) return "a temporary file was left: " + ToUtf8(path);
    const auto old = before.find(path);
    if (node.directory || (old != before.end() && old->second == node.bytes)) continue;
    const auto& candidates = entriesByPath[path];
    const auto& written = node.bytes;  // clang 14 cannot capture a structured binding
    if (std::none_of(candidates.begin(), candidates.end(), [&](uint32_t index) {
          return IsWholeEntry(session, index, password, written);
        })) {
      return "a file that is no whole entry: " + ToUtf8(path);
    }
  }
  return {};
}

}  // namespace ozr::testing
