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
  Made CreateTemporaryBeside(const std::u16string&, const std::u16string&, bool,
                             std::unique_ptr<TemporaryFile>& file) override {
    file = std::make_unique<Sink>();
    return Made::kDone;
  }
  PathKind QueryPath(const std::u16string&) override { return PathKind::kMissing; }
  Made MakeDirectory(const std::u16string&, const std::u16string&) override { return Made::kDone; }
  std::u16string JoinEntryPath(const std::u16string& folder,
                               const std::u16string& entryName) const override {
    return real_.JoinEntryPath(folder, entryName);
  }
  NameRules Rules() const override { return real_.Rules(); }

 private:
  class Sink final : public TemporaryFile {
   public:
    size_t Write(const uint8_t*, size_t count) override { return count; }
    bool Close() override { return true; }
    bool Commit() override { return true; }
    bool Discard() override { return true; }
    std::u16string LeftPath() const override { return {}; }
  };

  FileSystem& real_;
};

}  // namespace ozr::cli
