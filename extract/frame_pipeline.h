// Decodes the frames of a job's entries ahead of the job on worker threads, and hands them to the
// job strictly in stream order, so that every failure, question and message comes exactly when a
// one-thread job would meet it, while reading, decryption and inflation of the next frames go on.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/archive_key.h"
#include "codec/decode_chunk.h"
#include "platform/file_system.h"

namespace ozr {

struct PipelineEntry {
  uint64_t streamStart = 0;  // position of the entry's PackedStream in the archive file
  uint64_t packedSize = 0;
};

// One decoded frame as the job receives it; valid until the next call on the pipeline.
struct DecodedFrame {
  uint32_t storedLength = 0;
  uint32_t inflatedLength = 0;
  const uint8_t* output = nullptr;
  bool last = false;  // the entry's last frame
};

class FramePipeline {
 public:
  // How many threads decode. 0 decodes on the job's thread when a frame is asked for.
  // `speculate` lets the threads decode entries before the job reaches them; it needs frames
  // that can be decrypted independently (no key, or a key with a FrameDecryptor).
  FramePipeline(ReadableFile& archive, ArchiveKey* key, std::vector<PipelineEntry> entries,
                int threads, bool speculate);
  // Stops the threads and waits for them; the key is not used afterwards.
  ~FramePipeline();
  FramePipeline(const FramePipeline&) = delete;
  FramePipeline& operator=(const FramePipeline&) = delete;

  // The next frame of entry `entry` (entries are taken in order). Throws the frame's Failure.
  DecodedFrame Next(size_t entry);
  // Tells that the job will not extract `entry` (and nothing before it): its frames are dropped.
  void Skip(size_t entry);

 private:
  struct Slot;
  struct Shared;
  void WorkerLoop(int worker);
  bool ClaimAndRead(size_t& seq);  // with the lock held
  bool Prepare(Slot& slot, int worker);
  void Inflate(Slot& slot);
  void Decode(Slot& slot, int worker);
  void DecodePair(Slot& a, Slot& b, int worker);
  void FreeHead();

  std::unique_ptr<Shared> shared_;
};

}  // namespace ozr
