// Runs a copy of the unpacker under Wine and uses it as a person would: through its windows, with
// window messages that each have a time limit, waiting on window state rather than on time.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/control_ids.h"

namespace ozr::e2e {

// Polls `condition` until it holds; false after a minute (a fresh Wine is slow).
inline bool WaitUntil(const std::function<bool()>& condition) {
  const ULONGLONG end = GetTickCount64() + 60000;
  while (!condition()) {
    if (GetTickCount64() >= end) return false;
    Sleep(10);
  }
  return true;
}

// A hung program makes the send fail (-1) instead of hanging the run.
inline LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  const bool sent =
      SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result);
  return sent ? static_cast<LRESULT>(result) : -1;
}

// A window's text; every text read here fits.
inline std::u16string TextOf(HWND window) {
  wchar_t text[1024] = {};
  const LRESULT length = Send(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
  return {text, text + std::max<LRESULT>(length, 0)};
}

inline std::u16string ClassOf(HWND window) {
  wchar_t name[256] = {};
  return {name, name + std::max(GetClassNameW(window, name, 256), 0)};
}

inline BOOL CALLBACK Collect(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

inline bool HasChild(HWND window, const std::function<bool(HWND)>& accepts) {
  std::vector<HWND> children;
  EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&children));
  return std::any_of(children.begin(), children.end(), accepts);
}

// Posted, as a click is: the click may open a modal box.
inline void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

inline void SetText(HWND control, const std::u16string& text) {
  Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

inline bool IsDialogClass(HWND window) { return ClassOf(window) == u"#32770"; }

// One run of the program, ended when the test is done with it.
class UnpackerRun {
 public:
  UnpackerRun(const std::filesystem::path& exe, const std::filesystem::path& currentFolder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    EXPECT_TRUE(CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                               currentFolder.c_str(), &startup, &process_))
        << "the unpacker did not start";
  }
  ~UnpackerRun() {
    TerminateProcess(process_.hProcess, 99);  // after a failed test; harmless after the exit
    WaitForSingleObject(process_.hProcess, 60000);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  UnpackerRun(const UnpackerRun&) = delete;
  UnpackerRun& operator=(const UnpackerRun&) = delete;

  // Waits for a shown top-level window of the program that `accepts`.
  HWND WaitWindow(const std::function<bool(HWND)>& accepts) {
    HWND found = nullptr;
    EXPECT_TRUE(WaitUntil([&] {
      std::vector<HWND> all;
      EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
      const auto ours = std::find_if(all.begin(), all.end(), [&](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        return owner == process_.dwProcessId && IsWindowVisible(window) && accepts(window);
      });
      found = ours != all.end() ? *ours : nullptr;
      return found != nullptr;
    })) << "an expected window did not appear";
    return found;
  }
  HWND Dialog() {
    if (dialog_ == nullptr)
      dialog_ = WaitWindow([](HWND w) { return IsDialogClass(w) && GetDlgItem(w, kEntryList); });
    return dialog_;
  }
  HWND Control(int id) { return GetDlgItem(Dialog(), id); }

  // Waits for the message box showing `text` and checks it; runs `meanwhile` while the box holds
  // its sender, then clicks `answer` (a missing one leaves the box) until the box is gone.
  void ExpectMessage(const std::u16string& text, const std::u16string& caption, HWND owner,
                     int answer, const std::function<void()>& meanwhile = {}) {
    const HWND box = WaitWindow(
        [&](HWND w) { return IsDialogClass(w) && TextOf(GetDlgItem(w, 0xFFFF)) == text; });
    EXPECT_EQ(TextOf(box), caption);
    EXPECT_EQ(GetWindow(box, GW_OWNER), owner);
    if (meanwhile) meanwhile();
    Click(GetDlgItem(box, answer));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); })) << "the box stayed";
  }

  // The exit code; STILL_ACTIVE after a minute.
  DWORD WaitExit() {
    WaitForSingleObject(process_.hProcess, 60000);
    DWORD code = 99;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION process_{};
  HWND dialog_ = nullptr;
};

}  // namespace ozr::e2e
