// The start-up choice of the archive: the program's own file first, then one the user picks.
#pragma once

#include <cstdint>
#include <string>

#include "archive/archive_view.h"
#include "archive/session.h"
#include "platform/file_system.h"

namespace ozr {

// The dialog as the start-up sequence uses it, besides what opening an archive fills.
// Called on the dialog's thread during its initialisation.
class StartupView : public ArchiveView {
 public:
  virtual void ClearEntryList() = 0;
  // Shows the open-file dialog. True when the user chose an existing file, whose full path is
  // then in `path`; false when the user cancelled or the dialog failed.
  virtual bool ChooseArchive(std::u16string& path) = 0;
  virtual void LimitPasswordLength(uint32_t units) = 0;
  // Gives the entry list a horizontal extent that fits its widest item and shows its last items.
  virtual void FitListExtent() = 0;
};

// How the start-up choice ended.
enum class StartupResult {
  kOpened,       // an archive is open and the dialog shows it
  kOpenFailed,   // a file could not be opened at all; opening said so and ended the dialog
  kChoiceFailed  // the user cancelled the choice or chose no valid archive; the dialog was ended
};

// Opens the archive appended to the program file at `ownPath`; when that fails, the failure is
// dropped and the user chooses an archive instead.
StartupResult OpenStartupArchive(const std::u16string& ownPath, ArchiveSession& session,
                                 FileSystem& files, StartupView& view);

}  // namespace ozr
