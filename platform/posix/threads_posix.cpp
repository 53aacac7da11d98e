// Threads through the standard library.
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/threads.h"

namespace ozr {

struct Mutex::Native {
  std::mutex mutex;
};

Mutex::Mutex() : native_(std::make_unique<Native>()) {}
Mutex::~Mutex() = default;
void Mutex::Lock() { native_->mutex.lock(); }
void Mutex::Unlock() { native_->mutex.unlock(); }

struct ConditionVariable::Native {
  std::condition_variable_any condition;
};

ConditionVariable::ConditionVariable() : native_(std::make_unique<Native>()) {}
ConditionVariable::~ConditionVariable() = default;
void ConditionVariable::Wait(Mutex& mutex) { native_->condition.wait(mutex.native().mutex); }
void ConditionVariable::NotifyAll() { native_->condition.notify_all(); }

struct Thread::Native {
  std::thread thread;
};

Thread::Thread(std::function<void()> body) : body_(std::move(body)) {}
Thread::~Thread() { Join(); }

bool Thread::Start() {
  try {
    native_ = std::make_unique<Native>(Native{std::thread(body_)});
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void Thread::Join() {
  if (native_ && native_->thread.joinable()) native_->thread.join();
}

int ProcessorCount() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

}  // namespace ozr
