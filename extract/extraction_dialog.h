// The dialog as the extraction job sees it. The job calls it from its own thread; an
// implementation carries each call out on the user-interface thread (the Windows shell by
// sending messages to the controls) and returns when it is done.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/control_ids.h"
#include "base/message.h"

namespace ozr {

class ExtractionDialog {
 public:
  virtual ~ExtractionDialog() = default;
  // The password as typed, at most kMaxPasswordLength UTF-16 units.
  virtual std::u16string ReadPassword() = 0;
  // The selected list item indices (which are catalogue indices), ascending.
  virtual std::vector<int32_t> SelectedIndices() = 0;
  // Sets the range of a progress bar (kProgressEntries or kProgressBytes) to 0..maximum.
  virtual void SetProgressRange(ControlId bar, uint64_t maximum) = 0;
  virtual void SetProgressPosition(ControlId bar, uint64_t position) = 0;
  // Shows a modal message box owned by the dialog; returns the answer (kIdYes, kIdNo, kIdOk).
  virtual MessageAnswer ShowMessage(const Message& message) = 0;
  // Sets ExtractionBusy to `busy`, then switches the controls: busy disables the password,
  // browse, list, extract and select-all controls and enables abort; idle does the reverse.
  virtual void SetBusy(bool busy) = 0;
  // Both progress bars (entries, then bytes) to range 0..1 and position 0.
  virtual void ResetProgress() = 0;
};

}  // namespace ozr
