// The terminal through the console API: UTF-16 straight into a console window, UTF-8 with "\r\n"
// line ends into files and pipes, echo switched off for the password, a control handler for
// Ctrl+C, and the module path for the tool's own folder.
#include <windows.h>

#include <algorithm>
#include <string>

#include "base/utf.h"
#include "cli/console.h"

namespace ozr::cli {

namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI OnControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  if (interrupted.exchange(true)) return FALSE;  // the second one ends the program
  return TRUE;
}

HANDLE StandardHandle(Stream stream) {
  return GetStdHandle(stream == Stream::kInput    ? STD_INPUT_HANDLE
                      : stream == Stream::kOutput ? STD_OUTPUT_HANDLE
                                                  : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

// Switches the console input's echo off for its lifetime.
class EchoOff {
 public:
  explicit EchoOff(HANDLE input) : input_(input) {
    if (!GetConsoleMode(input_, &saved_)) return;
    active_ = SetConsoleMode(input_, saved_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != FALSE;
  }
  ~EchoOff() {
    if (active_) SetConsoleMode(input_, saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  HANDLE input_;
  DWORD saved_ = 0;
  bool active_ = false;
};

class Win32Console final : public Console {
 public:
  void Write(Stream stream, std::u16string_view text) override {
    const HANDLE handle = StandardHandle(stream);
    if (IsConsole(handle)) {
      const auto* units = reinterpret_cast<const wchar_t*>(text.data());
      size_t done = 0;
      while (done < text.size()) {
        const DWORD ask = static_cast<DWORD>(std::min<size_t>(text.size() - done, 8192));
        DWORD written = 0;
        if (!WriteConsoleW(handle, units + done, ask, &written, nullptr) || written == 0) return;
        done += written;
      }
      return;
    }
    std::u16string lines;
    lines.reserve(text.size());
    for (const char16_t unit : text) {
      if (unit == u'\n') lines += u'\r';
      lines += unit;
    }
    const std::string bytes = ToUtf8(lines);
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD written = 0;
      if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                     nullptr) ||
          written == 0) {
        return;
      }
      done += written;
    }
  }

  bool IsTerminal(Stream stream) override { return IsConsole(StandardHandle(stream)); }

  bool ReadLine(std::u16string& line) override {
    const HANDLE input = StandardHandle(Stream::kInput);
    line.clear();
    if (IsConsole(input)) {
      for (;;) {
        wchar_t unit = 0;
        DWORD got = 0;
        if (!ReadConsoleW(input, &unit, 1, &got, nullptr) || got == 0) return false;
        if (interrupted.load()) return false;
        if (unit == L'\n') break;
        line += static_cast<char16_t>(unit);
      }
    } else {
      std::string bytes;
      for (;;) {
        char c = 0;
        DWORD got = 0;
        if (!ReadFile(input, &c, 1, &got, nullptr) || got == 0) return false;
        if (c == '\n') break;
        bytes += c;
      }
      line = FromUtf8(bytes);
    }
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    return true;
  }

  bool ReadSecret(std::u16string_view prompt, std::u16string& line) override {
    bool read = false;
    {
      EchoOff echoOff(StandardHandle(Stream::kInput));
      Write(Stream::kError, prompt);
      read = ReadLine(line);
    }
    Write(Stream::kError, u"\n");  // the Enter the user typed was not echoed
    return read;
  }
};

}  // namespace

std::unique_ptr<Console> NativeConsole() { return std::make_unique<Win32Console>(); }

const std::atomic<bool>& CatchInterrupt() {
  SetConsoleCtrlHandler(OnControl, TRUE);
  return interrupted;
}

std::u16string ExecutableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  path.resize(slash + 1);
  return std::u16string(path.begin(), path.end());
}

}  // namespace ozr::cli
