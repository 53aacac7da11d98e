// The extraction job on a thread of its own, talking to the dialog through its window.
#pragma once

#include "ui/win32/unpacker_state.h"

namespace ozr::win32 {

// Starts one extraction job of the open archive into state.share.destinationFolder and returns at
// once; false when the thread could not be started. The dialog must be in the busy state.
bool StartExtractionWorker(UnpackerState& state);

}  // namespace ozr::win32
