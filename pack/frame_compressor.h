// Compression of an entry's content into frame payloads, piece by piece, on as many threads as
// asked: each piece of at most a ChunkBuffer is compressed on its own, so the frames come out
// the same whatever the number of threads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/failure.h"

namespace ozr {

// One frame's payload before encryption: a zlib stream and, for a frame that is not its entry's
// last in an encrypted archive, zeros up to whole cipher blocks.
struct PlainFrame {
  std::vector<uint8_t> payload;  // `length` bytes, with room for the cipher's padding behind
  uint32_t length = 0;
  uint32_t contentLength = 0;  // the entry's bytes it holds
  uint32_t payloadSum = 0;     // ChunkSum of the `length` bytes
  bool final = false;          // the entry's last frame
};

struct FrameRules {
  int level = 6;  // 0 stores; 1 to 9 compress with libdeflate (at its level 2 to 12)
  bool encrypted = false;
};

// A piece of content: the bytes, or the failure met while reading them, reported in its turn.
struct ContentPiece {
  std::vector<uint8_t> bytes;
  bool lastOfEntry = false;
  std::optional<Failure> failure;
};

// Compresses pieces on `threads` threads (1: on the caller's), handing the frames back in the
// order the pieces were given, with at most a few pieces per thread in flight. A piece whose
// payload would not fit a chunk buffer (content that does not compress) is split in halves until
// it does.
class PieceCompressor {
 public:
  PieceCompressor(const FrameRules& rules, int threads);
  ~PieceCompressor();
  PieceCompressor(const PieceCompressor&) = delete;
  PieceCompressor& operator=(const PieceCompressor&) = delete;

  // Whether another piece can be given before the oldest is taken.
  bool HasRoom() const;
  void Give(ContentPiece piece);
  // The oldest piece given and its frames, waiting for them; throws the piece's failure (its
  // reading's or its compression's). Needs a piece given and not yet taken.
  std::vector<PlainFrame> Take(ContentPiece& piece);
  bool Empty() const;

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
};

}  // namespace ozr
