// The file system `ozr test` gives the extraction job: the archive is read from the real one,
// everything the job would write is dropped, and no output path ever exists.
#pragma once

#include "platform/file_system.h"

namespace ozr::cli {

class DiscardingFileSystem final : public FileSystem {
 public:
  explicit DiscardingFileSystem(FileSystem& real) : real_(real) {}

  std::unique_ptr<ReadableFile> OpenForReading(const std::u16string& path) override {
    return real_.OpenForReading(path);
  }
  std::unique_ptr<WritableFile> CreateTemporaryBeside(const std::u16string& target,
                                                      std::u16string& tempPath) override {
    tempPath = target;
    return std::make_unique<Sink>();
  }
  PathKind QueryPath(const std::u16string&) override { return PathKind::kMissing; }
  bool MakeDirectory(const std::u16string&) override { return true; }
  bool RemoveFile(const std::u16string&) override { return true; }
  bool MoveReplacing(const std::u16string&, const std::u16string&) override { return true; }
  std::u16string JoinEntryPath(const std::u16string& folder,
                               const std::u16string& entryName) const override {
    return real_.JoinEntryPath(folder, entryName);
  }
  NameRules Rules() const override { return real_.Rules(); }

 private:
  class Sink final : public WritableFile {
   public:
    size_t Write(const uint8_t*, size_t count) override { return count; }
    bool Close() override { return true; }
  };

  FileSystem& real_;
};

}  // namespace ozr::cli
