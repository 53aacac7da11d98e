// The platform's choosers: the open-file dialog for an archive and the folder browser for the
// destination.
#pragma once

#include <windows.h>

#include <string>

namespace ozr::win32 {

// Shows the open-file dialog for an archive, starting in the folder of `module`'s file with the
// archive filter selected and an empty name box. True when the user chose an existing file, whose
// full path is then in `path`; false when the user cancelled or the dialog failed.
bool ChooseArchive(HWND owner, HINSTANCE module, std::u16string& path);

// Lets the user pick the destination folder; a chosen folder goes into the destination field
// with a final "\". A cancelled browse changes nothing.
void BrowseForFolder(HWND dialog);

}  // namespace ozr::win32
