// The program's one set of state: the open archive, the files port, the values shared with the
// extraction job's thread, and the dialog's window.
#pragma once

#include <windows.h>

#include <memory>

#include "archive/session.h"
#include "platform/file_system.h"
#include "ui/dialog_commands.h"
#include "ui/win32/worker_threads.h"

namespace ozr::win32 {

struct UnpackerState {
  // Filled once on the dialog's thread during initialisation; only read by jobs afterwards.
  ArchiveSession session;
  std::unique_ptr<FileSystem> files;
  ExtractionShare share;
  // The main dialog (DialogHandle) and the thread that serves its messages; set first of all
  // during initialisation, before any other thread exists.
  HWND dialog = nullptr;
  DWORD dialogThread = 0;
  // Declared last: destroyed first, waiting for the job threads before the state they use goes.
  WorkerThreads workers;
};

}  // namespace ozr::win32
