// Files through Linux system calls. Entry names' "\" levels become "/" levels; paths are bytes,
// kept exactly (base/utf.h). A file being written is unnamed (O_TMPFILE) until its commit links
// it into its folder, and new files and folders are made relative to their folder as opened, so
// that the check of where that folder lies cannot be fooled by a link swapped in afterwards.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "base/utf.h"
#include "platform/file_system.h"

namespace ozr {

namespace {

// strerror_r comes in two forms: glibc's returns the text, POSIX's fills the buffer.
[[maybe_unused]] const char* ErrorText(const char* returned, const char*) { return returned; }
[[maybe_unused]] const char* ErrorText(int, const char* buffer) { return buffer; }

// The system's text for an errno value.
std::u16string ErrorReason(int error) {
  char buffer[256] = {};
  return FromUtf8(ErrorText(::strerror_r(error, buffer, sizeof buffer), buffer));
}

// Keeps the reason of the latest failed call: a call's result goes through Checked, which takes
// errno's text when the call failed.
class ReasonKeeper {
 public:
  bool Checked(bool ok) { return ok || Refused(errno); }
  bool Refused(int error) {
    reason_ = ErrorReason(error);
    return false;
  }
  const std::u16string& reason() const { return reason_; }

 private:
  std::u16string reason_;
};

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }

  int get() const { return fd_; }
  bool Close() {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

 private:
  int fd_;
};

class PosixReadableFile final : public ReadableFile {
 public:
  explicit PosixReadableFile(int fd) : fd_(fd) {}

  uint64_t Size() override {
    struct stat info {};
    return ::fstat(fd_.get(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
  }
  void Seek(uint64_t position) override { position_ = position; }
  size_t Read(uint8_t* buffer, size_t count) override {
    size_t done = 0;
    // Positions beyond what off_t holds deliver nothing, like any position past the end.
    while (done < count && position_ <= static_cast<uint64_t>(INT64_MAX)) {
      const ssize_t n =
          ::pread(fd_.get(), buffer + done, count - done, static_cast<off_t>(position_));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
      position_ += static_cast<uint64_t>(n);
    }
    return done;
  }

 private:
  FileDescriptor fd_;
  uint64_t position_ = 0;
};

// Calls `make(name)` with fresh names in the ".ozr-NNNN.tmp" pattern until one is not taken
// (EEXIST); true with the name kept when one succeeded.
template <typename Make>
bool UnderFreshName(const Make& make, std::string& name) {
  static std::atomic<uint64_t> counter{0};
  const auto seed =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                            (uint64_t{static_cast<uint32_t>(::getpid())} << 32));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const uint64_t tag = seed + (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    name = ".ozr-" + std::to_string(tag % 100000000000ull) + ".tmp";
    if (make(name)) return true;
    if (errno != EEXIST) return false;
  }
  errno = EEXIST;
  return false;
}

// Linking an unnamed file needs /proc (without privileges); where it is missing, files being
// written are named from the start.
bool UnnamedFilesLink() {
  static const bool available = ::access("/proc/self/fd", X_OK) == 0;
  return available;
}

// A folder opened to make files and folders in it, shared by those being made.
using OpenedFolder = std::shared_ptr<const FileDescriptor>;

class PosixTemporaryFile final : public TemporaryFile {
 public:
  // `name` is empty for an unnamed file.
  PosixTemporaryFile(OpenedFolder folder, std::string folderPath, FileDescriptor file,
                     std::string name, std::string leaf, bool durable)
      : folder_(std::move(folder)),
        folderPath_(std::move(folderPath)),
        file_(std::move(file)),
        name_(std::move(name)),
        leaf_(std::move(leaf)),
        durable_(durable) {}
  ~PosixTemporaryFile() override { Discard(); }
  PosixTemporaryFile(const PosixTemporaryFile&) = delete;
  PosixTemporaryFile& operator=(const PosixTemporaryFile&) = delete;

  size_t Write(const uint8_t* data, size_t count) override {
    size_t done = 0;
    while (done < count && !closed_) {
      const ssize_t n = ::write(file_.get(), data + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) reasons_.Refused(errno);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }

  bool Close() override {
    if (closed_) return true;
    closed_ = true;
    if (durable_ && !reasons_.Checked(::fsync(file_.get()) == 0)) return false;
    // A named file is closed now, where a network file system reports late write failures; an
    // unnamed one stays open until it is linked.
    return name_.empty() || reasons_.Checked(file_.Close());
  }

  bool Commit() override {
    if (name_.empty() && !Link()) return false;
    if (!committed_ && !reasons_.Checked(::renameat(folder_->get(), name_.c_str(), folder_->get(),
                                                    leaf_.c_str()) == 0)) {
      return false;
    }
    committed_ = true;
    file_.Close();
    return true;
  }

  bool Discard() override {
    file_.Close();
    if (committed_ || name_.empty()) return true;
    if (::unlinkat(folder_->get(), name_.c_str(), 0) != 0 && errno != ENOENT) return false;
    name_.clear();
    return true;
  }

  std::u16string LeftPath() const override { return PathFromBytes(folderPath_ + "/" + name_); }
  std::u16string FailureReason() const override { return reasons_.reason(); }

 private:
  // Gives the unnamed file a name: the target's own when it is free (committed then), otherwise a
  // fresh one for the rename over the target.
  bool Link() {
    const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
    const auto linkAs = [&](const std::string& name) {
      return ::linkat(AT_FDCWD, self.c_str(), folder_->get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    };
    if (linkAs(leaf_)) {
      committed_ = true;
      return true;
    }
    if (errno != EEXIST) return reasons_.Refused(errno);
    std::string name;
    if (!UnderFreshName(linkAs, name)) return reasons_.Refused(errno);
    name_ = std::move(name);
    return true;
  }

  OpenedFolder folder_;
  std::string folderPath_;
  FileDescriptor file_;
  std::string name_;  // the file's name in its folder; empty while it has none
  std::string leaf_;  // the target's name in the same folder
  bool durable_;
  bool closed_ = false;
  bool committed_ = false;
  ReasonKeeper reasons_;
};

std::string Native(const std::u16string& path) { return PathToBytes(path); }

// A path's folder and last level: "a/b" gives "a" and "b", "b" gives "." and "b".
std::pair<std::string, std::string> SplitLast(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the opened folder `folder` is the folder `within` names or lies inside it, found by
// walking up through ".." from the folder itself: whatever links led to it, ".." is its real
// parent. kFailed (errno kept) when that cannot be told.
Made WhereFolderLies(int folder, const std::string& within) {
  struct stat root {};
  struct stat here {};
  if (::stat(within.c_str(), &root) != 0 || ::fstat(folder, &here) != 0) return Made::kFailed;
  FileDescriptor up;
  int current = folder;
  for (;;) {
    if (SameFile(here, root)) return Made::kDone;
    FileDescriptor parent(::openat(current, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat above {};
    if (parent.get() < 0 || ::fstat(parent.get(), &above) != 0) return Made::kFailed;
    if (SameFile(above, here)) return Made::kOutside;  // the top of the file system
    here = above;
    up = std::move(parent);
    current = up.get();
  }
}

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<ReadableFile> OpenForReading(const std::u16string& path) override {
    const int fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (!reasons_.Checked(fd >= 0)) return nullptr;
    auto file = std::make_unique<PosixReadableFile>(fd);
    struct stat info {};
    if (!reasons_.Checked(::fstat(fd, &info) == 0)) return nullptr;
    // A folder opens on POSIX but is no file to read, as on Windows.
    if (S_ISDIR(info.st_mode)) {
      reasons_.Refused(EISDIR);
      return nullptr;
    }
    return file;
  }

  Made CreateTemporaryBeside(const std::u16string& target, const std::u16string& within,
                             bool durable, std::unique_ptr<TemporaryFile>& file) override {
    auto [folderPath, leaf] = SplitLast(Native(target));
    OpenedFolder folder;
    if (const Made opened = OpenFolder(folderPath, within, folder); opened != Made::kDone) {
      return opened;
    }
    FileDescriptor written;
    std::string name;
    if (UnnamedFilesLink()) {
      written =
          FileDescriptor(::openat(folder->get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    }
    // File systems without unnamed files refuse them in one of these ways.
    if (written.get() < 0 &&
        (!UnnamedFilesLink() || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
      UnderFreshName(
          [&](const std::string& candidate) {
            written = FileDescriptor(::openat(folder->get(), candidate.c_str(),
                                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            return written.get() >= 0;
          },
          name);
    }
    if (!reasons_.Checked(written.get() >= 0)) return Made::kFailed;
    file = std::make_unique<PosixTemporaryFile>(std::move(folder), std::move(folderPath),
                                                std::move(written), std::move(name),
                                                std::move(leaf), durable);
    return Made::kDone;
  }

  PathKind QueryPath(const std::u16string& path) override {
    const std::string native = Native(path);
    struct stat info {};
    if (::lstat(native.c_str(), &info) != 0) return PathKind::kMissing;
    // A link is what it points to; a dangling one still occupies the name.
    if (S_ISLNK(info.st_mode) && ::stat(native.c_str(), &info) != 0) return PathKind::kOther;
    return S_ISDIR(info.st_mode) ? PathKind::kDirectory : PathKind::kOther;
  }

  Made MakeDirectory(const std::u16string& path, const std::u16string& within) override {
    const auto [folderPath, leaf] = SplitLast(Native(path));
    OpenedFolder folder;
    if (const Made opened = OpenFolder(folderPath, within, folder); opened != Made::kDone) {
      return opened;
    }
    return reasons_.Checked(::mkdirat(folder->get(), leaf.c_str(), 0777) == 0) ? Made::kDone
                                                                               : Made::kFailed;
  }

  std::u16string JoinEntryPath(const std::u16string& folder,
                               const std::u16string& entryName) const override {
    std::u16string path = folder;
    for (const char16_t unit : entryName) path += unit == u'\\' ? u'/' : unit;
    return path;
  }

  NameRules Rules() const override { return NameRules::kPosix; }
  std::u16string FailureReason() const override { return reasons_.reason(); }

 private:
  // Opens the folder that receives a new file or folder, and checks where it lies. The latest one
  // is kept open for the next call, as a folder's files come one after another: it is used again
  // while its path still leads to it.
  Made OpenFolder(const std::string& path, const std::u16string& within, OpenedFolder& folder) {
    struct stat now {};
    if (!(folder_ && path == folderPath_ && within == folderWithin_ &&
          ::stat(path.c_str(), &now) == 0 && SameFile(now, folderIdentity_))) {
      auto opened =
          std::make_shared<FileDescriptor>(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (!reasons_.Checked(opened->get() >= 0)) return Made::kFailed;
      if (!within.empty() && !SeenInside(opened->get(), within)) {
        const Made where = WhereFolderLies(opened->get(), Native(within));
        if (where == Made::kFailed) reasons_.Refused(errno);
        if (where != Made::kDone) return where;
      }
      if (::fstat(opened->get(), &folderIdentity_) != 0) folderIdentity_ = {};
      folder_ = std::move(opened);
      folderPath_ = path;
      folderWithin_ = within;
    }
    folder = folder_;
    return Made::kDone;
  }

  // The quick answer for the usual case, in one call: the path the system keeps for the opened
  // folder lies under the real path of `within` (found once per job). Anything else is left to
  // WhereFolderLies.
  bool SeenInside(int folder, const std::u16string& within) {
    if (within != within_) {
      within_ = within;
      char* real = ::realpath(Native(within).c_str(), nullptr);
      realWithin_ = real == nullptr ? "" : real;
      std::free(real);
    }
    char seen[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(folder);
    const ssize_t n = ::readlink(link.c_str(), seen, sizeof seen);
    if (realWithin_.empty() || n <= 0 || static_cast<size_t>(n) >= sizeof seen) return false;
    const std::string_view path(seen, static_cast<size_t>(n));
    const std::string_view root =
        realWithin_ == "/" ? std::string_view() : std::string_view(realWithin_);
    return path == root || (path.substr(0, root.size()) == root && path.size() > root.size() &&
                            path[root.size()] == '/');
  }

  ReasonKeeper reasons_;
  std::u16string within_;   // the folder whose real path
  std::string realWithin_;  // is this
  OpenedFolder folder_;     // the latest folder opened, at this path,
  std::string folderPath_;
  std::u16string folderWithin_;  // checked to lie within this one
  struct stat folderIdentity_ {};
};

}  // namespace

std::unique_ptr<FileSystem> NativeFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace ozr
