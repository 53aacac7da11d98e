// The pipeline's shared state lives under one lock. Frames get sequence numbers in file order as
// they are read; slot seq % kSlots holds frame seq from its reading until the job has taken it, so
// the threads can run at most kSlots frames ahead of the job.
#include "extract/frame_pipeline.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "base/failure.h"
#include "codec/inflate.h"
#include "platform/sequential_reader.h"
#include "platform/threads.h"

namespace ozr {

namespace {
// Each thread decodes two frames at a time where it can, with room for two more meanwhile.
constexpr size_t kSlotsPerThread = 4;
constexpr size_t kChainSize = 16;
}  // namespace

struct FramePipeline::Slot {
  enum class State { kFree, kClaimed, kReady };
  State state = State::kFree;
  size_t entry = 0;
  ChunkBuffer input;
  ChunkBuffer output;
  StoredFrame stored;
  uint8_t chain[kChainSize] = {};
  // Set when the key keeps the chaining itself and the frame was decrypted in order while read.
  bool decryptedInOrder = false;
  bool decryptedOk = false;
  uint32_t payloadLength = 0;
  uint32_t inflatedLength = 0;
  bool last = false;
  std::optional<Failure> failure;
};

struct FramePipeline::Shared {
  Shared(ReadableFile& archive, ArchiveKey* key, std::vector<PipelineEntry> entries)
      : reader(archive), key(key), entries(std::move(entries)) {}

  SequentialReader reader;
  ArchiveKey* key;
  const std::vector<PipelineEntry> entries;
  bool speculate = false;
  bool ordered = false;  // the key decrypts the frames in order while they are read
  std::vector<std::unique_ptr<Slot>> slots;
  std::vector<std::unique_ptr<FrameDecryptor>> decryptors;  // one per worker
  std::vector<std::unique_ptr<Thread>> threads;

  Mutex mutex;
  // Workers wait for a free slot or for work; the job waits for its next frame. Each side is
  // woken only when something it waits for changed and only when it is waiting, so that small
  // entries do not pay a system call per hand-over.
  ConditionVariable workChanged;
  ConditionVariable frameReady;
  int workersWaiting = 0;
  bool jobWaiting = false;

  void WaitForWork() {
    ++workersWaiting;
    workChanged.Wait(mutex);
    --workersWaiting;
  }
  // The job waits only with every worker awake, so that the frame it waits for gets made.
  void WaitForFrame() {
    WakeWorkers();
    jobWaiting = true;
    frameReady.Wait(mutex);
    jobWaiting = false;
  }
  void WakeWorkers() {
    if (workersWaiting != 0) workChanged.NotifyAll();
  }
  void WakeJob() {
    if (jobWaiting) frameReady.NotifyAll();
  }
  // Reading position: the entry being read and the bytes of its stream taken so far.
  size_t readEntry = 0;
  uint64_t readConsumed = 0;
  uint8_t lastCipherBlock[kChainSize] = {};
  size_t allowedEnd = 0;    // without speculation, entries below this may be read
  size_t abandonedEnd = 0;  // entries below this are not read any more
  uint64_t nextClaim = 0;
  uint64_t nextTake = 0;
  bool headTaken = false;  // the head slot was handed to the job by Next
  bool stopping = false;

  Slot& SlotOf(uint64_t seq) { return *slots[seq % slots.size()]; }
};

FramePipeline::FramePipeline(ReadableFile& archive, ArchiveKey* key,
                             std::vector<PipelineEntry> entries, int threads, bool speculate)
    : shared_(std::make_unique<Shared>(archive, key, std::move(entries))) {
  Shared& s = *shared_;
  const int workers = std::max(threads, 1);
  for (int i = 0; i < workers && key != nullptr; ++i) {
    s.decryptors.push_back(key->NewFrameDecryptor());
  }
  // Without a decryptor for every thread the key's own chaining is used: the frames must then be
  // decrypted in order, by the one reader.
  s.ordered = key != nullptr && std::any_of(s.decryptors.begin(), s.decryptors.end(),
                                            [](const auto& d) { return !d; });
  if (s.ordered) threads = std::min(threads, 1);
  s.speculate = speculate && !s.ordered;
  s.slots.resize(kSlotsPerThread * static_cast<size_t>(workers) + 1);
  for (auto& slot : s.slots) slot = std::make_unique<Slot>();
  for (int i = 0; i < threads; ++i) {
    auto thread = std::make_unique<Thread>([this, i] { WorkerLoop(i); });
    if (!thread->Start()) break;  // fewer threads, or none: the job's thread decodes then
    s.threads.push_back(std::move(thread));
  }
}

FramePipeline::~FramePipeline() {
  {
    MutexLock lock(shared_->mutex);
    shared_->stopping = true;
    shared_->workChanged.NotifyAll();
  }
  for (auto& thread : shared_->threads) thread->Join();
}

bool FramePipeline::ClaimAndRead(size_t& seq) {
  Shared& s = *shared_;
  if (s.readEntry < s.abandonedEnd) {
    s.readEntry = s.abandonedEnd;
    s.readConsumed = 0;
  }
  if (s.readEntry >= s.entries.size()) return false;
  if (!s.speculate && s.readEntry >= s.allowedEnd) return false;
  Slot& slot = s.SlotOf(s.nextClaim);
  if (slot.state != Slot::State::kFree) return false;
  seq = s.nextClaim++;
  slot.state = Slot::State::kClaimed;
  slot.entry = s.readEntry;
  slot.failure.reset();
  slot.decryptedInOrder = false;
  const PipelineEntry& entry = s.entries[s.readEntry];
  if (s.readConsumed == 0) {
    s.reader.Seek(entry.streamStart);
    std::memset(s.lastCipherBlock, 0, kChainSize);
  }
  try {
    slot.stored = ReadStoredFrame(s.reader, entry.packedSize, s.readConsumed, slot.input);
    const uint32_t stored = slot.stored.storedLength;
    std::memcpy(slot.chain, s.lastCipherBlock, kChainSize);
    if (stored >= kChainSize) {
      std::memcpy(s.lastCipherBlock, slot.input.data() + stored - kChainSize, kChainSize);
    }
    s.readConsumed += stored + kFrameOverhead;
    slot.last = slot.stored.final;
    slot.payloadLength = stored;
    if (s.ordered) {
      slot.decryptedInOrder = true;
      slot.decryptedOk = s.key->Decrypt(slot.input.data(), slot.payloadLength, slot.stored.final);
    }
  } catch (const Failure& failure) {
    slot.failure = failure;
    slot.last = true;
  }
  if (slot.last) {
    ++s.readEntry;
    s.readConsumed = 0;
  }
  return true;
}

// Decrypts the slot's payload and tests its checksum. False (the slot's failure set) when it
// cannot be inflated.
bool FramePipeline::Prepare(Slot& slot, int worker) {
  if (slot.failure) return false;
  Shared& s = *shared_;
  try {
    uint32_t length = slot.payloadLength;
    if (s.key != nullptr) {
      const bool ok = slot.decryptedInOrder
                          ? slot.decryptedOk
                          : s.decryptors[static_cast<size_t>(worker)]->Decrypt(
                                slot.chain, slot.input.data(), length, slot.stored.final);
      if (!ok) throw Failure(MessageCode::kDecryptFailed);
    }
    slot.payloadLength = length;
    CheckPayload(slot.stored, length, slot.input);
  } catch (const Failure& failure) {
    slot.failure = failure;
    return false;
  }
  return true;
}

void FramePipeline::Decode(Slot& slot, int worker) {
  if (Prepare(slot, worker)) Inflate(slot);
}

void FramePipeline::Inflate(Slot& slot) {
  slot.inflatedLength = ChunkBuffer::size();
  if (!InflateFrame(slot.input.data(), slot.payloadLength, slot.output.data(),
                    slot.inflatedLength)) {
    slot.failure = Failure(MessageCode::kInflateFailed);
  }
}

// Two frames at once: their inflations' rules walks run in step, in about the time of one.
void FramePipeline::DecodePair(Slot& a, Slot& b, int worker) {
  const bool readyA = Prepare(a, worker);
  const bool readyB = Prepare(b, worker);
  if (!readyA || !readyB) {
    if (readyA) Inflate(a);
    if (readyB) Inflate(b);
    return;
  }
  InflateTask tasks[2];
  Slot* slots[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    tasks[i] = {slots[i]->input.data(), slots[i]->payloadLength, slots[i]->output.data(),
                ChunkBuffer::size(), false};
  }
  InflateFramePair(tasks[0], tasks[1]);
  for (int i = 0; i < 2; ++i) {
    slots[i]->inflatedLength = tasks[i].outputLength;
    if (!tasks[i].ok) slots[i]->failure = Failure(MessageCode::kInflateFailed);
  }
}

void FramePipeline::WorkerLoop(int worker) {
  Shared& s = *shared_;
  for (;;) {
    size_t seqs[2] = {};
    int claimed = 0;
    {
      MutexLock lock(s.mutex);
      while (!s.stopping && !ClaimAndRead(seqs[0])) s.WaitForWork();
      if (s.stopping) return;
      claimed = ClaimAndRead(seqs[1]) ? 2 : 1;
    }
    if (claimed == 2) {
      DecodePair(s.SlotOf(seqs[0]), s.SlotOf(seqs[1]), worker);
    } else {
      Decode(s.SlotOf(seqs[0]), worker);
    }
    MutexLock lock(s.mutex);
    for (int i = 0; i < claimed; ++i) s.SlotOf(seqs[i]).state = Slot::State::kReady;
    s.WakeJob();
  }
}

// With the lock held: gives the slot the job has finished with back to the threads.
void FramePipeline::FreeHead() {
  Shared& s = *shared_;
  s.SlotOf(s.nextTake).state = Slot::State::kFree;
  ++s.nextTake;
  s.headTaken = false;
  // Workers are woken once half the slots are free, and then fill them in one go: one wake-up
  // per frame would cost more than decoding a small entry.
  if (2 * (s.slots.size() - (s.nextClaim - s.nextTake)) >= s.slots.size()) s.WakeWorkers();
}

DecodedFrame FramePipeline::Next(size_t entry) {
  Shared& s = *shared_;
  MutexLock lock(s.mutex);
  if (s.headTaken) FreeHead();
  if (!s.speculate && s.allowedEnd <= entry) {
    s.allowedEnd = entry + 1;
    s.WakeWorkers();
  }
  for (;;) {
    if (s.nextTake < s.nextClaim && s.SlotOf(s.nextTake).state == Slot::State::kReady) break;
    size_t seq = 0;
    if (s.threads.empty() && ClaimAndRead(seq)) {
      Decode(s.SlotOf(seq), 0);
      s.SlotOf(seq).state = Slot::State::kReady;
      continue;
    }
    // Without threads nothing else can produce the frame: the entry has no frame left to give.
    if (s.threads.empty()) throw Failure(MessageCode::kFrameReadFailed);
    s.WaitForFrame();
  }
  Slot& head = s.SlotOf(s.nextTake);
  if (head.entry != entry)
    throw Failure(MessageCode::kFrameReadFailed);  // never: entries come in order
  if (head.failure) {
    const Failure failure = *head.failure;
    FreeHead();
    throw failure;
  }
  s.headTaken = true;
  return {head.stored.storedLength, head.inflatedLength, head.output.data(), head.last};
}

void FramePipeline::Skip(size_t entry) {
  Shared& s = *shared_;
  MutexLock lock(s.mutex);
  if (s.headTaken) FreeHead();
  s.abandonedEnd = std::max(s.abandonedEnd, entry + 1);
  s.WakeWorkers();
  // Frames of the entry already read stay in order at the head; they are dropped as they finish.
  while (s.nextTake < s.nextClaim && s.SlotOf(s.nextTake).entry <= entry) {
    if (s.SlotOf(s.nextTake).state == Slot::State::kReady) {
      FreeHead();
    } else {
      s.WaitForFrame();
    }
  }
}

}  // namespace ozr
