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

// A new file that becomes its target when committed. Until then it is unnamed where the platform
// allows (Linux) or marked for deletion (Windows: under a temporary name when it replaces a file,
// under the target's own name when there is none), so that a program ended at any moment leaves
// nothing behind and an existing target untouched; destroyed uncommitted, it is removed.
class TemporaryFile : public WritableFile {
 public:
  // Close ends the writing and, for a file made durable, makes its data reach the disk; false when
  // the data may not have. The file itself stays open until Commit or Discard.

  // After a successful Close: gives the file its target's name, replacing a file there (never a
  // folder). False when it cannot; the file is then still the temporary one.
  virtual bool Commit() = 0;
  // Removes the file; also done when it is destroyed uncommitted. False when it stays behind,
  // under LeftPath().
  virtual bool Discard() = 0;
  // The path of a file Discard could not remove.
  virtual std::u16string LeftPath() const = 0;
};

enum class PathKind { kMissing, kDirectory, kOther };

// Which names the file system under the destination folder would misread.
enum class NameRules { kPosix, kWindows };

// How making a file or folder went. kOutside: not made, because the folder that would hold it, as
// the system opened it, lies outside the folder it was confined to (a link leads out of it).
enum class Made { kDone, kFailed, kOutside };

// Files and folders by path. Paths are UTF-16; each implementation converts them.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens an existing file for reading, shared with other readers; null when it cannot.
  virtual std::unique_ptr<ReadableFile> OpenForReading(const std::u16string& path) = 0;
  // Creates `file`, to become `target` when committed, in the folder of `target`. `durable`: its
  // Close makes the data reach the disk, so that a crash soon after the commit cannot leave the
  // target empty; asked when the commit replaces a file. `within` (a folder path ending with a
  // separator, or empty for anywhere) confines where it may be made.
  virtual Made CreateTemporaryBeside(const std::u16string& target, const std::u16string& within,
                                     bool durable, std::unique_ptr<TemporaryFile>& file) = 0;
  virtual PathKind QueryPath(const std::u16string& path) = 0;
  // Creates one folder whose parent exists, confined to `within` as above.
  virtual Made MakeDirectory(const std::u16string& path, const std::u16string& within) = 0;
  // The path of an entry name ("\"-separated levels) inside `folder`, which ends with a separator.
  // Never cut short; on Windows each level loses its trailing dots and spaces (WindowsEntryPath).
  virtual std::u16string JoinEntryPath(const std::u16string& folder,
                                       const std::u16string& entryName) const = 0;
  virtual NameRules Rules() const = 0;
  // Why the latest failed call above failed (opening, creating, a folder), in the operating
  // system's words; empty when it is not known. Asked on the thread that made the call, before it
  // makes another.
  virtual std::u16string FailureReason() const { return {}; }
};

// The file system of the platform the program was built for.
std::unique_ptr<FileSystem> NativeFileSystem();

}  // namespace ozr
