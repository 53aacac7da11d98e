// A dialog that records what opening an archive puts into it, in order, for exact comparisons.
#pragma once

#include <string>
#include <vector>

#include "archive/archive_view.h"

namespace ozr::testing {

class RecordingView : public ArchiveView {
 public:
  void ShowDestinationFolder(const std::u16string& folder) override {
    calls.push_back(u"folder " + folder);
  }
  void ShowComment(const std::u16string& text) override { calls.push_back(u"comment " + text); }
  void ShowTitle(const std::u16string& text) override { calls.push_back(u"title " + text); }
  void ShowSummary(const std::u16string& line) override { calls.push_back(u"summary " + line); }
  void ShowLevel(const std::u16string& line) override { calls.push_back(u"level " + line); }
  void AppendEntryLine(const std::u16string& line) override {
    items.push_back(line);
    calls.push_back(u"item " + line);
  }
  void DisablePassword() override { calls.push_back(u"password disabled"); }
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
