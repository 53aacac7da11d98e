// Paths between the core's UTF-16 texts and std::filesystem: UTF-16 as it is on Windows, bytes
// on POSIX, where a name that is not UTF-8 keeps its bytes (base/utf.h PathFromBytes).
#pragma once

#include <filesystem>
#include <string>

namespace ozr::cli {

std::filesystem::path NativePath(const std::u16string& path);

// The path as UTF-16, from which NativePath gives the same path back.
std::u16string PathText(const std::filesystem::path& path);

// The separator the platform's paths end a folder with.
#ifdef _WIN32
inline constexpr char16_t kNativeSeparator = u'\\';
#else
inline constexpr char16_t kNativeSeparator = u'/';
#endif

// `folder` with a final separator, so that an entry name can be appended to it; "" is the current
// folder, which becomes "./" (".\" on Windows) so that a name starting with "\" stays inside it.
std::u16string FolderWithSeparator(std::u16string folder);

}  // namespace ozr::cli
