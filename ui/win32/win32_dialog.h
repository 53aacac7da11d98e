// The main dialog's window behind the portable interfaces: what opening and the start-up choice
// fill, what the commands use, and what the extraction job drives. Every call is carried out on
// the dialog's thread: from another thread it is sent there as a window message and waited for,
// so the job may call it from its own thread while the dialog thread never waits for the job.
// Progress ranges and positions alone are left for the dialog without waiting, which shows the
// latest of each bar at every tick of a timer: a job sets them per frame and per entry, and
// waiting for each would cost more than decoding the frame or writing a small entry.
#pragma once

#include <windows.h>

#include <functional>

#include "archive/open_startup_archive.h"
#include "extract/extraction_dialog.h"
#include "ui/dialog_commands.h"
#include "ui/win32/unpacker_state.h"

namespace ozr::win32 {

// The private message that runs a std::function<void()>* (in lParam) on the dialog's thread.
inline constexpr UINT kRunOnDialogThread = WM_APP + 1;

// The timer that shows the pending progress ranges and positions while a job runs.
inline constexpr UINT_PTR kProgressTimer = 1;
inline constexpr UINT kProgressTickMs = 50;

// Runs `action` on the thread of `state.dialog`: at once when called there, otherwise through
// kRunOnDialogThread. Does nothing when the dialog is gone.
void OnDialogThread(const UnpackerState& state, const std::function<void()>& action);

// On the dialog's thread: shows the progress ranges and positions set since the last call. Runs
// before every action of another thread, so that each call sees the bars as a waiting caller would
// have left them.
void ShowPendingProgress(UnpackerState& state);

class Win32Dialog final : public StartupView, public CommandView, public ExtractionDialog {
 public:
  explicit Win32Dialog(UnpackerState& state) : state_(state) {}

  // What opening an archive fills.
  void ShowDestinationFolder(const std::u16string& folder) override;
  void ShowComment(const std::u16string& text) override;
  void ShowTitle(const std::u16string& text) override;
  void ShowSummary(const std::u16string& line) override;
  void ShowLevel(const std::u16string& line) override;
  void AppendEntryLine(const std::u16string& line) override;
  void DisablePassword() override;
  // A box owned by the dialog, or without owner when the message says so. When the dialog is
  // gone, returns kIdCancel without showing anything.
  MessageAnswer ShowMessage(const Message& message) override;
  void EndDialog(int result) override;

  // The start-up choice.
  void ClearEntryList() override;
  bool ChooseArchive(std::u16string& path) override;
  void LimitPasswordLength(uint32_t units) override;
  void FitListExtent() override;

  // The commands.
  int SelectedCount() override;
  std::u16string DestinationText() override;
  void SetBusy(bool busy) override;
  // Starts the extraction job on a new thread (see extraction_worker.h).
  bool StartWorker() override;

  // The extraction job.
  std::u16string ReadPassword() override;
  std::vector<int32_t> SelectedIndices() override;
  void SetProgressRange(ControlId bar, uint64_t maximum) override;
  void SetProgressPosition(ControlId bar, uint64_t position) override;
  void ResetProgress() override;

 private:
  HWND Control(ControlId control) const { return GetDlgItem(state_.dialog, control); }
  void SetControlText(ControlId control, const std::u16string& text);
  LRESULT SendToControl(ControlId control, UINT message, WPARAM wParam, LPARAM lParam) const {
    return SendDlgItemMessageW(state_.dialog, control, message, wParam, lParam);
  }

  UnpackerState& state_;
};

}  // namespace ozr::win32
