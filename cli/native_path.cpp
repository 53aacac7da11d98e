// Windows' std::filesystem holds wchar_t (UTF-16) paths, POSIX's hold bytes taken as UTF-8.
#include "cli/native_path.h"

#include "base/utf.h"

namespace ozr::cli {

std::filesystem::path NativePath(const std::u16string& path) {
#ifdef _WIN32
  return std::filesystem::path(std::wstring(path.begin(), path.end()));
#else
  return std::filesystem::path(ToUtf8(path));
#endif
}

std::u16string PathText(const std::filesystem::path& path, bool* faithful) {
#ifdef _WIN32
  const std::wstring& native = path.native();
  if (faithful != nullptr) *faithful = true;
  return std::u16string(native.begin(), native.end());
#else
  std::u16string text = FromUtf8(path.native());
  if (faithful != nullptr) *faithful = ToUtf8(text) == path.native();
  return text;
#endif
}

std::u16string FolderWithSeparator(std::u16string folder) {
  if (folder.empty()) return std::u16string(u".") + kNativeSeparator;
  const char16_t last = folder.back();
  const bool ends = last == kNativeSeparator || last == u'/';
  if (!ends) folder += kNativeSeparator;
  return folder;
}

}  // namespace ozr::cli
