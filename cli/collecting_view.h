// The texts opening an archive gives the dialog, kept for `ozr list`, and the one way every
// command opens its archive.
#pragma once

#include <string>
#include <vector>

#include "archive/archive_view.h"
#include "archive/session.h"
#include "cli/console.h"
#include "platform/file_system.h"

namespace ozr::cli {

class CollectingView final : public ArchiveView {
 public:
  // The commands choose their own destination folder.
  void ShowDestinationFolder(const std::u16string&) override {}
  void ShowComment(const std::u16string& text) override { comment = text; }
  void ShowTitle(const std::u16string& text) override { title = text; }
  void ShowSummary(const std::u16string& line) override { summary = line; }
  void ShowLevel(const std::u16string& line) override { level = line; }
  void AppendEntryLine(const std::u16string& line) override { items.push_back(line); }
  void DisablePassword() override {}
  MessageAnswer ShowMessage(const Message& message) override {
    messages.push_back(message);
    return kIdOk;
  }
  void EndDialog(int) override {}

  std::u16string title;
  std::u16string comment;
  std::u16string summary;
  std::u16string level;
  std::vector<std::u16string> items;
  std::vector<Message> messages;  // what opening showed in message boxes
};

// Opens the archive at `path` (a native path) into `session`. False, with the message written to
// stderr, when the file cannot be opened or is no sound archive.
bool OpenForCommand(const std::u16string& path, ArchiveSession& session, FileSystem& files,
                    CollectingView& view, Console& console);

}  // namespace ozr::cli
