// The benchmark's archives: made once with the writer from a corpus folder, reused afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "archive/session.h"

namespace ozr::bench {

inline constexpr char16_t kPassword[] = u"bench-пароль";

// Packs every regular file under `folder` (sorted, "\"-separated relative names) into `archive`,
// encrypted at level 6, unless `archive` exists already.
void PackFolderOnce(const std::filesystem::path& folder, const std::filesystem::path& archive);

// Opens an archive with the native file system; throws Failure when it cannot.
void OpenNative(const std::filesystem::path& archive, ArchiveSession& session);

// Every frame's zlib stream of every entry, decrypted, checked and kept in memory, with the total
// of the bytes they inflate to: the input of the in-memory baseline.
struct DecryptedFrames {
  std::vector<std::vector<uint8_t>> streams;
  uint64_t inflatedBytes = 0;
};
DecryptedFrames LoadFrames(ArchiveSession& session);

}  // namespace ozr::bench
