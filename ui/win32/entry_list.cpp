// Measuring and selecting the entry list's items.
#include "ui/win32/entry_list.h"

#include <algorithm>
#include <string>

#include "base/control_ids.h"

namespace ozr::win32 {

namespace {

// The list's device context with the list's own font selected for as long as it lives.
class ListCanvas {
 public:
  explicit ListCanvas(HWND list)
      : list_(list),
        context_(GetDC(list)),
        previous_(SelectObject(context_,
                               reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)))) {}
  ~ListCanvas() {
    SelectObject(context_, previous_);
    ReleaseDC(list_, context_);
  }
  ListCanvas(const ListCanvas&) = delete;
  ListCanvas& operator=(const ListCanvas&) = delete;

  // The width of a text on one line, in pixels.
  LONG Width(const std::wstring& text) const {
    RECT bounds{};
    DrawTextW(context_, text.c_str(), -1, &bounds, DT_CALCRECT | DT_SINGLELINE);
    return bounds.right - bounds.left;
  }

 private:
  HWND list_;
  HDC context_;
  HGDIOBJ previous_;
};

}  // namespace

void FitListExtent(HWND dialog) {
  const HWND list = GetDlgItem(dialog, kEntryList);
  LONG widest = 0;
  {
    const ListCanvas canvas(list);
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
      if (length < 0) continue;
      std::wstring item(static_cast<size_t>(length) + 2, L'\0');
      SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()));
      widest = std::max(widest, canvas.Width(item));
    }
  }
  const bool hasScrollBar = (GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL) != 0;
  const LONG extra = hasScrollBar ? GetSystemMetrics(SM_CXVSCROLL) : 4;
  SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + extra), 0);
  SendMessageW(list, WM_VSCROLL, SB_BOTTOM, 0);
}

void SelectAllEntries(HWND dialog) {
  const LRESULT count = SendDlgItemMessageW(dialog, kEntryList, LB_GETCOUNT, 0, 0);
  if (count > 0) SendDlgItemMessageW(dialog, kEntryList, LB_SELITEMRANGEEX, 0, count - 1);
}

}  // namespace ozr::win32
