// The program's one set of state: the open archive, the files port, the values shared with the
// extraction job's thread, and the dialog's window.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "archive/session.h"
#include "platform/file_system.h"
#include "platform/threads.h"
#include "ui/dialog_commands.h"

namespace ozr::win32 {

// Progress ranges and positions the job has set and the dialog has not shown yet, one of each
// per bar (entries, bytes).
struct PendingProgress {
  std::atomic<uint64_t> range[2] = {};
  std::atomic<bool> rangeChanged[2] = {};
  std::atomic<uint64_t> position[2] = {};
  std::atomic<bool> changed[2] = {};
};

struct UnpackerState {
  // Filled once on the dialog's thread during initialisation; only read by jobs afterwards.
  ArchiveSession session;
  std::unique_ptr<FileSystem> files;
  ExtractionShare share;
  // The main dialog (DialogHandle) and the thread that serves its messages; set first of all
  // during initialisation, before any other thread exists.
  HWND dialog = nullptr;
  DWORD dialogThread = 0;
  PendingProgress progress;
  // The thread of the latest job. Declared last: destroyed first, so the program waits for it
  // before the state it uses goes (by then the dialog is gone and the job has ended).
  std::unique_ptr<Thread> worker;
};

}  // namespace ozr::win32
