// The dialog as opening an archive fills it. Called on the dialog's thread.
#pragma once

#include <string>

#include "base/control_ids.h"
#include "base/message.h"

namespace ozr {

class ArchiveView {
 public:
  virtual ~ArchiveView() = default;
  virtual void SetControlText(ControlId control, const std::u16string& text) = 0;
  virtual void SetCaption(const std::u16string& text) = 0;
  // Appends one item at the end of the entry list, which is never sorted.
  virtual void AppendListItem(const std::u16string& text) = 0;
  virtual void DisableControl(ControlId control) = 0;
  // Shows a modal message box and returns the answer.
  virtual MessageAnswer ShowMessage(const Message& message) = 0;
  // Ends the dialog with `result`; it is not shown (again) afterwards.
  virtual void EndDialog(int result) = 0;
};

}  // namespace ozr
