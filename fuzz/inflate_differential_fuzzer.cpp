// Fuzz target: zlib's uncompress against every inflater of the build on the same stream, output
// limit 128000 and bytes after the stream allowed: they agree on every verdict and every byte,
// alone and paired. Input: a mode byte, then the stream. Mode bit 0 makes the zlib header check
// match and bit 1 writes the right Adler-32 value behind the deflate data (as libdeflate decodes
// it), so that mutated streams still reach the end.
#include <libdeflate.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "codec/inflate.h"
#include "fuzz/fuzz_check.h"

using ozr::fuzz::Check;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint32_t kLimit = 128000;

void FixCheckValue(Bytes& stream) {
  static libdeflate_decompressor* const decompressor = libdeflate_alloc_decompressor();
  Bytes out(kLimit);
  size_t consumed = 0;
  size_t produced = 0;
  if (stream.size() < 6 ||
      libdeflate_deflate_decompress_ex(decompressor, stream.data() + 2, stream.size() - 2,
                                       out.data(), out.size(), &consumed,
                                       &produced) != LIBDEFLATE_SUCCESS ||
      stream.size() - 2 - consumed < 4) {
    return;
  }
  const uLong adler = adler32(1, out.data(), static_cast<uInt>(produced));
  for (size_t i = 0; i < 4; ++i) stream[2 + consumed + i] = uint8_t(adler >> (24 - 8 * i));
}

// A valid stream of many small blocks (one every 128 symbols), to pair the fuzzed one with.
Bytes ManyBlockStream() {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += std::to_string(i * 7919 % 1000) + " ";
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, 15, 1, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, text.size()));
  z.next_in = reinterpret_cast<Bytef*>(text.data());
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > kLimit + 64) return 0;
  Bytes stream(data + 1, data + size);
  if ((data[0] & 1) && stream.size() >= 2) {
    stream[1] =
        uint8_t((stream[1] & 0xE0u) | (31u - (stream[0] * 256u + (stream[1] & 0xE0u)) % 31u) % 31u);
  }
  if (data[0] & 2) FixCheckValue(stream);
  const auto length = static_cast<uint32_t>(stream.size());
  Bytes reference(kLimit);
  uLongf referenceLength = kLimit;
  const bool accepted =
      uncompress(reference.data(), &referenceLength, stream.data(), length) == Z_OK;
  reference.resize(referenceLength);
  const auto agrees = [&](bool ok, const uint8_t* out, uint32_t produced) {
    return ok == accepted && (!ok || Bytes(out, out + produced) == reference);
  };
  // Each writes into a buffer of exactly the limit, as the ChunkBuffers are.
  for (const auto inflate : {ozr::InflateWithZlib, ozr::InflateWithLibdeflate, ozr::InflateFrame}) {
    Bytes out(kLimit, 0xA5);
    uint32_t produced = kLimit;
    const bool ok = inflate(stream.data(), length, out.data(), produced);
    Check(agrees(ok, out.data(), produced), "every inflater gives uncompress's verdict and bytes");
  }
  // Paired with itself and with a valid stream on either side, each stream keeps its own result.
  static const Bytes other = ManyBlockStream();
  const Bytes* sides[][2] = {{&stream, &stream}, {&stream, &other}, {&other, &stream}};
  for (const auto& side : sides) {
    Bytes out[2] = {Bytes(kLimit), Bytes(kLimit)};
    ozr::InflateTask tasks[2];
    for (int i = 0; i < 2; ++i) {
      tasks[i] = {side[i]->data(), uint32_t(side[i]->size()), out[i].data(), kLimit, false};
    }
    ozr::InflateFramePair(tasks[0], tasks[1]);
    for (int i = 0; i < 2; ++i) {
      Check(side[i] == &other ? tasks[i].ok
                              : agrees(tasks[i].ok, out[i].data(), tasks[i].outputLength),
            "paired inflation keeps each stream's verdict and bytes");
    }
  }
  return 0;
}
