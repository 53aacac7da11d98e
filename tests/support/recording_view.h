// A dialog that records what opening an archive and the start-up choice put into it, in order,
// for exact comparisons.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/open_startup_archive.h"
#include "base/utf.h"

namespace ozr::testing {

class RecordingView : public StartupView {
 public:
  void ShowDestinationFolder(const std::u16string& folder) override { Add(u"folder " + folder); }
  void ShowComment(const std::u16string& text) override { Add(u"comment " + text); }
  void ShowTitle(const std::u16string& text) override { Add(u"title " + text); }
  void ShowSummary(const std::u16string& line) override { Add(u"summary " + line); }
  void ShowLevel(const std::u16string& line) override { Add(u"level " + line); }
  void AppendEntryLine(const std::u16string& line) override {
    items.push_back(line);
    Add(u"item " + line);
  }
  void DisablePassword() override { Add(u"password disabled"); }
  // "message", the caption, the flags, "free" for a box the dialog does not own, and the text.
  MessageAnswer ShowMessage(const Message& message) override {
    messages.push_back(message);
    Add(u"message " + message.caption + u" " + Number(message.flags) +
        (message.ownedByDialog ? u" " : u" free ") + message.text);
    return kIdOk;
  }
  void EndDialog(int result) override {
    ended = true;
    Add(u"end " + Number(static_cast<unsigned>(result)));
  }
  void ClearEntryList() override {
    items.clear();
    Add(u"clear");
  }
  bool ChooseArchive(std::u16string& path) override {
    Add(u"choose");
    if (choice) path = *choice;
    return choice.has_value();
  }
  void LimitPasswordLength(uint32_t units) override { Add(u"limit " + Number(units)); }
  void FitListExtent() override { Add(u"fit"); }

  std::optional<std::u16string> choice;  // the open-file dialog's answer; nothing: cancelled
  std::vector<std::u16string> calls;
  std::vector<std::u16string> items;
  std::vector<Message> messages;
  bool ended = false;

 private:
  void Add(std::u16string call) { calls.push_back(std::move(call)); }
  static std::u16string Number(unsigned n) { return FromUtf8(std::to_string(n)); }
};

}  // namespace ozr::testing
