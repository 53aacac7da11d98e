// A dialog for the extraction job that records every call in order and answers questions from a
// script, so tests can compare the exact conversation of a job.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/utf.h"
#include "extract/extraction_dialog.h"

namespace ozr::testing {

class RecordingDialog : public ExtractionDialog {
 public:
  std::u16string ReadPassword() override {
    calls.push_back("password");
    return password;
  }
  std::vector<int32_t> SelectedIndices() override {
    calls.push_back("selection");
    return selection;
  }
  void SetProgressRange(ControlId bar, uint64_t maximum) override {
    calls.push_back("range " + std::to_string(bar) + " " + std::to_string(maximum));
  }
  void SetProgressPosition(ControlId bar, uint64_t position) override {
    calls.push_back("pos " + std::to_string(bar) + " " + std::to_string(position));
    if (onPosition) onPosition(bar, position);
  }
  MessageAnswer ShowMessage(const Message& message) override {
    // The file system's reason, where the message carries one, follows in brackets.
    calls.push_back("message " + ToUtf8(message.caption) + " " + std::to_string(message.flags) +
                    " " + ToUtf8(message.text) +
                    (message.detail.empty() ? "" : " [" + ToUtf8(message.detail) + "]"));
    if ((message.flags & kMbYesNo) == 0) return kIdOk;
    if (answers.empty()) {
      calls.push_back("unanswered");
      return kIdNo;
    }
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void SetBusy(bool busy) override { calls.push_back(busy ? "busy 1" : "busy 0"); }
  void ResetProgress() override { calls.push_back("reset"); }

  // Calls that are not progress-bar positions: the conversation without the per-frame noise.
  std::vector<std::string> Conversation() const {
    std::vector<std::string> out;
    for (const auto& c : calls) {
      if (c.rfind("pos ", 0) != 0 && c.rfind("range ", 0) != 0) out.push_back(c);
    }
    return out;
  }

  std::u16string password;
  std::vector<int32_t> selection;
  std::deque<MessageAnswer> answers;
  std::function<void(ControlId, uint64_t)> onPosition;
  std::vector<std::string> calls;
};

}  // namespace ozr::testing
