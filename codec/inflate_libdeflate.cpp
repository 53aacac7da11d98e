// Inflation with libdeflate's zlib decoder. libdeflate checks the zlib header (method, window
// size, no preset dictionary, header check), the stored-block lengths, every distance, the output
// size and the Adler-32 value exactly as zlib does; what it lets through beyond zlib (a handful of
// malformed Huffman headers and symbols) is refused by a walk over the deflate blocks.
#include <libdeflate.h>

#include <memory>

#include "codec/inflate.h"
#include "codec/zlib_rules.h"

namespace ozr {

namespace {

constexpr size_t kZlibHeaderSize = 2;
constexpr size_t kZlibCheckSize = 4;

struct DecompressorDeleter {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// One decompressor per thread, made at the thread's first frame and kept: no allocation per frame.
libdeflate_decompressor* ThreadDecompressor() {
  thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
      libdeflate_alloc_decompressor());
  return decompressor.get();
}

// libdeflate's decoding alone; `consumed` is the length of the zlib stream.
bool DecodeWithLibdeflate(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                          uint32_t& outputLength, size_t& consumed) {
  libdeflate_decompressor* decompressor = ThreadDecompressor();
  if (decompressor == nullptr) return false;  // out of memory, as uncompress reports it too
  size_t produced = 0;
  // The _ex form reports how much input the stream took, which allows bytes behind it.
  if (libdeflate_zlib_decompress_ex(decompressor, input, inputLength, output, outputLength,
                                    &consumed, &produced) != LIBDEFLATE_SUCCESS) {
    return false;
  }
  outputLength = static_cast<uint32_t>(produced);
  return true;
}

// The deflate data of a stream libdeflate took: between the zlib header and the check value.
const uint8_t* DeflateData(const uint8_t* input) { return input + kZlibHeaderSize; }
size_t DeflateLength(size_t consumed) { return consumed - kZlibHeaderSize - kZlibCheckSize; }

}  // namespace

bool InflateWithLibdeflate(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                           uint32_t& outputLength) {
  uint32_t produced = outputLength;
  size_t consumed = 0;
  if (!DecodeWithLibdeflate(input, inputLength, output, produced, consumed) ||
      !MeetsZlibInflateRules(DeflateData(input), DeflateLength(consumed))) {
    return false;
  }
  outputLength = produced;
  return true;
}

bool InflateFrame(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                  uint32_t& outputLength) {
  return InflateWithLibdeflate(input, inputLength, output, outputLength);
}

void InflateFramePair(InflateTask& a, InflateTask& b) {
  uint32_t producedA = a.outputLength;
  uint32_t producedB = b.outputLength;
  size_t consumedA = 0;
  size_t consumedB = 0;
  const bool decodedA =
      DecodeWithLibdeflate(a.input, a.inputLength, a.output, producedA, consumedA);
  const bool decodedB =
      DecodeWithLibdeflate(b.input, b.inputLength, b.output, producedB, consumedB);
  if (decodedA && decodedB) {
    MeetsZlibInflateRules(DeflateData(a.input), DeflateLength(consumedA), DeflateData(b.input),
                          DeflateLength(consumedB), a.ok, b.ok);
  } else {
    a.ok = decodedA && MeetsZlibInflateRules(DeflateData(a.input), DeflateLength(consumedA));
    b.ok = decodedB && MeetsZlibInflateRules(DeflateData(b.input), DeflateLength(consumedB));
  }
  if (a.ok) a.outputLength = producedA;
  if (b.ok) b.outputLength = producedB;
}

}  // namespace ozr
