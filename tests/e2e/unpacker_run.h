// One run of an unpacker copy, watched from outside: its dialog, its message boxes, its
// open-file and folder dialogs, and its exit code.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace ozr::e2e {

// A message box as the user sees it.
struct SeenMessage {
  HWND window = nullptr;
  HWND owner = nullptr;  // the window it is modal to; null for a box without owner
  std::u16string caption;
  std::u16string text;
  std::vector<int> buttons;  // IDs of its buttons (IDOK, IDYES, IDNO...)
};

class UnpackerRun {
 public:
  // Starts the program at `exePath` with `currentFolder` as its current folder.
  UnpackerRun(const std::u16string& exePath, const std::u16string& currentFolder);
  // Ends the program if it still runs (after a failed test).
  ~UnpackerRun();
  UnpackerRun(const UnpackerRun&) = delete;
  UnpackerRun& operator=(const UnpackerRun&) = delete;

  // The main dialog once it is shown; records a test failure and returns null after the timeout.
  HWND WaitDialog();
  // A control of the main dialog (WaitDialog first).
  HWND Control(int id) const;
  // The message box shown now, if any.
  std::optional<SeenMessage> FindMessage();
  // The next message box; records a failure and returns an empty SeenMessage after the timeout.
  SeenMessage WaitMessage();
  // Clicks a button of a message box and waits until the box is gone.
  void Answer(const SeenMessage& message, int buttonId);
  // The open-file dialog once it is shown, or null after the timeout.
  HWND WaitOpenFileDialog();
  // The folder browser once it is shown, or null after the timeout.
  HWND WaitFolderBrowser();
  // The exit code once the program has ended; nullopt (and a recorded failure) after the timeout.
  std::optional<DWORD> WaitExit();

  // Whether the main dialog was ever seen shown by one of the waits above.
  bool DialogWasShown() const { return dialogShown_; }
  DWORD processId() const { return process_.dwProcessId; }

 private:
  // Looks at the program's windows once; notes a shown main dialog.
  std::vector<HWND> ShownWindows();

  PROCESS_INFORMATION process_{};
  HWND dialog_ = nullptr;
  bool dialogShown_ = false;
};

// Kinds of the program's top-level dialogs.
bool IsMainDialog(HWND window);
bool IsMessageBox(HWND window);
bool IsOpenFileDialog(HWND window);
bool IsFolderBrowser(HWND window);

}  // namespace ozr::e2e
