// The terminal as the tool sees it: two output streams, line input, and the platform facts the
// commands need (Ctrl+C, where the tool's own executable lies). POSIX and Windows implement it in
// their own files; tests use a recording fake.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

namespace ozr::cli {

enum class Stream { kInput, kOutput, kError };

class Console {
 public:
  virtual ~Console() = default;
  // Writes text; "\n" ends a line (a terminal gets the platform's own line end). Unicode reaches a
  // Windows console unchanged; everything else receives UTF-8.
  virtual void Write(Stream stream, std::u16string_view text) = 0;
  // True when the stream is an interactive terminal (a console window on Windows).
  virtual bool IsTerminal(Stream stream) = 0;
  // Reads one line from the input without its line end. False at the end of the input or when
  // Ctrl+C interrupted the read.
  virtual bool ReadLine(std::u16string& line) = 0;
  // Shows `prompt` on stderr and reads a line like ReadLine, with the terminal's echo off from
  // before the prompt appears, so that nothing typed after it is ever echoed.
  virtual bool ReadSecret(std::u16string_view prompt, std::u16string& line) = 0;
};

std::unique_ptr<Console> NativeConsole();

// From now on Ctrl+C (and SIGTERM, SIGHUP on POSIX; Ctrl+Break and closing the console window on
// Windows) raises the returned flag instead of ending the program; a second one ends it as usual.
const std::atomic<bool>& CatchInterrupt();

// The folder of the running executable, with its final separator; empty when unknown.
std::u16string ExecutableFolder();

}  // namespace ozr::cli
