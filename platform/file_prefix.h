// The front part of a file as a file of its own: a signed executable's archive is read as if the
// file ended where its certificate table begins.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/file_system.h"

namespace ozr {

class FilePrefix final : public ReadableFile {
 public:
  // Borrows `file`, which must outlive the prefix.
  FilePrefix(ReadableFile& file, uint64_t size) : file_(file), size_(size) {}
  // Owns `file`.
  FilePrefix(std::unique_ptr<ReadableFile> file, uint64_t size)
      : file_(*file), owned_(std::move(file)), size_(size) {}

  uint64_t Size() override { return size_; }
  void Seek(uint64_t position) override { position_ = position; }
  // Delivers nothing at or beyond `size`; never reads a byte of the file behind it.
  size_t Read(uint8_t* buffer, size_t count) override;

 private:
  ReadableFile& file_;
  std::unique_ptr<ReadableFile> owned_;
  uint64_t size_;
  uint64_t position_ = 0;
};

}  // namespace ozr
