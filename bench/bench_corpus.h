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

}  // namespace ozr::bench
