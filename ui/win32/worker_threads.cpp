// Thread start through the C runtime's _beginthreadex, which sets up the runtime for the thread.
#include "ui/win32/worker_threads.h"

#include <process.h>

#include <memory>

namespace ozr::win32 {

namespace {

unsigned __stdcall RunBody(void* argument) {
  const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
  (*body)();
  return 0;
}

}  // namespace

WorkerThreads::~WorkerThreads() {
  for (const HANDLE thread : threads_) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
}

bool WorkerThreads::Start(std::function<void()> body) {
  // Forget the threads that have ended, so that a long session keeps few handles.
  std::erase_if(threads_, [](HANDLE thread) {
    if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) return false;
    CloseHandle(thread);
    return true;
  });
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  const uintptr_t thread = _beginthreadex(nullptr, 0, &RunBody, owned.get(), 0, nullptr);
  if (thread == 0) return false;
  owned.release();  // the thread owns it now
  threads_.push_back(reinterpret_cast<HANDLE>(thread));
  return true;
}

}  // namespace ozr::win32
