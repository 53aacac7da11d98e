// Inflation of one frame's zlib stream into a chunk buffer.
#pragma once

#include <cstdint>

namespace ozr {

// Decodes one complete zlib stream (RFC 1950) at the start of `input`; bytes after its end are
// ignored. On success `outputLength` (capacity on entry) holds the inflated count. False for a
// damaged or incomplete stream, or one that needs more than the capacity.
bool InflateChunk(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                  uint32_t& outputLength);

}  // namespace ozr
