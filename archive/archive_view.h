// The dialog as opening an archive fills it. Called on the dialog's thread. The archive's texts
// (title, comment, names in entry lines) arrive as they may be shown (base/shown_text.h).
#pragma once

#include <string>

#include "base/message.h"

namespace ozr {

class ArchiveView {
 public:
  virtual ~ArchiveView() = default;
  // The folder of the archive's file, ending with "\": where entries go unless the user says
  // otherwise.
  virtual void ShowDestinationFolder(const std::u16string& folder) = 0;
  virtual void ShowComment(const std::u16string& text) = 0;
  // The archive's title, which is the dialog's caption.
  virtual void ShowTitle(const std::u16string& text) = 0;
  // "В архиве файлов: …" and "Степень сжатия: …".
  virtual void ShowSummary(const std::u16string& line) = 0;
  virtual void ShowLevel(const std::u16string& line) = 0;
  // Appends one entry's line at the end of the entry list, which is never sorted.
  virtual void AppendEntryLine(const std::u16string& line) = 0;
  // The archive needs no password: the password field is disabled.
  virtual void DisablePassword() = 0;
  // Shows a modal message box and returns the answer.
  virtual MessageAnswer ShowMessage(const Message& message) = 0;
  // Ends the dialog with `result`; it is not shown (again) afterwards.
  virtual void EndDialog(int result) = 0;
};

// A view that shows nothing: opening for its verdict alone. A message is answered with OK.
class DiscardingView : public ArchiveView {
 public:
  void ShowDestinationFolder(const std::u16string&) override {}
  void ShowComment(const std::u16string&) override {}
  void ShowTitle(const std::u16string&) override {}
  void ShowSummary(const std::u16string&) override {}
  void ShowLevel(const std::u16string&) override {}
  void AppendEntryLine(const std::u16string&) override {}
  void DisablePassword() override {}
  MessageAnswer ShowMessage(const Message&) override { return kIdOk; }
  void EndDialog(int) override {}
};

}  // namespace ozr
