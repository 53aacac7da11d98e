// Reading and driving another process's windows the way a person sees and uses them: texts,
// list items, progress bars, enabled states, clicks and typing, all through window messages.
#pragma once

#include <windows.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace ozr::e2e {

// How long any expected window state may take to appear. Generous: a fresh Wine is slow.
inline constexpr DWORD kPatienceMs = 60000;

// Polls `condition` until it holds; false when `timeoutMs` passed first.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kPatienceMs);

std::u16string ClassOf(HWND window);
// The window's text (a control's content or a window's caption), read with WM_GETTEXT.
std::u16string TextOf(HWND window);
std::vector<HWND> ChildrenOf(HWND window);
// Every top-level window of the process, shown or not.
std::vector<HWND> TopLevelWindowsOf(DWORD processId);

struct Progress {
  int low = 0;
  int high = 0;
  int position = 0;
  bool operator==(const Progress&) const = default;
};
inline void PrintTo(const Progress& bar, std::ostream* out) {
  *out << bar.low << ".." << bar.high << " at " << bar.position;
}
Progress ProgressOf(HWND bar);

std::vector<std::u16string> ListItems(HWND list);
int SelectedCount(HWND list);
std::vector<std::u16string> ComboItems(HWND combo);

// Presses a button as a click would; returns at once (the click may open a modal box).
void Click(HWND button);
// Replaces a control's text, as pasting would.
void SetText(HWND control, const std::u16string& text);
// Types characters one by one into a control, as a keyboard would.
void Type(HWND control, const std::u16string& text);
// Sends a key press and release through the dialog's message loop (posted, not sent).
void PressKey(HWND control, UINT virtualKey);

}  // namespace ozr::e2e
