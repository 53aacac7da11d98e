// Drawing the bar with "\r": the new text overwrites the old one, and blanks cover what a
// shorter text leaves over.
#include "cli/progress_line.h"

#include <algorithm>
#include <string>

namespace ozr::cli {

namespace {

constexpr size_t kBarCells = 30;

std::u16string Decimal(uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string FormatProgress(uint64_t entry, uint64_t entries, uint64_t position, uint64_t range) {
  const double fraction =
      range == 0 ? 0.0 : std::min(1.0, static_cast<double>(position) / static_cast<double>(range));
  const auto cells = static_cast<size_t>(fraction * kBarCells);
  const auto percent = static_cast<uint64_t>(fraction * 100);
  // Appended piece by piece: g++ 12 misreads `literal + std::u16string&&` (a false -Wrestrict).
  std::u16string line;
  if (entries != 0)
    line.append(u"[").append(Decimal(entry)).append(u"/").append(Decimal(entries)).append(u"] ");
  line.append(u"[").append(cells, u'#').append(kBarCells - cells, u'.').append(u"] ");
  const std::u16string number = Decimal(percent);
  line.append(3 - number.size(), u' ').append(number).append(u"%");
  return line;
}

void ProgressLine::Show(const std::u16string& text) {
  if (!enabled_ || text == shown_) return;
  std::u16string line(u"\r");
  line.append(text);
  if (text.size() < shown_.size()) line.append(shown_.size() - text.size(), u' ');
  console_.Write(Stream::kError, line);
  shown_ = text;
}

void ProgressLine::Clear() {
  if (!enabled_ || shown_.empty()) return;
  std::u16string blank(u"\r");
  blank.append(shown_.size(), u' ').append(u"\r");
  console_.Write(Stream::kError, blank);
  shown_.clear();
}

}  // namespace ozr::cli
