// Threads and their synchronisation, for the extraction job's decoding pipeline. POSIX builds use
// the standard library; the Windows toolchain's thread model has none, so Windows builds use the
// Windows API (CreateThread, slim reader/writer locks, condition variables).
#pragma once

#include <functional>
#include <memory>

namespace ozr {

class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void Lock();
  void Unlock();

  struct Native;
  Native& native() { return *native_; }

 private:
  std::unique_ptr<Native> native_;
};

class MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~MutexLock() { mutex_.Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

class ConditionVariable {
 public:
  ConditionVariable();
  ~ConditionVariable();
  ConditionVariable(const ConditionVariable&) = delete;
  ConditionVariable& operator=(const ConditionVariable&) = delete;
  // Releases the locked `mutex`, waits for a notification (or a spurious wake), locks it again.
  void Wait(Mutex& mutex);
  void NotifyAll();

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

// A thread running `body`. Start() reports whether it could be started; Join() waits for the end
// (the destructor joins too).
class Thread {
 public:
  explicit Thread(std::function<void()> body);
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  bool Start();
  void Join();

  struct Native;

 private:
  std::function<void()> body_;
  std::unique_ptr<Native> native_;
};

// The number of processors the program may run on; at least 1.
int ProcessorCount();

}  // namespace ozr
