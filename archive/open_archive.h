// Opening an archive: validating its regions, filling the session and the dialog's texts.
#pragma once

#include <string>

#include "archive/archive_view.h"
#include "archive/session.h"
#include "platform/file_system.h"

namespace ozr {

// Opens the archive at `path` (an archive of its own or the tail of a larger file).
// - The file cannot be opened: shows "Ошибка при открытии архива." (no owner), ends the dialog,
//   returns false.
// - A short read or a broken limit: throws Failure("Ошибка при чтении архива."), leaving what was
//   done so far (file open, earlier entries and their list items) for the caller to clear.
// - Success: returns true with `session` and the dialog filled.
// Once the file is open, the dialog's destination becomes the folder of `path`: up to its last
// "\", that included (none for a path without one).
// A signed executable (a sound certificate table at its end) is read as if the file ended where
// its archive ends, in front of the table; `session.file` then reads no further than that.
bool OpenArchive(const std::u16string& path, ArchiveSession& session, FileSystem& files,
                 ArchiveView& view);

}  // namespace ozr
