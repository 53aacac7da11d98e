// A file system held in memory that resolves paths as Windows or POSIX would and records every
// change, so that tests and fuzz targets can tell whether anything was written outside a folder,
// whether a temporary file was left behind and whether every file was closed.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace ozr::testing {

class MemoryFileSystem final : public FileSystem {
 public:
  struct Node {
    bool directory = false;
    bool temporary = false;  // made by CreateTemporaryBeside and not committed since
    bool flushed = false;    // its data reached the disk before it took its name
    std::vector<uint8_t> bytes;
  };
  // The calls that `refuse` may make fail; kMove is a commit.
  enum class Call { kCreateTemporary, kMove, kWrite, kClose };

  explicit MemoryFileSystem(NameRules rules) : rules_(rules) {}

  // Setup, by path as the platform spells it: folders on the way are made too.
  void AddDirectory(const std::u16string& path);
  void AddFile(const std::u16string& path, std::vector<uint8_t> bytes);

  // The path as this file system resolves it ("\" or "/" between levels; on Windows without "."
  // and ".." levels, trailing dots and spaces, and in upper case), or nothing for a path that
  // names no file here: a relative one, a level above the root, a stream or drive inside the path.
  std::optional<std::u16string> Resolve(const std::u16string& path) const;
  // True when `path` resolves to `folder` or to something inside it.
  bool IsInside(const std::u16string& path, const std::u16string& folder) const;

  const std::map<std::u16string, Node>& nodes() const { return nodes_; }
  const Node* Find(const std::u16string& path) const;
  // Every path a change was asked for (files and folders made, written, removed, moved from and
  // to), as given, whether or not the call succeeded.
  const std::vector<std::u16string>& changedPaths() const { return changed_; }
  // Files opened for writing and not yet destroyed.
  int openWriters() const { return openWriters_; }

  // Answers true to make a call fail, given the call and its path (for a move, the target).
  std::function<bool(Call, const std::u16string&)> refuse;
  // Bytes all writes together may add before they come up short, as on a full disk.
  uint64_t spaceLeft = UINT64_MAX;

  std::unique_ptr<ReadableFile> OpenForReading(const std::u16string& path) override;
  Made CreateTemporaryBeside(const std::u16string& target, const std::u16string& within,
                             bool durable, std::unique_ptr<TemporaryFile>& file) override;
  PathKind QueryPath(const std::u16string& path) override;
  Made MakeDirectory(const std::u16string& path, const std::u16string& within) override;
  std::u16string JoinEntryPath(const std::u16string& folder,
                               const std::u16string& entryName) const override;
  NameRules Rules() const override { return rules_; }
  std::u16string FailureReason() const override { return u"refused"; }

 private:
  class Writer;

  bool windows() const { return rules_ == NameRules::kWindows; }
  char16_t Separator() const { return windows() ? u'\\' : u'/'; }
  bool Refused(Call call, const std::u16string& path) const { return refuse && refuse(call, path); }
  // The resolved parent of a resolved path, when it is a folder here.
  bool ParentIsDirectory(const std::u16string& resolved) const;

  NameRules rules_;
  std::map<std::u16string, Node> nodes_;
  std::vector<std::u16string> changed_;
  int openWriters_ = 0;
  int temporaryCounter_ = 0;
};

}  // namespace ozr::testing
