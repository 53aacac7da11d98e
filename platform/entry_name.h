// Which entry names may be written: a name must never place a file or folder outside the
// destination folder nor disguise what it is, whatever the archive says.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace ozr {

// False for a name with a ".." level, a ":" (drive or stream prefix), a "/" (a separator to
// Windows and an absolute path to POSIX) or an explicit directional formatting character
// (U+202A–U+202E, U+2066–U+2069), which would make the name read as another; under Windows rules
// also for a level made only of dots and spaces (Windows trims it to nothing, or reads it as
// "..") and for a reserved device name (CON, PRN, AUX, NUL, COM1–COM9, LPT1–LPT9, CONIN$,
// CONOUT$, with or without an extension). A name that begins with "\" is allowed: it is joined
// under the folder like any other.
bool IsSafeEntryName(std::u16string_view name, NameRules rules);

// True when the unpacker writes the name as it is on every platform: safe under Windows rules
// (which refuse all that POSIX rules refuse) and with no level ending in a dot or a space.
bool IsPortableEntryName(std::u16string_view name);

// The path of an entry name inside `folder` (which ends with "\") as Windows' own path handling
// would make it: every level without its trailing dots and spaces. Paths in the "\\?\" form skip
// that handling, and would otherwise make files and folders that Windows programs cannot open.
std::u16string WindowsEntryPath(std::u16string_view folder, std::u16string_view entryName);

}  // namespace ozr
