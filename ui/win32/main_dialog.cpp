// The dialog procedure only translates: initialisation runs the start-up choice, the close box
// and the four buttons run their commands, and the job's calls arrive as kRunOnDialogThread.
#include "ui/win32/main_dialog.h"

#include <functional>

#include "archive/open_startup_archive.h"
#include "ui/dialog_commands.h"
#include "ui/win32/choosers.h"
#include "ui/win32/entry_list.h"
#include "ui/win32/unpacker_state.h"
#include "ui/win32/wide.h"
#include "ui/win32/win32_dialog.h"

namespace ozr::win32 {

namespace {

// Returns TRUE when the user's choice of an archive failed and ended the dialog, FALSE otherwise
// (the dialog then sets no initial focus), as the dialog has always answered its initialisation.
INT_PTR Initialise(HWND dialog, UnpackerState& state) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
  state.dialog = dialog;
  state.dialogThread = GetCurrentThreadId();
  Win32Dialog view(state);
  const StartupResult result =
      OpenStartupArchive(ModulePath(nullptr), state.session, *state.files, view);
  return result == StartupResult::kChoiceFailed ? TRUE : FALSE;
}

void Close(HWND dialog, UnpackerState& state) {
  Win32Dialog view(state);
  if (!CloseCommand(view, state.share)) return;
  state.session.file.reset();
  EndDialog(dialog, 0);
}

void Command(HWND dialog, UnpackerState& state, WPARAM command) {
  Win32Dialog view(state);
  switch (CommandFor(static_cast<uint32_t>(command))) {
    case DialogCommand::kBrowse:
      BrowseForFolder(dialog);
      break;
    case DialogCommand::kExtract:
      ExtractCommand(view, *state.files, state.share);
      break;
    case DialogCommand::kAbort:
      AbortCommand(view, state.share);
      break;
    case DialogCommand::kSelectAll:
      SelectAllEntries(dialog);
      break;
    case DialogCommand::kNone:
      break;  // Enter and Esc among them: neither closes the dialog
  }
}

}  // namespace

INT_PTR CALLBACK MainDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    return Initialise(dialog, *reinterpret_cast<UnpackerState*>(lParam));
  }
  auto* state = reinterpret_cast<UnpackerState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (state == nullptr) return FALSE;  // messages before initialisation
  switch (message) {
    case WM_CLOSE:
      Close(dialog, *state);
      break;
    case WM_COMMAND:
      Command(dialog, *state, wParam);
      break;
    case kRunOnDialogThread:
      ShowPendingProgress(*state);
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      return TRUE;
    case WM_TIMER:
      if (wParam == kProgressTimer) ShowPendingProgress(*state);
      return TRUE;
    default:
      break;
  }
  return FALSE;
}

}  // namespace ozr::win32
