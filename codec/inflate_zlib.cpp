// Inflation with zlib, the reference decoder of the format. It keeps one stream per thread and
// resets it per frame, which decodes exactly as uncompress does (same window, same checks, success
// only at the stream's end) without allocating zlib's state and window for every frame.
#include <zlib.h>

#include "codec/inflate.h"

namespace ozr {

namespace {

class ThreadInflater {
 public:
  ThreadInflater() { ready_ = inflateInit(&stream_) == Z_OK; }
  ~ThreadInflater() {
    if (ready_) inflateEnd(&stream_);
  }
  ThreadInflater(const ThreadInflater&) = delete;
  ThreadInflater& operator=(const ThreadInflater&) = delete;

  bool Inflate(const uint8_t* input, uint32_t inputLength, uint8_t* output,
               uint32_t& outputLength) {
    if (!ready_ || inflateReset(&stream_) != Z_OK) return false;
    stream_.next_in = const_cast<Bytef*>(input);
    stream_.avail_in = inputLength;
    stream_.next_out = output;
    stream_.avail_out = outputLength;
    int result = Z_OK;
    // As uncompress: go on while zlib makes progress; only the stream's end is success.
    do {
      result = inflate(&stream_, Z_NO_FLUSH);
    } while (result == Z_OK);
    if (result != Z_STREAM_END) return false;
    outputLength -= stream_.avail_out;
    return true;
  }

 private:
  z_stream stream_{};
  bool ready_ = false;
};

}  // namespace

bool InflateWithZlib(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                     uint32_t& outputLength) {
  thread_local ThreadInflater inflater;
  return inflater.Inflate(input, inputLength, output, outputLength);
}

}  // namespace ozr
