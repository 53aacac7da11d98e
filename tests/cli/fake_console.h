// A console that records what the tool writes and answers reads from a script of lines.
#pragma once

#include <deque>
#include <string>

#include "cli/console.h"

namespace ozr::testing {

class FakeConsole : public cli::Console {
 public:
  void Write(cli::Stream stream, std::u16string_view text) override {
    (stream == cli::Stream::kOutput ? out : err).append(text);
  }
  bool IsTerminal(cli::Stream) override { return false; }
  bool ReadLine(std::u16string& line) override {
    if (!Next(line)) return false;
    err += u"<" + line + u">\n";  // what the user typed, as a terminal would echo it
    return true;
  }
  bool ReadSecret(std::u16string_view prompt, std::u16string& line) override {
    err.append(prompt);
    return Next(line);
  }

  std::u16string out;
  std::u16string err;
  std::deque<std::u16string> input;

 private:
  bool Next(std::u16string& line) {
    if (input.empty()) return false;
    line = input.front();
    input.pop_front();
    return true;
  }
};

}  // namespace ozr::testing
