// The procedure of the program's one dialog (template 101).
#pragma once

#include <windows.h>

namespace ozr::win32 {

// The dialog procedure. The initialisation value (lParam of WM_INITDIALOG) is the program's
// UnpackerState, which outlives the dialog.
INT_PTR CALLBACK MainDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace ozr::win32
