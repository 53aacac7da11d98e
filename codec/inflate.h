// Inflation of one frame's zlib stream into a ChunkBuffer, with two decoders that accept exactly
// the same streams and produce the same bytes: zlib's uncompress, the reference, and libdeflate's
// zlib decoder, about two and a half times faster, which every build uses.
#pragma once

#include <cstdint>

namespace ozr {

// Decodes one complete zlib stream (RFC 1950) at the start of `input`; bytes after its end are
// ignored. On success `outputLength` (capacity on entry) holds the inflated count. False for a
// damaged or incomplete stream, or one that needs more than the capacity. The decoder may write
// anywhere inside the capacity, also on failure. Uses libdeflate's decoder.
bool InflateFrame(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                  uint32_t& outputLength);

// One frame's inflation as InflateFrame does it: `outputLength` is the capacity before, the
// inflated count after a success; `ok` tells the verdict.
struct InflateTask {
  const uint8_t* input = nullptr;
  uint32_t inputLength = 0;
  uint8_t* output = nullptr;
  uint32_t outputLength = 0;
  bool ok = false;
};

// Two frames at once: the verdicts and bytes of two InflateFrame calls, with the rules walks of
// both run in step, which takes little more time than one.
void InflateFramePair(InflateTask& a, InflateTask& b);

// The same with zlib's uncompress.
bool InflateWithZlib(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                     uint32_t& outputLength);

// The same with libdeflate, held to zlib's rules where libdeflate alone would be lenient.
bool InflateWithLibdeflate(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                           uint32_t& outputLength);

}  // namespace ozr
