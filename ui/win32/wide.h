// UTF-16 texts of the core as the Windows calls take them (wchar_t is 16 bits there).
#pragma once

#include <windows.h>

#include <string>

namespace ozr::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline LPARAM WideParam(const std::u16string& text) { return reinterpret_cast<LPARAM>(Wide(text)); }

inline std::u16string FromWide(const wchar_t* text) {
  return reinterpret_cast<const char16_t*>(text);
}

// The whole text of a window (a control's content, a dialog's caption).
inline std::u16string WindowText(HWND window) {
  std::u16string text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, u'\0');
  const int length = GetWindowTextW(window, reinterpret_cast<wchar_t*>(text.data()),
                                    static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(length < 0 ? 0 : length));
  return text;
}

// The full path of a module's file (nullptr: the program's own), however long it is.
inline std::u16string ModulePath(HMODULE module) {
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, reinterpret_cast<wchar_t*>(path.data()),
                                            static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // cut short: try again with room to spare
  }
}

}  // namespace ozr::win32
