// The ports through which the core reaches files: reading an archive, writing entries, folders.
// Each platform implements them in its own directory; tests use in-memory or real-folder versions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ozr {

// A file opened for reading. Used by one thread at a time.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // The file's size in bytes, taken now.
  virtual uint64_t Size() = 0;
  // Moves the read position. A position the platform refuses makes the next reads deliver nothing.
  virtual void Seek(uint64_t position) = 0;
  // Reads up to `count` bytes at the position and advances it. Returns the count delivered:
  // fewer than asked at the end of the file or on an error; it never throws.
  virtual size_t Read(uint8_t* buffer, size_t count) = 0;
};

// A file opened for writing, written from its start on. Closed (and its handle released) when
// destroyed.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Writes `count` bytes behind those written before; returns the count written.
  virtual size_t Write(const uint8_t* data, size_t count) = 0;
  // Closes the file; false when data may not have reached it. Later calls return true.
  virtual bool Close() = 0;
  // Why the latest failed Write or Close failed, in the operating system's words; empty when it
  // is not known.
  virtual std::u16string FailureReason() const { return {}; }
};

enum class PathKind { kMissing, kDirectory, kOther };

// Which names the file system under the destination folder would misread.
enum class NameRules { kPosix, kWindows };

// Files and folders by path. Paths are UTF-16; each implementation converts them.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens an existing file for reading, shared with other readers; null when it cannot.
  virtual std::unique_ptr<ReadableFile> OpenForReading(const std::u16string& path) = 0;
  // Creates a new empty file in the folder of `target`, under a name no file had; its path goes
  // to `tempPath`. Null when it cannot.
  virtual std::unique_ptr<WritableFile> CreateTemporaryBeside(const std::u16string& target,
                                                              std::u16string& tempPath) = 0;
  virtual PathKind QueryPath(const std::u16string& path) = 0;
  // Creates one folder whose parent exists; false when it cannot.
  virtual bool MakeDirectory(const std::u16string& path) = 0;
  virtual bool RemoveFile(const std::u16string& path) = 0;
  // Moves the file `from` over `to`, replacing a file there; false (nothing changed) when it
  // cannot.
  virtual bool MoveReplacing(const std::u16string& from, const std::u16string& to) = 0;
  // The path of an entry name ("\"-separated levels) inside `folder`, which ends with a separator.
  // Never cut short; on Windows each level loses its trailing dots and spaces (WindowsEntryPath).
  virtual std::u16string JoinEntryPath(const std::u16string& folder,
                                       const std::u16string& entryName) const = 0;
  virtual NameRules Rules() const = 0;
  // Why the latest failed call above failed (opening, creating, a folder, removing, moving), in
  // the operating system's words; empty when it is not known. Asked on the thread that made the
  // call, before it makes another.
  virtual std::u16string FailureReason() const { return {}; }
};

// The file system of the platform the program was built for.
std::unique_ptr<FileSystem> NativeFileSystem();

}  // namespace ozr
