// Threads started with the Windows API (the toolchain has no std::thread), waited for only when
// their owner goes away.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

namespace ozr::win32 {

class WorkerThreads {
 public:
  WorkerThreads() = default;
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;
  // Waits for every thread still running, then releases the handles. Only called once the dialog
  // is gone, so a thread that still talks to it finds no window and ends.
  ~WorkerThreads();

  // Starts `body` on a new thread with the default stack size and returns at once; false when the
  // thread could not be started (`body` is then never run).
  bool Start(std::function<void()> body);

 private:
  std::vector<HANDLE> threads_;
};

}  // namespace ozr::win32
