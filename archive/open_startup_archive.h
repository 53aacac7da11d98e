// The start-up choice of the archive: the program's own file first, then one the user picks.
#pragma once

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
  virtual void LimitPasswordLength(int units) = 0;
  // Gives the entry list a horizontal extent that fits its widest item and shows its last items.
  virtual void FitListExtent() = 0;
};

// The most UTF-16 units a password may have.
inline constexpr int kMaxPasswordLength = 16;

// Opens the archive appended to the program file at `ownPath`; when that fails, the failure is
// dropped and the user chooses an archive instead. Returns true when that fallback failed (a
// cancelled choice, or a chosen file that is no valid archive) and the dialog was ended; false
// otherwise, also when a file could not be opened at all (opening then ended the dialog itself).
bool OpenStartupArchive(const std::u16string& ownPath, ArchiveSession& session, FileSystem& files,
                        StartupView& view);

}  // namespace ozr
