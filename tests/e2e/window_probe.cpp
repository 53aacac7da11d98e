// Window messages across processes. Every send has a time limit, so a hung program fails a test
// instead of hanging the run.
#include "e2e/window_probe.h"

#include <commctrl.h>

namespace ozr::e2e {

namespace {

constexpr UINT kSendTimeoutMs = 10000;
constexpr DWORD kPollMs = 10;

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &result)) {
    return -1;
  }
  return static_cast<LRESULT>(result);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::u16string FromBuffer(const std::wstring& buffer, LRESULT length) {
  if (length <= 0) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()),
                        static_cast<size_t>(length));
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(kPollMs);
  }
}

std::u16string ClassOf(HWND window) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(window, name, 256);
  return std::u16string(reinterpret_cast<const char16_t*>(name), length > 0 ? length : 0);
}

std::u16string TextOf(HWND window) {
  const LRESULT length = Send(window, WM_GETTEXTLENGTH);
  if (length <= 0) return {};
  std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT got =
      Send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return FromBuffer(buffer, got);
}

std::vector<HWND> ChildrenOf(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(window, CollectWindow, reinterpret_cast<LPARAM>(&children));
  return children;
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId) {
  std::vector<HWND> all;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
  std::vector<HWND> found;
  for (const HWND window : all) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId) found.push_back(window);
  }
  return found;
}

Progress ProgressOf(HWND bar) {
  return {static_cast<int>(Send(bar, PBM_GETRANGE, TRUE)),
          static_cast<int>(Send(bar, PBM_GETRANGE, FALSE)),
          static_cast<int>(Send(bar, PBM_GETPOS))};
}

std::vector<std::u16string> ListItems(HWND list) {
  std::vector<std::u16string> items;
  const LRESULT count = Send(list, LB_GETCOUNT);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = Send(list, LB_GETTEXTLEN, i);
    std::wstring buffer(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    items.push_back(
        FromBuffer(buffer, Send(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer.data()))));
  }
  return items;
}

int SelectedCount(HWND list) { return static_cast<int>(Send(list, LB_GETSELCOUNT)); }

std::vector<std::u16string> ComboItems(HWND combo) {
  std::vector<std::u16string> items;
  const LRESULT count = Send(combo, CB_GETCOUNT);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = Send(combo, CB_GETLBTEXTLEN, i);
    std::wstring buffer(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    items.push_back(
        FromBuffer(buffer, Send(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer.data()))));
  }
  return items;
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void SetText(HWND control, const std::u16string& text) {
  Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Type(HWND control, const std::u16string& text) {
  for (const char16_t unit : text) Send(control, WM_CHAR, unit, 1);
}

void PressKey(HWND control, UINT virtualKey) {
  const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  PostMessageW(control, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
  PostMessageW(control, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

}  // namespace ozr::e2e
