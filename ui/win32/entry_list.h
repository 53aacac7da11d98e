// The entry list's presentation: an extent for horizontal scrolling, and selecting every item.
#pragma once

#include <windows.h>

namespace ozr::win32 {

// Gives the entry list a horizontal extent that fits its widest item in the list's font (plus a
// scroll bar's width) and scrolls the list to its last items.
void FitListExtent(HWND dialog);

// Selects every item of the entry list in one step; an empty list is left alone.
void SelectAllEntries(HWND dialog);

}  // namespace ozr::win32
