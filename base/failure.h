// The failure of one unit of work (opening, key making, one frame, writing an archive), carrying
// the code and the exact text of its message.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "base/message.h"

namespace ozr {

class Failure : public std::exception {
 public:
  // The message of `code` with `argument` at its "%s"; `detail` is the operating system's reason
  // when a file operation failed.
  explicit Failure(MessageCode code, std::u16string_view argument = {}, std::u16string detail = {})
      : code_(code), text_(TextOf(code, argument)), detail_(std::move(detail)) {}

  // The user stopped the work; nothing is shown.
  static Failure Aborted() { return Failure(MessageCode::kAborted); }
  // The user cancelled the choice of an archive; nothing is shown.
  static Failure ChoiceCancelled() { return Failure(MessageCode::kChoiceCancelled); }
  // A message of the command-line tool's own.
  static Failure OfTool(std::u16string text, std::u16string detail = {}) {
    Failure failure(MessageCode::kToolMessage, {}, std::move(detail));
    failure.text_ = std::move(text);
    return failure;
  }

  MessageCode code() const noexcept { return code_; }
  const std::u16string& text() const noexcept { return text_; }
  const std::u16string& detail() const noexcept { return detail_; }
  // The stops that show nothing: the user's abort and a cancelled choice.
  bool silent() const noexcept {
    return code_ == MessageCode::kAborted || code_ == MessageCode::kChoiceCancelled;
  }
  const char* what() const noexcept override { return "ozr::Failure"; }

  // The failure's message in a box with `caption` and `flags`.
  Message ToMessage(std::u16string caption, unsigned flags) const {
    Message message(code_, std::move(caption), flags);
    message.text = text_;
    message.detail = detail_;
    return message;
  }

 private:
  MessageCode code_;
  std::u16string text_;
  std::u16string detail_;
};

}  // namespace ozr
