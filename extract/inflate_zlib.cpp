// Inflation with zlib's uncompress, the reference decoder of the format, and the choice of the
// build's default decoder.
#include <zlib.h>

#include "extract/inflate.h"

namespace ozr {

bool InflateWithZlib(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                     uint32_t& outputLength) {
  uLongf produced = outputLength;
  if (uncompress(output, &produced, input, inputLength) != Z_OK) return false;
  outputLength = static_cast<uint32_t>(produced);
  return true;
}

bool InflateChunk(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                  uint32_t& outputLength) {
#if OZR_INFLATE_WITH_LIBDEFLATE
  return InflateWithLibdeflate(input, inputLength, output, outputLength);
#else
  return InflateWithZlib(input, inputLength, output, outputLength);
#endif
}

}  // namespace ozr
