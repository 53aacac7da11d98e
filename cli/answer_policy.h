// Which of the dialog's questions the tool answers by itself, and how, so that a script never
// waits for a keyboard and a user at a terminal is asked exactly what the dialog would ask.
#pragma once

#include <optional>
#include <string_view>

#include "base/message.h"
#include "cli/arguments.h"

namespace ozr::cli {

// The answer to the question with code `question` given without asking, or nothing when the user
// is to be asked. `canAsk` is true when a terminal is attached and Ctrl+C has not been pressed.
// Without a terminal an existing file (kFileExists) is kept, a question offering to stop stops,
// except for an unsafe name (kUnsafeEntryName), which skips the entry.
std::optional<MessageAnswer> AutomaticAnswer(MessageCode question, OverwriteMode overwrite,
                                             bool canAsk);

// Whether an answer given without asking is worth a line on stderr: everything but a replaced
// file, which the user asked for with --overwrite yes.
bool ReportAutomaticAnswer(MessageCode question, MessageAnswer answer);

// A typed answer: "д", "да", "y", "yes" or "н", "нет", "n", "no", in any case and with blanks
// around it; nothing for anything else.
std::optional<MessageAnswer> ParseAnswer(std::u16string_view typed);

}  // namespace ozr::cli
