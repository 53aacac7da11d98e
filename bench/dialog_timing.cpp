// The dialog's own speed, for run_bench.py: starts the self-extracting archive OZR_TIMING_SFX,
// extracts every entry with OZR_TIMING_PASSWORD into the empty folder OZR_TIMING_DESTINATION as a
// person would, and prints the seconds from the click on the extract button to the success message.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/control_ids.h"
#include "base/texts.h"

namespace {

std::wstring Variable(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value == nullptr ? std::wstring() : std::wstring(value);
}

// Polls `done` until it holds; false after `limitMs`. Under Wine every look at the windows is a
// request to the server that the unpacker's own file operations wait behind: look seldom.
template <typename Condition>
bool WaitFor(Condition done, ULONGLONG limitMs) {
  const ULONGLONG end = GetTickCount64() + limitMs;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
  return true;
}

struct Search {
  DWORD process;
  HWND dialog;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM search) {
  auto* found = reinterpret_cast<Search*>(search);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != found->process || !IsWindowVisible(window)) return TRUE;
  if (GetDlgItem(window, ozr::kEntryList) == nullptr) return TRUE;
  found->dialog = window;
  return FALSE;
}

// Runs the extraction in the started program's dialog; the seconds, or a negative number.
double TimeExtraction(DWORD processId, const std::wstring& password,
                      const std::wstring& destination) {
  Search search{processId, nullptr};
  if (!WaitFor([&] { return !EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search)); }, 60000))
    return -1;
  const HWND dialog = search.dialog;
  // Everything but the click first, as a person would have it ready.
  const HWND list = GetDlgItem(dialog, ozr::kEntryList);
  PostMessageW(GetDlgItem(dialog, ozr::kSelectAllButton), BM_CLICK, 0, 0);
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  if (!WaitFor([&] { return SendMessageW(list, LB_GETSELCOUNT, 0, 0) == count; }, 60000)) return -1;
  SetDlgItemTextW(dialog, ozr::kPasswordField, password.c_str());
  SetDlgItemTextW(dialog, ozr::kDestinationFolder, (destination + L"\\").c_str());
  const ULONGLONG start = GetTickCount64();
  PostMessageW(GetDlgItem(dialog, ozr::kExtractButton), BM_CLICK, 0, 0);
  const auto* caption = reinterpret_cast<const wchar_t*>(ozr::text::kCaptionSuccess);
  HWND success = nullptr;
  if (!WaitFor([&] { return (success = FindWindowW(L"#32770", caption)) != nullptr; }, 3600000))
    return -1;
  const ULONGLONG end = GetTickCount64();
  PostMessageW(success, WM_COMMAND, IDOK, 0);
  return static_cast<double>(end - start) / 1000;
}

}  // namespace

int main() {
  const std::wstring sfx = Variable(L"OZR_TIMING_SFX");
  const std::wstring destination = Variable(L"OZR_TIMING_DESTINATION");
  if (sfx.empty() || destination.empty()) {
    std::fputs("set OZR_TIMING_SFX, OZR_TIMING_PASSWORD and OZR_TIMING_DESTINATION\n", stderr);
    return 2;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + sfx + L"\"";
  if (!CreateProcessW(sfx.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      destination.c_str(), &startup, &process)) {
    std::fputs("the unpacker did not start\n", stderr);
    return 1;
  }
  const double seconds =
      TimeExtraction(process.dwProcessId, Variable(L"OZR_TIMING_PASSWORD"), destination);
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 60000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (seconds < 0) {
    std::fputs("the dialog did not extract within its time\n", stderr);
    return 1;
  }
  std::printf("dialog seconds: %.3f\n", seconds);
  return 0;
}
