// Pieces go into a ring of slots in the order given; worker threads compress them in any order,
// and the caller takes them back in the order given, so only the speed depends on the threads.
#include "pack/frame_compressor.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "archive/records.h"
#include "base/failure.h"
#include "codec/chunk_sum.h"
#include "platform/threads.h"

namespace ozr {

namespace {

constexpr uint32_t kBlock = 16;
constexpr size_t kSlotsPerThread = 3;

// The archive's level (zlib's scale, 0 to 9) stretched onto libdeflate's (0 to 12): level 6
// becomes 8, whose output is as small as a whole gzip -6 stream of the same files within a few
// per cent, while the frames start afresh every 128000 bytes.
int LibdeflateLevel(int level) { return (level * 4 + 2) / 3; }

class Deflater {
 public:
  explicit Deflater(int level) : compressor_(libdeflate_alloc_compressor(LibdeflateLevel(level))) {
    if (compressor_ == nullptr) throw Failure(MessageCode::kPackCompressFailed);
  }
  ~Deflater() { libdeflate_free_compressor(compressor_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // One zlib stream of `data` at the start of `out`, which has room for the worst case.
  uint32_t Compress(const uint8_t* data, uint32_t size, std::vector<uint8_t>& out,
                    uint32_t extra) const {
    out.resize(libdeflate_zlib_compress_bound(compressor_, size) + extra);
    const size_t length = libdeflate_zlib_compress(compressor_, data, size, out.data(), out.size());
    if (length == 0) throw Failure(MessageCode::kPackCompressFailed);
    return static_cast<uint32_t>(length);
  }

 private:
  libdeflate_compressor* compressor_;
};

// Appends the frame of `size` bytes at `data`; false when its payload would not fit a chunk
// buffer, so that the bytes must be split.
bool TryFrame(const Deflater& deflater, const FrameRules& rules, const uint8_t* data, uint32_t size,
              bool final, std::vector<PlainFrame>& frames) {
  PlainFrame frame;
  uint32_t length = deflater.Compress(data, size, frame.payload, 2 * kBlock);
  uint32_t stored = length;
  if (rules.encrypted) {
    // A CBC chain runs through the entry: frames but the last are zero-padded to whole blocks;
    // the last gets the cipher's padding (one to sixteen bytes) when it is encrypted.
    stored = final ? (length / kBlock + 1) * kBlock : (length + kBlock - 1) / kBlock * kBlock;
    if (!final) {
      std::memset(frame.payload.data() + length, 0, stored - length);
      length = stored;
    }
  }
  if (stored > kChunkBufferSize) {
    if (size == 1) throw Failure(MessageCode::kPackCompressFailed);
    return false;
  }
  frame.length = length;
  frame.contentLength = size;
  frame.payloadSum = ChunkSum(frame.payload.data(), static_cast<int32_t>(length));
  frame.final = final;
  frames.push_back(std::move(frame));
  return true;
}

void CompressPart(const Deflater& deflater, const FrameRules& rules, const uint8_t* data,
                  uint32_t size, bool final, std::vector<PlainFrame>& frames) {
  if (TryFrame(deflater, rules, data, size, final, frames)) return;
  const uint32_t half = size / 2;
  CompressPart(deflater, rules, data, half, false, frames);
  CompressPart(deflater, rules, data + half, size - half, final, frames);
}

struct Slot {
  enum class State { kFree, kGiven, kClaimed, kDone };
  State state = State::kFree;
  ContentPiece piece;
  std::vector<PlainFrame> frames;
  std::optional<Failure> failure;
};

}  // namespace

struct PieceCompressor::Shared {
  Shared(const FrameRules& rules, int threads)
      : rules(rules), slots(kSlotsPerThread * static_cast<size_t>(std::max(threads, 1))) {}

  // Compresses the slot's piece (whose reading did not fail) into its frames.
  static void Run(const Deflater& deflater, const FrameRules& rules, Slot& slot) {
    if (slot.piece.failure) return;
    try {
      CompressPart(deflater, rules, slot.piece.bytes.data(),
                   static_cast<uint32_t>(slot.piece.bytes.size()), slot.piece.lastOfEntry,
                   slot.frames);
    } catch (const Failure& failure) {
      slot.failure = failure;
    }
  }

  void WorkerLoop() {
    std::unique_ptr<Deflater> deflater;
    try {
      deflater = std::make_unique<Deflater>(rules.level);
    } catch (const Failure&) {
      // Without a compressor this thread takes no piece; the caller's own compresses then.
      return;
    }
    for (;;) {
      Slot* slot = nullptr;
      {
        MutexLock lock(mutex);
        while (!stopping && nextClaim == nextGive) changed.Wait(mutex);
        if (stopping) return;
        slot = &slots[nextClaim++ % slots.size()];
        slot->state = Slot::State::kClaimed;
      }
      Run(*deflater, rules, *slot);
      MutexLock lock(mutex);
      slot->state = Slot::State::kDone;
      changed.NotifyAll();
    }
  }

  const FrameRules rules;
  std::vector<Slot> slots;
  std::vector<std::unique_ptr<Thread>> threads;
  std::unique_ptr<Deflater> ownDeflater;  // the caller's, when it compresses itself
  Mutex mutex;
  ConditionVariable changed;
  uint64_t nextGive = 0;   // pieces given
  uint64_t nextClaim = 0;  // pieces claimed by a thread
  uint64_t nextTake = 0;   // pieces taken back
  bool stopping = false;
};

PieceCompressor::PieceCompressor(const FrameRules& rules, int threads)
    : shared_(std::make_unique<Shared>(rules, threads)) {
  Shared& s = *shared_;
  s.ownDeflater = std::make_unique<Deflater>(rules.level);
  for (int i = 0; i < threads && threads > 1; ++i) {
    auto thread = std::make_unique<Thread>([&s] { s.WorkerLoop(); });
    if (!thread->Start()) break;  // fewer threads: the caller compresses what they do not
    s.threads.push_back(std::move(thread));
  }
}

PieceCompressor::~PieceCompressor() {
  {
    MutexLock lock(shared_->mutex);
    shared_->stopping = true;
    shared_->changed.NotifyAll();
  }
  for (auto& thread : shared_->threads) thread->Join();
}

bool PieceCompressor::HasRoom() const {
  MutexLock lock(shared_->mutex);
  return shared_->nextGive - shared_->nextTake < shared_->slots.size();
}

bool PieceCompressor::Empty() const {
  MutexLock lock(shared_->mutex);
  return shared_->nextGive == shared_->nextTake;
}

void PieceCompressor::Give(ContentPiece piece) {
  Shared& s = *shared_;
  MutexLock lock(s.mutex);
  Slot& slot = s.slots[s.nextGive % s.slots.size()];
  slot.piece = std::move(piece);
  slot.frames.clear();
  slot.failure.reset();
  slot.state = Slot::State::kGiven;
  ++s.nextGive;
  s.changed.NotifyAll();
}

std::vector<PlainFrame> PieceCompressor::Take(ContentPiece& piece) {
  Shared& s = *shared_;
  Slot* slot = nullptr;
  {
    MutexLock lock(s.mutex);
    slot = &s.slots[s.nextTake % s.slots.size()];
    // Without threads (or while they are busy with later pieces) the caller compresses it.
    if (slot->state == Slot::State::kGiven && s.nextClaim == s.nextTake) {
      ++s.nextClaim;
      slot->state = Slot::State::kClaimed;
      s.mutex.Unlock();
      Shared::Run(*s.ownDeflater, s.rules, *slot);
      s.mutex.Lock();
      slot->state = Slot::State::kDone;
    }
    while (slot->state != Slot::State::kDone) s.changed.Wait(s.mutex);
    slot->state = Slot::State::kFree;
    ++s.nextTake;
  }
  piece = std::move(slot->piece);
  if (piece.failure) throw *piece.failure;
  if (slot->failure) throw *slot->failure;
  return std::move(slot->frames);
}

}  // namespace ozr
