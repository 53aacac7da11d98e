// The failure of one unit of work (opening, key making, one chunk), carrying the exact text to
// show.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace ozr {

// An empty text is a silent stop: the user's abort or a cancelled choice.
class Failure : public std::exception {
 public:
  explicit Failure(std::u16string text) : text_(std::move(text)) {}

  const std::u16string& text() const noexcept { return text_; }
  bool silent() const noexcept { return text_.empty(); }
  const char* what() const noexcept override { return "ozr::Failure"; }

 private:
  std::u16string text_;
};

}  // namespace ozr
