// The Windows side of the dialog interfaces: each call becomes messages to the dialog's controls.
#include "ui/win32/win32_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>

#include "archive/records.h"
#include "ui/win32/choosers.h"
#include "ui/win32/entry_list.h"
#include "ui/win32/extraction_worker.h"
#include "ui/win32/wide.h"

namespace ozr::win32 {

// Message boxes are shown with the core's flags and their answers compared with its values.
static_assert(kMbOk == MB_OK && kMbYesNo == MB_YESNO && kMbIconError == MB_ICONERROR &&
              kMbIconQuestion == MB_ICONQUESTION && kMbIconWarning == MB_ICONWARNING &&
              kMbIconInformation == MB_ICONINFORMATION);
static_assert(kIdOk == IDOK && kIdCancel == IDCANCEL && kIdYes == IDYES && kIdNo == IDNO);

namespace {

// The controls that SetBusy switches, in the order it switches them, and whether each is enabled
// while a job runs. The others (texts, comment, destination, progress bars) are never disabled.
struct BusySwitch {
  ControlId control;
  bool enabledWhileBusy;
};
constexpr BusySwitch kBusySwitches[] = {
    {kPasswordField, false}, {kBrowseButton, false}, {kEntryList, false},
    {kExtractButton, false}, {kAbortButton, true},   {kSelectAllButton, false},
};

WPARAM ClampToInt(uint64_t value) {
  return static_cast<WPARAM>(std::min<uint64_t>(value, INT_MAX));
}

size_t BarIndex(ControlId bar) { return bar == kProgressEntries ? 0 : 1; }
constexpr ControlId kBars[] = {kProgressEntries, kProgressBytes};

// From another thread: stores the value for the dialog's next showing of the bars.
void Pend(std::atomic<uint64_t>& slot, std::atomic<bool>& changed, uint64_t value) {
  slot.store(value);
  changed.store(true);
}

}  // namespace

void ShowPendingProgress(UnpackerState& state) {
  for (const ControlId bar : kBars) {
    const size_t i = BarIndex(bar);
    // The range first: the job sets a bar's position only after its range.
    if (state.progress.rangeChanged[i].exchange(false)) {
      SendDlgItemMessageW(state.dialog, bar, PBM_SETRANGE32, 0,
                          static_cast<LPARAM>(ClampToInt(state.progress.range[i].load())));
    }
    if (state.progress.changed[i].exchange(false)) {
      SendDlgItemMessageW(state.dialog, bar, PBM_SETPOS,
                          ClampToInt(state.progress.position[i].load()), 0);
    }
  }
}

void OnDialogThread(const UnpackerState& state, const std::function<void()>& action) {
  if (GetCurrentThreadId() == state.dialogThread) {
    action();
    return;
  }
  // A destroyed dialog makes SendMessageW return at once without running the action.
  SendMessageW(state.dialog, kRunOnDialogThread, 0, reinterpret_cast<LPARAM>(&action));
}

void Win32Dialog::SetControlText(ControlId control, const std::u16string& text) {
  OnDialogThread(state_, [&] { SetDlgItemTextW(state_.dialog, control, Wide(text)); });
}

void Win32Dialog::ShowDestinationFolder(const std::u16string& folder) {
  SetControlText(kDestinationFolder, folder);
}

void Win32Dialog::ShowComment(const std::u16string& text) { SetControlText(kCommentBox, text); }

void Win32Dialog::ShowTitle(const std::u16string& text) {
  OnDialogThread(state_, [&] { SetWindowTextW(state_.dialog, Wide(text)); });
}

void Win32Dialog::ShowSummary(const std::u16string& line) { SetControlText(kSummaryLine, line); }

void Win32Dialog::ShowLevel(const std::u16string& line) { SetControlText(kLevelLine, line); }

void Win32Dialog::AppendEntryLine(const std::u16string& line) {
  OnDialogThread(state_, [&] { SendToControl(kEntryList, LB_ADDSTRING, 0, WideParam(line)); });
}

void Win32Dialog::DisablePassword() {
  OnDialogThread(state_, [&] { EnableWindow(Control(kPasswordField), FALSE); });
}

MessageAnswer Win32Dialog::ShowMessage(const Message& message) {
  int answer = kIdCancel;
  OnDialogThread(state_, [&] {
    answer = MessageBoxW(message.ownedByDialog ? state_.dialog : nullptr, Wide(message.text),
                         Wide(message.caption), message.flags);
  });
  return static_cast<MessageAnswer>(answer);
}

void Win32Dialog::EndDialog(int result) {
  OnDialogThread(state_, [&] { ::EndDialog(state_.dialog, result); });
}

void Win32Dialog::ClearEntryList() {
  OnDialogThread(state_, [&] { SendToControl(kEntryList, LB_RESETCONTENT, 0, 0); });
}

bool Win32Dialog::ChooseArchive(std::u16string& path) {
  bool chosen = false;
  OnDialogThread(state_, [&] {
    chosen = win32::ChooseArchive(state_.dialog, GetModuleHandleW(nullptr), path);
  });
  return chosen;
}

void Win32Dialog::LimitPasswordLength(uint32_t units) {
  OnDialogThread(state_, [&] { SendToControl(kPasswordField, EM_LIMITTEXT, units, 0); });
}

void Win32Dialog::FitListExtent() {
  OnDialogThread(state_, [&] { win32::FitListExtent(state_.dialog); });
}

int Win32Dialog::SelectedCount() {
  int count = 0;
  OnDialogThread(state_, [&] {
    count = std::max(0, static_cast<int>(SendToControl(kEntryList, LB_GETSELCOUNT, 0, 0)));
  });
  return count;
}

std::u16string Win32Dialog::DestinationText() {
  std::u16string text;
  OnDialogThread(state_, [&] { text = WindowText(Control(kDestinationFolder)); });
  return text;
}

void Win32Dialog::SetBusy(bool busy) {
  OnDialogThread(state_, [&] {
    // While a job runs, the bars show what it set at every tick of a timer.
    if (busy) {
      SetTimer(state_.dialog, kProgressTimer, kProgressTickMs, nullptr);
    } else {
      KillTimer(state_.dialog, kProgressTimer);
    }
    state_.share.extractionBusy = busy;
    for (const BusySwitch& item : kBusySwitches) {
      EnableWindow(Control(item.control), item.enabledWhileBusy == busy ? TRUE : FALSE);
    }
    // A disabled control cannot keep the keyboard focus: hand it to the button that acts now,
    // so that the keyboard keeps working.
    const HWND focus = GetFocus();
    if (focus == nullptr || !IsWindowEnabled(focus)) {
      const HWND next = Control(busy ? kAbortButton : kExtractButton);
      SendMessageW(state_.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
    }
  });
}

bool Win32Dialog::StartWorker() { return StartExtractionWorker(state_); }

std::u16string Win32Dialog::ReadPassword() {
  std::u16string password;
  OnDialogThread(state_, [&] {
    wchar_t buffer[kMaxPasswordLength + 1] = {};
    const int length =
        GetDlgItemTextW(state_.dialog, kPasswordField, buffer, kMaxPasswordLength + 1);
    password.assign(reinterpret_cast<const char16_t*>(buffer), std::max(0, length));
  });
  return password;
}

std::vector<int32_t> Win32Dialog::SelectedIndices() {
  std::vector<int32_t> indices;
  OnDialogThread(state_, [&] {
    const LRESULT count = SendToControl(kEntryList, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) return;
    std::vector<int> items(static_cast<size_t>(count));
    const LRESULT got = SendToControl(kEntryList, LB_GETSELITEMS, items.size(),
                                      reinterpret_cast<LPARAM>(items.data()));
    items.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, count)));
    indices.assign(items.begin(), items.end());
  });
  return indices;
}

void Win32Dialog::SetProgressRange(ControlId bar, uint64_t maximum) {
  if (GetCurrentThreadId() == state_.dialogThread) {
    SendToControl(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(ClampToInt(maximum)));
    return;
  }
  const size_t i = BarIndex(bar);
  Pend(state_.progress.range[i], state_.progress.rangeChanged[i], maximum);
}

void Win32Dialog::SetProgressPosition(ControlId bar, uint64_t position) {
  if (GetCurrentThreadId() == state_.dialogThread) {
    SendToControl(bar, PBM_SETPOS, ClampToInt(position), 0);
    return;
  }
  const size_t i = BarIndex(bar);
  Pend(state_.progress.position[i], state_.progress.changed[i], position);
}

void Win32Dialog::ResetProgress() {
  OnDialogThread(state_, [&] {
    for (const ControlId bar : {kProgressEntries, kProgressBytes}) {
      SendToControl(bar, PBM_SETRANGE32, 0, 1);
      SendToControl(bar, PBM_SETPOS, 0, 0);
    }
  });
}

}  // namespace ozr::win32
