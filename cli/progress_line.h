// The progress bar on stderr: one line redrawn in place, only when its text changes, and wiped
// before anything else is written to the terminal.
#pragma once

#include <cstdint>
#include <string>

#include "cli/console.h"

namespace ozr::cli {

// "[2/5] [##########..........]  50%": the entry counter (left out when `entries` is 0) and a bar
// of `position` out of `range`; a position beyond the range counts as full, an empty range as 0.
std::u16string FormatProgress(uint64_t entry, uint64_t entries, uint64_t position, uint64_t range);

class ProgressLine {
 public:
  // A disabled line writes nothing at all.
  ProgressLine(Console& console, bool enabled) : console_(console), enabled_(enabled) {}
  ~ProgressLine() { Clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Show(const std::u16string& text);
  // Leaves the cursor at the start of an empty line.
  void Clear();

 private:
  Console& console_;
  const bool enabled_;
  std::u16string shown_;
};

}  // namespace ozr::cli
