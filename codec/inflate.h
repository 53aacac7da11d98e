// Inflation of one frame's zlib stream into a ChunkBuffer, with two decoders that accept exactly
// the same streams and produce the same bytes: zlib's uncompress, the reference, and libdeflate's
// zlib decoder, about two and a half times faster, where the build has it.
#pragma once

#include <cstdint>

namespace ozr {

// Decodes one complete zlib stream (RFC 1950) at the start of `input`; bytes after its end are
// ignored. On success `outputLength` (capacity on entry) holds the inflated count. False for a
// damaged or incomplete stream, or one that needs more than the capacity. The decoder may write
// anywhere inside the capacity, also on failure. Uses the build's default decoder.
bool InflateFrame(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                  uint32_t& outputLength);

// The same with zlib's uncompress.
bool InflateWithZlib(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                     uint32_t& outputLength);

#if OZR_HAVE_LIBDEFLATE
// The same with libdeflate, held to zlib's rules where libdeflate alone would be lenient.
bool InflateWithLibdeflate(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                           uint32_t& outputLength);
#endif

}  // namespace ozr
