// The job's thread. The job's calls on the dialog are carried out by the dialog's thread; its
// request to make the dialog idle is carried out last, after every other call of the job (the
// progress reset after a stop included), so that a new job started from the idle dialog never
// meets a call of the old one.
#include "ui/win32/extraction_worker.h"

#include <cstdint>

#include "base/failure.h"
#include "base/texts.h"
#include "extract/extraction_job.h"
#include "ui/win32/win32_dialog.h"

namespace ozr::win32 {

namespace {

// A position repeated since the job's last other call on the dialog is not passed on: the bar
// shows it already, and most frames do not move a bar.
class JobDialog final : public ExtractionDialog {
 public:
  explicit JobDialog(UnpackerState& state) : dialog_(state) {}

  std::u16string ReadPassword() override {
    Forget();
    return dialog_.ReadPassword();
  }
  std::vector<int32_t> SelectedIndices() override {
    Forget();
    return dialog_.SelectedIndices();
  }
  void SetProgressRange(ControlId bar, uint64_t maximum) override {
    Forget();
    dialog_.SetProgressRange(bar, maximum);
  }
  void SetProgressPosition(ControlId bar, uint64_t position) override {
    uint64_t& shown = shown_[bar == kProgressEntries ? 0 : 1];
    if (position == shown) return;
    shown = position;
    dialog_.SetProgressPosition(bar, position);
  }
  MessageAnswer ShowMessage(const Message& message) override {
    Forget();
    return dialog_.ShowMessage(message);
  }
  // Idle is made by the thread when the job has returned; busy is already set.
  void SetBusy(bool busy) override {
    Forget();
    if (busy) dialog_.SetBusy(true);
  }
  void ResetProgress() override {
    Forget();
    dialog_.ResetProgress();
  }

  // Makes the dialog idle; the thread's last act.
  void EndBusy() { dialog_.SetBusy(false); }

 private:
  static constexpr uint64_t kUnknown = UINT64_MAX;
  // Another call may move a bar (a range clamps its position): positions are passed on again.
  void Forget() { shown_[0] = shown_[1] = kUnknown; }

  Win32Dialog dialog_;
  uint64_t shown_[2] = {kUnknown, kUnknown};
};

void RunJob(UnpackerState& state) {
  JobDialog dialog(state);
  try {
    ExtractionJob(state.session, state.share.destinationFolder, state.share.abortRequested, dialog,
                  *state.files);
  } catch (const Failure& failure) {
    // The job reports its own failures; one that escapes it still reaches the user.
    if (!failure.silent())
      dialog.ShowMessage(failure.ToMessage(text::kCaptionErrorBang, kMbIconError));
    dialog.ResetProgress();
  }
  dialog.EndBusy();
}

}  // namespace

bool StartExtractionWorker(UnpackerState& state) {
  // The previous job has ended: making the dialog idle, which allowed this start, was its
  // thread's last call on the dialog, so joining it takes no longer than the thread's return.
  if (state.worker) state.worker->Join();
  state.worker = std::make_unique<Thread>([&state] { RunJob(state); });
  if (state.worker->Start()) return true;
  state.worker.reset();
  return false;
}

}  // namespace ozr::win32
