// Fuzz target: zlib's uncompress against both inflaters of the build on the same stream, output
// limit 128000 and bytes after the stream allowed. They must agree on every verdict and, when they
// accept, on every byte. Input: a mode byte, then the stream. Mode bit 0 first makes the zlib
// header check match and bit 1 writes the right Adler-32 value behind the deflate data (as decoded
// by libdeflate, which takes more than zlib does), so that mutated streams still reach the end.
// With bit 2 the rest is no stream but a recipe for one (DeflateGenerator), wrapped in a zlib
// header and the right check value, with bit 3 followed by a few bytes more.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "codec/inflate.h"
#include "support/deflate_streams.h"
#include "fuzz/fuzz_check.h"

using ozr::fuzz::Check;

namespace {

constexpr uint32_t kLimit = 128000;

void FixHeaderCheck(std::vector<uint8_t>& stream) {
  if (stream.size() < 2) return;
  const unsigned remainder = (stream[0] * 256u + (stream[1] & 0xE0u)) % 31u;
  stream[1] = static_cast<uint8_t>((stream[1] & 0xE0u) | ((31u - remainder) % 31u));
}

void FixCheckValue(std::vector<uint8_t>& stream) {
  if (stream.size() < 6) return;
  static libdeflate_decompressor* const decompressor = libdeflate_alloc_decompressor();
  std::vector<uint8_t> out(kLimit);
  size_t consumed = 0;
  size_t produced = 0;
  if (libdeflate_deflate_decompress_ex(decompressor, stream.data() + 2, stream.size() - 2,
                                       out.data(), out.size(), &consumed,
                                       &produced) != LIBDEFLATE_SUCCESS) {
    return;
  }
  const size_t at = 2 + consumed;
  if (stream.size() - at < 4) return;
  const uLong adler = adler32(adler32(0, nullptr, 0), out.data(), static_cast<uInt>(produced));
  for (size_t i = 0; i < 4; ++i) stream[at + i] = static_cast<uint8_t>(adler >> (24 - 8 * i));
}

// A valid stream of many small blocks (zlib's smallest memory level ends a block every 128
// symbols), the neighbour of the fuzzed stream in the paired inflation.
std::vector<uint8_t> ManyBlockStream() {
  std::vector<uint8_t> text;
  uint32_t state = 1;
  while (text.size() < 8000) {
    state = state * 1103515245u + 12345u;
    const char* words[] = {"frame ", "block ", "symbol ", "walk ", "zlib ", "\n"};
    for (const char* c = words[(state >> 16) % 6]; *c != 0; ++c) text.push_back(uint8_t(*c));
  }
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, 15, 1, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> out(deflateBound(&z, text.size()));
  z.next_in = text.data();
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
  std::vector<uint8_t> stream;
  if (data[0] & 4) {
    stream = {0x78, 0x9C};
    const std::vector<uint8_t> deflate = ozr::testing::DeflateGenerator(data + 1, size - 1).Generate();
    stream.insert(stream.end(), deflate.begin(), deflate.end());
    stream.resize(stream.size() + ((data[0] & 8) ? 7 : 4));
    FixCheckValue(stream);
  } else {
    stream.assign(data + 1, data + size);
    if (data[0] & 1) FixHeaderCheck(stream);
    if (data[0] & 2) FixCheckValue(stream);
  }
  const auto length = static_cast<uint32_t>(stream.size());

  std::vector<uint8_t> reference(kLimit);
  uLongf referenceLength = kLimit;
  const bool accepted =
      uncompress(reference.data(), &referenceLength, stream.data(), length) == Z_OK;

  using Inflater = bool (*)(const uint8_t*, uint32_t, uint8_t*, uint32_t&);
  const Inflater inflaters[] = {ozr::InflateWithZlib, ozr::InflateWithLibdeflate,
                                ozr::InflateFrame};
  for (const Inflater inflate : inflaters) {
    // Each decoder writes into a buffer of exactly the limit, as the ChunkBuffers are.
    std::vector<uint8_t> out(kLimit, 0xA5);
    uint32_t produced = kLimit;
    Check(inflate(stream.data(), length, out.data(), produced) == accepted,
          "every inflater accepts exactly what uncompress accepts");
    if (accepted) {
      Check(produced == referenceLength &&
                std::equal(out.begin(), out.begin() + produced, reference.begin()),
            "every inflater produces the bytes uncompress produces");
    }
  }

  // Paired with itself and with a valid stream of many blocks, on either side: the walks in step
  // must give each stream its own verdict and bytes.
  static const std::vector<uint8_t> other = ManyBlockStream();
  const std::vector<uint8_t>* sides[][2] = {
      {&stream, &stream}, {&stream, &other}, {&other, &stream}};
  for (const auto& side : sides) {
    std::vector<uint8_t> out[2] = {std::vector<uint8_t>(kLimit), std::vector<uint8_t>(kLimit)};
    ozr::InflateTask tasks[2];
    for (int i = 0; i < 2; ++i) {
      tasks[i] = {side[i]->data(), static_cast<uint32_t>(side[i]->size()), out[i].data(), kLimit,
                  false};
    }
    ozr::InflateFramePair(tasks[0], tasks[1]);
    for (int i = 0; i < 2; ++i) {
      const bool mine = side[i] == &stream;
      Check(tasks[i].ok == (mine ? accepted : true), "paired inflation keeps each verdict");
      if (mine && accepted) {
        Check(tasks[i].outputLength == referenceLength &&
                  std::equal(out[i].begin(), out[i].begin() + referenceLength, reference.begin()),
              "paired inflation keeps each stream's bytes");
      }
    }
  }
  return 0;
}
