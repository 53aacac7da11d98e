// The rules every extraction job keeps, checked over the file tree before and after it.
#include "support/job_invariants.h"

#include <algorithm>

#include "base/failure.h"
#include "base/utf.h"
#include "codec/chunk_sum.h"
#include "codec/decode_chunk.h"

namespace ozr::testing {

FileTree TakeTree(const MemoryFileSystem& files) {
  FileTree tree;
  for (const auto& [path, node] : files.nodes()) {
    if (node.directory) {
      tree[path] = std::nullopt;
    } else {
      tree[path] = *node.bytes;
    }
  }
  return tree;
}

namespace {

// Whether `bytes` is the whole content of entry `index`, frame by frame, with the checksum chained
// as the job chains it. Stops at the first difference, so a huge entry costs no more than `bytes`.
bool IsWholeEntry(ArchiveSession& session, uint32_t index, const std::u16string& password,
                  const std::vector<uint8_t>& bytes) {
  const CatalogEntry& entry = session.catalog.at(index);
  try {
    std::optional<ArchiveKey> key;
    if (session.header.encrypted()) key.emplace(DeriveArchiveKey(password));
    session.file->Seek(session.DataAreaPosition() + entry.streamOffset);
    ChunkBuffer input;
    ChunkBuffer output;
    uint64_t consumed = 0;
    size_t offset = 0;
    uint32_t sum = 0;
    while (consumed < entry.record.packedSize) {
      const FrameLengths frame = DecodeChunk(*session.file, key ? &*key : nullptr,
                                             entry.record.packedSize, consumed, input, output);
      if (bytes.size() - offset < frame.inflatedLength ||
          !std::equal(output.data(), output.data() + frame.inflatedLength,
                      bytes.begin() + static_cast<long>(offset))) {
        return false;
      }
      sum = ChunkSumUpdate(sum, output.data(), static_cast<int32_t>(frame.inflatedLength));
      offset += frame.inflatedLength;
      consumed += frame.storedLength + kFrameOverhead;
    }
    return offset == bytes.size() && sum == entry.record.entrySum;
  } catch (const Failure&) {
    return false;
  }
}

}  // namespace

std::string CheckAfterJob(const MemoryFileSystem& files, const FileTree& before,
                          const std::u16string& destination, ArchiveSession& session,
                          const std::u16string& password) {
  if (files.openWriters() != 0) return "a file was left open";
  for (const auto& path : files.changedPaths()) {
    if (!files.IsInside(path, destination)) return "a change outside the folder: " + ToUtf8(path);
  }
  std::map<std::u16string, std::vector<uint32_t>> entriesByPath;
  for (const auto& [index, entry] : session.catalog) {
    const auto resolved = files.Resolve(files.JoinEntryPath(destination, entry.name));
    if (resolved) entriesByPath[*resolved].push_back(index);
  }
  const FileTree after = TakeTree(files);
  for (const auto& [path, content] : after) {
    if (files.nodes().at(path).temporary) return "a temporary file was left: " + ToUtf8(path);
    const auto old = before.find(path);
    if (old != before.end() && old->second == content) continue;
    if (!files.IsInside(path, destination)) return "changed outside the folder: " + ToUtf8(path);
    if (!content) continue;  // a folder made for an entry
    const std::vector<uint8_t>& bytes = *content;
    const auto candidates = entriesByPath.find(path);
    const bool whole =
        candidates != entriesByPath.end() &&
        std::any_of(candidates->second.begin(), candidates->second.end(),
                    [&](uint32_t index) { return IsWholeEntry(session, index, password, bytes); });
    if (!whole) return "a file that is no whole entry: " + ToUtf8(path);
  }
  for (const auto& [path, content] : before) {
    if (after.count(path) == 0) return "a file or folder disappeared: " + ToUtf8(path);
  }
  return {};
}

}  // namespace ozr::testing
