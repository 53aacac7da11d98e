// Which entry names may be written: a name must never place a file or folder outside the
// destination folder, whatever the archive says.
#pragma once

#include <string_view>

#include "platform/file_system.h"

namespace ozr {

// False for a name with a ".." level, a ":" (drive or stream prefix), a "/" (a separator to
// Windows and an absolute path to POSIX); under Windows rules also for a level made only of dots
// and spaces with two dots or more (which Windows may read as "..") and for a reserved device
// name (CON, PRN, AUX, NUL, COM1–COM9, LPT1–LPT9, CONIN$, CONOUT$, with or without an extension).
// A name that begins with "\" is allowed: it is joined under the folder like any other.
bool IsSafeEntryName(std::u16string_view name, NameRules rules);

}  // namespace ozr
