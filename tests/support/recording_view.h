// A dialog that records what opening an archive puts into it, in order, for exact comparisons.
#pragma once

#include <string>
#include <vector>

#include "archive/archive_view.h"

namespace ozr::testing {

class RecordingView : public ArchiveView {
 public:
  void SetControlText(ControlId control, const std::u16string& text) override {
    calls.push_back(u"text " + Id(control) + u" " + text);
  }
  void SetCaption(const std::u16string& text) override { calls.push_back(u"caption " + text); }
  void AppendListItem(const std::u16string& text) override {
    items.push_back(text);
    calls.push_back(u"item " + text);
  }
  void DisableControl(ControlId control) override { calls.push_back(u"disable " + Id(control)); }
  MessageAnswer ShowMessage(const Message& message) override {
    messages.push_back(message);
    calls.push_back(u"message " + message.text);
    return kIdOk;
  }
  void EndDialog(int result) override {
    ended = true;
    calls.push_back(u"end " + Id(result));
  }

  std::vector<std::u16string> calls;
  std::vector<std::u16string> items;
  std::vector<Message> messages;
  bool ended = false;

 private:
  static std::u16string Id(int id) {
    const std::string digits = std::to_string(id);
    return std::u16string(digits.begin(), digits.end());
  }
};

}  // namespace ozr::testing
