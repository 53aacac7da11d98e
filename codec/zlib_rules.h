// The rules by which zlib's inflate refuses deflate data that libdeflate's decoder accepts, checked
// on their own so that both decoders accept exactly the same frames.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ozr {

// Walks the blocks of raw deflate data (the part of a zlib stream between its 2-byte header and
// its check value) and tells whether zlib's inflate would decode them. Meant for data libdeflate
// has decoded already, so it checks only what libdeflate lets through:
// - a dynamic block declaring more than 286 literal/length or 30 distance codes;
// - a code-length repeat running past the declared codes;
// - a code-length code that is not complete;
// - literal/length symbols 286 and 287, distance symbols 30 and 31 (fixed blocks);
// - the unused codeword "1" of a one-symbol code, and any distance taken from an empty code.
// The last block is walked only when its codes allow such symbols (a fixed block, or an incomplete
// code): otherwise the decoder before has seen all there is. False also when the walk runs past
// the end of the data.
bool MeetsZlibInflateRules(const uint8_t* data, size_t length);

// The same for two streams at once, walked in step: the verdicts of two calls, in about the time
// of one on a processor that would otherwise wait for each table read.
void MeetsZlibInflateRules(const uint8_t* dataA, size_t lengthA, const uint8_t* dataB,
                           size_t lengthB, bool& meetsA, bool& meetsB);

}  // namespace ozr
