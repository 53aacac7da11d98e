// The unpacker's entry point: no arguments, one modal dialog, exit code 0.
#include <windows.h>

#include <commctrl.h>

#include "platform/file_system.h"
#include "ui/win32/main_dialog.h"
#include "ui/win32/unpacker_state.h"

namespace {

constexpr int kMainDialogTemplate = 101;

// Libraries load only from the system folder: a self-extracting archive is usually run from a
// downloads folder, where anyone may have left a DLL of a well-known name. Looked up rather than
// imported, so that a Windows 7 without the update that brought the call still starts the program.
void RestrictLibrarySearch() {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  const auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set != nullptr) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  RestrictLibrarySearch();

  // The dialog has progress bars, so their class is registered along with the others.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_DATE_CLASSES | ICC_COOL_CLASSES | ICC_INTERNET_CLASSES |
                   ICC_PAGESCROLLER_CLASS | ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);

  ozr::win32::UnpackerState state;
  state.files = ozr::NativeFileSystem();
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kMainDialogTemplate), nullptr,
                  ozr::win32::MainDialog, reinterpret_cast<LPARAM>(&state));
  return 0;
}
