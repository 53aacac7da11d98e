// What the dialog's buttons and close box do, apart from the window system: the checks before an
// extraction, the abort question, the refusal to close while busy, and the folder texts.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "base/message.h"
#include "platform/file_system.h"

namespace ozr {

// The commands the dialog acts on. Only a click on one of the four buttons is one.
enum class DialogCommand { kNone, kBrowse, kExtract, kAbort, kSelectAll };

// `command` is the whole command word (control ID in the low half, notification code in the high
// half), so Enter and Esc (IDOK, IDCANCEL) and every notification other than a click map to kNone.
DialogCommand CommandFor(uint32_t command);

// The dialog as its commands use it. Called on the dialog's thread.
class CommandView {
 public:
  virtual ~CommandView() = default;
  // The number of selected entry list items.
  virtual int SelectedCount() = 0;
  // The text of the destination folder field.
  virtual std::u16string DestinationText() = 0;
  // Shows a modal message box and returns the answer.
  virtual MessageAnswer ShowMessage(const Message& message) = 0;
  // Sets ExtractionBusy and switches the controls between the idle and busy states.
  virtual void SetBusy(bool busy) = 0;
  // Starts the extraction job on a new thread and returns at once; false when no thread could be
  // started.
  virtual bool StartWorker() = 0;
};

// The values the dialog thread shares with the extraction job's thread.
struct ExtractionShare {
  // Set while a job runs: from the extract command until the job's last SetBusy(false).
  std::atomic<bool> extractionBusy{false};
  // Raised by a confirmed abort, cleared before each job; the job tests it once per frame.
  std::atomic<bool> abortRequested{false};
  // The folder the job writes into, ending with "\"; written only while no job runs.
  std::u16string destinationFolder;
};

// The extract button: checks the selection and the destination folder, then switches to the busy
// state and starts the job. A job that cannot be started is reported and the dialog is idle again.
void ExtractCommand(CommandView& view, FileSystem& files, ExtractionShare& share);

// The abort button: asks for confirmation and raises abortRequested on Yes.
void AbortCommand(CommandView& view, ExtractionShare& share);

// The close box: true when the dialog may end; while a job runs, warns and returns false.
bool CloseCommand(CommandView& view, const ExtractionShare& share);

// `folder` with a final "\" (an empty text stays empty; "C:\" keeps its one backslash).
std::u16string WithFinalSeparator(std::u16string folder);

// The folder of a file path without its final "\"; empty when the path has no "\".
std::u16string FolderOf(const std::u16string& path);

// The open-file dialog's filter list: (text, pattern) pairs, each ended by a NUL, and a final NUL.
std::u16string ArchiveFilterList();

}  // namespace ozr
