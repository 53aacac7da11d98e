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

}  // namespace

bool InflateWithLibdeflate(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                           uint32_t& outputLength) {
  libdeflate_decompressor* decompressor = ThreadDecompressor();
  if (decompressor == nullptr) return false;  // out of memory, as uncompress reports it too
  size_t consumed = 0;
  size_t produced = 0;
  // The _ex form reports how much input the stream took, which allows bytes behind it.
  if (libdeflate_zlib_decompress_ex(decompressor, input, inputLength, output, outputLength,
                                    &consumed, &produced) != LIBDEFLATE_SUCCESS) {
    return false;
  }
  if (!MeetsZlibInflateRules(input + kZlibHeaderSize,
                             consumed - kZlibHeaderSize - kZlibCheckSize)) {
    return false;
  }
  outputLength = static_cast<uint32_t>(produced);
  return true;
}

}  // namespace ozr
