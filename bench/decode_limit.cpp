// The decode limit of an archive: how fast this machine can read it and decode every frame in
// memory on two threads (payload checksum, decryption, libdeflate's inflation, nothing written,
// no rules walk), the yardstick the extraction's speed is compared with.
// Usage: decode_limit ARCHIVE [PASSWORD] [RUNS]; prints "<inflated bytes> <median seconds>".
#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "base/little_endian.h"
#include "base/utf.h"
#include "bench_corpus.h"
#include "codec/archive_key.h"
#include "codec/chunk_sum.h"

namespace {

constexpr int kThreads = 2;
constexpr size_t kFramesPerClaim = 8;

struct Frame {
  size_t at = 0;  // payload position in the file's bytes
  uint32_t length = 0;
  uint32_t sum = 0;
  bool final = false;
  size_t chainAt = SIZE_MAX;  // the previous frame's last cipher block; none for a first frame
};

std::vector<uint8_t> ReadWhole(const char* path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

std::vector<Frame> FramesOf(const std::vector<uint8_t>& file, const ozr::ArchiveSession& session) {
  std::vector<Frame> frames;
  size_t at = static_cast<size_t>(session.DataAreaPosition());
  for (const auto& [index, entry] : session.catalog) {
    const size_t end = at + entry.record.packedSize;
    size_t chainAt = SIZE_MAX;
    while (at < end) {
      Frame frame;
      frame.length = ozr::LoadU32(&file[at]);
      frame.at = at + 4;
      frame.sum = ozr::LoadU32(&file[frame.at + frame.length]);
      at = frame.at + frame.length + 4;
      frame.final = at == end;
      frame.chainAt = chainAt;
      chainAt = frame.at + frame.length - 16;
      frames.push_back(frame);
    }
  }
  return frames;
}

// One run: read the file, find the frames, decode them on two threads. Returns inflated bytes.
uint64_t DecodeAll(const char* path, const ozr::ArchiveSession& session, ozr::ArchiveKey* key) {
  const std::vector<uint8_t> file = ReadWhole(path);
  const std::vector<Frame> frames = FramesOf(file, session);
  std::atomic<size_t> next{0};
  std::atomic<uint64_t> inflated{0};
  std::atomic<bool> failed{false};
  auto work = [&] {
    std::unique_ptr<ozr::FrameDecryptor> decryptor = key ? key->NewFrameDecryptor() : nullptr;
    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    std::vector<uint8_t> payload(ozr::kChunkBufferSize);
    std::vector<uint8_t> output(ozr::kChunkBufferSize);
    static const uint8_t kZeros[16] = {};
    uint64_t total = 0;
    for (size_t first; (first = next.fetch_add(kFramesPerClaim)) < frames.size();) {
      for (size_t i = first; i < std::min(frames.size(), first + kFramesPerClaim); ++i) {
        const Frame& f = frames[i];
        std::memcpy(payload.data(), &file[f.at], f.length);
        uint32_t length = f.length;
        const uint8_t* chain = f.chainAt == SIZE_MAX ? kZeros : &file[f.chainAt];
        if (decryptor && !decryptor->Decrypt(chain, payload.data(), length, f.final)) {
          failed = true;
        }
        if (ozr::ChunkSum(payload.data(), static_cast<int32_t>(length)) != f.sum) failed = true;
        size_t in = 0;
        size_t out = 0;
        if (libdeflate_zlib_decompress_ex(inflater, payload.data(), length, output.data(),
                                          output.size(), &in, &out) != LIBDEFLATE_SUCCESS) {
          failed = true;
        }
        total += out;
      }
    }
    libdeflate_free_decompressor(inflater);
    inflated += total;
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(work);
  for (auto& t : threads) t.join();
  if (failed) throw std::runtime_error("a frame did not decode");
  return inflated;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: decode_limit ARCHIVE [PASSWORD] [RUNS]\n";
    return 2;
  }
  try {
    ozr::ArchiveSession session;
    ozr::bench::OpenNative(argv[1], session);
    std::optional<ozr::ArchiveKey> key;
    if (session.header.encrypted()) {
      key.emplace(ozr::DeriveArchiveKey(ozr::FromUtf8(argc > 2 ? argv[2] : "")));
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    std::vector<double> seconds;
    uint64_t bytes = 0;
    for (int r = 0; r < runs; ++r) {
      const auto start = std::chrono::steady_clock::now();
      bytes = DecodeAll(argv[1], session, key ? &*key : nullptr);
      seconds.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%llu %.6f\n", static_cast<unsigned long long>(bytes), seconds[seconds.size() / 2]);
  } catch (const std::exception& e) {
    std::cerr << "decode_limit: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
