// The open-file dialog (comdlg32) and the folder browser (shell32), set up as archives were always
// chosen.
#include "ui/win32/choosers.h"

#include <commdlg.h>
#include <shlobj.h>

#include "base/control_ids.h"
#include "base/texts.h"
#include "ui/dialog_commands.h"
#include "ui/win32/wide.h"

namespace ozr::win32 {

namespace {

// The name box holds at most this many units, terminator included.
constexpr DWORD kChosenPathUnits = MAX_PATH;

constexpr DWORD kOpenArchiveFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST |
                                    OFN_NONETWORKBUTTON | OFN_EXPLORER | OFN_LONGNAMES |
                                    OFN_DONTADDTORECENT;
static_assert(kOpenArchiveFlags == 0x022A1804);

constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_NEWDIALOGSTYLE;
static_assert(kBrowseFlags == 0x43);

// COM for the length of one browse; uninitialised only when initialising succeeded.
class ComScope {
 public:
  ComScope() : result_(CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT result_;
};

}  // namespace

bool ChooseArchive(HWND owner, HINSTANCE module, std::u16string& path) {
  const std::u16string initialFolder = FolderOf(ModulePath(module));
  const std::u16string filters = ArchiveFilterList();
  const std::u16string title = text::kOpenArchiveTitle;
  std::u16string chosen(kChosenPathUnits, u'\0');  // starts empty

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.hInstance = module;
  dialog.lpstrFilter = Wide(filters);
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = reinterpret_cast<wchar_t*>(chosen.data());
  dialog.nMaxFile = kChosenPathUnits;
  dialog.lpstrInitialDir = initialFolder.empty() ? nullptr : Wide(initialFolder);
  dialog.lpstrTitle = Wide(title);
  dialog.Flags = kOpenArchiveFlags;
  if (!GetOpenFileNameW(&dialog)) return false;
  path = FromWide(dialog.lpstrFile);
  return true;
}

void BrowseForFolder(HWND dialog) {
  const ComScope com;
  wchar_t folder[MAX_PATH + 2] = {};
  const std::u16string title = text::kBrowseTitle;

  BROWSEINFOW browse{};
  browse.hwndOwner = dialog;
  browse.pszDisplayName = folder;
  browse.lpszTitle = Wide(title);
  browse.ulFlags = kBrowseFlags;
  const PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
  if (chosen == nullptr) return;
  const bool hasPath = SHGetPathFromIDListW(chosen, folder) != FALSE && folder[0] != L'\0';
  CoTaskMemFree(chosen);
  // A folder without a file-system path cannot be confirmed; should one come, the field stays.
  if (hasPath)
    SetDlgItemTextW(dialog, kDestinationFolder, Wide(WithFinalSeparator(FromWide(folder))));
}

}  // namespace ozr::win32
