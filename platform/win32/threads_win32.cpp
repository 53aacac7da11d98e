// Threads through the Windows API.
#include <windows.h>

#include "platform/threads.h"

namespace ozr {

struct Mutex::Native {
  SRWLOCK lock = SRWLOCK_INIT;
};

Mutex::Mutex() : native_(std::make_unique<Native>()) {}
Mutex::~Mutex() = default;
void Mutex::Lock() { AcquireSRWLockExclusive(&native_->lock); }
void Mutex::Unlock() { ReleaseSRWLockExclusive(&native_->lock); }

struct ConditionVariable::Native {
  CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};

ConditionVariable::ConditionVariable() : native_(std::make_unique<Native>()) {}
ConditionVariable::~ConditionVariable() = default;
void ConditionVariable::Wait(Mutex& mutex) {
  SleepConditionVariableSRW(&native_->condition, &mutex.native().lock, INFINITE, 0);
}
void ConditionVariable::NotifyAll() { WakeAllConditionVariable(&native_->condition); }

struct Thread::Native {
  HANDLE handle = nullptr;
};

namespace {

DWORD WINAPI RunBody(void* body) {
  (*static_cast<std::function<void()>*>(body))();
  return 0;
}

}  // namespace

Thread::Thread(std::function<void()> body) : body_(std::move(body)) {}
Thread::~Thread() { Join(); }

bool Thread::Start() {
  const HANDLE handle = CreateThread(nullptr, 0, RunBody, &body_, 0, nullptr);
  if (handle == nullptr) return false;
  native_ = std::make_unique<Native>(Native{handle});
  return true;
}

void Thread::Join() {
  if (!native_ || native_->handle == nullptr) return;
  WaitForSingleObject(native_->handle, INFINITE);
  CloseHandle(native_->handle);
  native_->handle = nullptr;
}

int ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

}  // namespace ozr
