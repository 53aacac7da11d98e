// The dialog's texts as opening an archive fills them, kept for `ozr list`, and the one way every
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
  void SetControlText(ControlId control, const std::u16string& text) override;
  void SetCaption(const std::u16string& text) override { title = text; }
  void AppendListItem(const std::u16string& text) override { items.push_back(text); }
  void DisableControl(ControlId) override {}
  MessageAnswer ShowMessage(const Message& message) override;
  void EndDialog(int) override {}

  std::u16string title;
  std::u16string comment;
  std::u16string summary;
  std::u16string level;
  std::vector<std::u16string> items;
  std::vector<std::u16string> messages;  // what opening showed in message boxes
};

// Opens the archive at `path` (a native path) into `session`. False, with the message written to
// stderr, when the file cannot be opened or is no sound archive.
bool OpenForCommand(const std::u16string& path, ArchiveSession& session, FileSystem& files,
                    CollectingView& view, Console& console);

}  // namespace ozr::cli
