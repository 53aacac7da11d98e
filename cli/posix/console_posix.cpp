// The terminal through POSIX calls: UTF-8 on both output streams, termios for the silent password
// prompt, a signal handler for Ctrl+C, /proc/self/exe for the tool's own folder.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "base/utf.h"
#include "cli/console.h"

namespace ozr::cli {

namespace {

std::atomic<bool> interrupted{false};
// Written by the signal handler. Any thread may take the signal (the job decodes on worker
// threads), so a read waiting on the main thread learns of it here rather than from EINTR.
int wakeUp[2] = {-1, -1};

void OnInterrupt(int) {
  interrupted.store(true);
  if (wakeUp[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeUp[1], &byte, 1);
  }
}

// Turns the terminal's echo off for its lifetime.
class EchoOff {
 public:
  EchoOff() {
    if (::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  termios saved_{};
  bool active_ = false;
};

class PosixConsole final : public Console {
 public:
  void Write(Stream stream, std::u16string_view text) override {
    const std::string bytes = ToUtf8(text);
    if (stream == Stream::kError) {
      std::fflush(stdout);  // what was printed before a message stays before it
      std::fwrite(bytes.data(), 1, bytes.size(), stderr);
      std::fflush(stderr);
    } else {
      std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    }
  }

  bool IsTerminal(Stream stream) override {
    const int fd = stream == Stream::kInput    ? STDIN_FILENO
                   : stream == Stream::kOutput ? STDOUT_FILENO
                                               : STDERR_FILENO;
    return ::isatty(fd) == 1;
  }

  // Byte by byte, so that nothing beyond the line is taken from the input; Ctrl+C ends the wait.
  bool ReadLine(std::u16string& line) override {
    std::fflush(stdout);
    std::string bytes;
    for (;;) {
      pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {wakeUp[0], POLLIN, 0}};
      const int ready = ::poll(waits, wakeUp[0] >= 0 ? 2 : 1, -1);
      if (interrupted.load()) return false;
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) return false;
      char c = 0;
      const ssize_t n = ::read(STDIN_FILENO, &c, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      if (c == '\n') break;
      bytes += c;
    }
    if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
    line = FromUtf8(bytes);
    return true;
  }

  bool ReadSecret(std::u16string_view prompt, std::u16string& line) override {
    bool read = false;
    {
      EchoOff echoOff;
      Write(Stream::kError, prompt);
      read = ReadLine(line);
    }
    Write(Stream::kError, u"\n");  // the Enter the user typed was not echoed
    return read;
  }
};

}  // namespace

std::unique_ptr<Console> NativeConsole() { return std::make_unique<PosixConsole>(); }

const std::atomic<bool>& CatchInterrupt() {
  if (wakeUp[0] < 0 && ::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0) wakeUp[0] = wakeUp[1] = -1;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  return interrupted;
}

std::u16string ExecutableFolder() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<size_t>(n) >= path.size()) return {};
  path.resize(static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::u16string() : FromUtf8(path.substr(0, slash + 1));
}

}  // namespace ozr::cli
