// Files through POSIX calls. Entry names' "\" levels become "/" levels; paths are UTF-8.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

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
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

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

class PosixWritableFile final : public WritableFile {
 public:
  explicit PosixWritableFile(int fd) : fd_(fd) {}

  size_t Write(const uint8_t* data, size_t count) override {
    size_t done = 0;
    while (done < count && fd_.get() >= 0) {
      const ssize_t n = ::write(fd_.get(), data + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) reasons_.Refused(errno);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }
  bool Close() override { return reasons_.Checked(fd_.Close()); }
  std::u16string FailureReason() const override { return reasons_.reason(); }

 private:
  FileDescriptor fd_;
  ReasonKeeper reasons_;
};

std::string Native(const std::u16string& path) { return ToUtf8(path); }

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

  std::unique_ptr<WritableFile> CreateTemporaryBeside(const std::u16string& target,
                                                      std::u16string& tempPath) override {
    static std::atomic<uint64_t> counter{0};
    const std::string nativeTarget = Native(target);
    const size_t slash = nativeTarget.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : nativeTarget.substr(0, slash + 1);
    const auto seed =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                              (uint64_t{static_cast<uint32_t>(::getpid())} << 32));
    for (int attempt = 0; attempt < 100; ++attempt) {
      const uint64_t tag = seed + (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
      const std::string candidate =
          folder + ".ozr-" + std::to_string(tag % 100000000000ull) + ".tmp";
      const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) {
        tempPath = FromUtf8(candidate);
        return std::make_unique<PosixWritableFile>(fd);
      }
      if (!reasons_.Checked(errno == EEXIST)) return nullptr;
    }
    reasons_.Refused(EEXIST);
    return nullptr;
  }

  PathKind QueryPath(const std::u16string& path) override {
    const std::string native = Native(path);
    struct stat info {};
    if (::lstat(native.c_str(), &info) != 0) return PathKind::kMissing;
    // A link is what it points to; a dangling one still occupies the name.
    if (S_ISLNK(info.st_mode) && ::stat(native.c_str(), &info) != 0) return PathKind::kOther;
    return S_ISDIR(info.st_mode) ? PathKind::kDirectory : PathKind::kOther;
  }

  bool MakeDirectory(const std::u16string& path) override {
    return reasons_.Checked(::mkdir(Native(path).c_str(), 0777) == 0);
  }

  bool RemoveFile(const std::u16string& path) override {
    return reasons_.Checked(::unlink(Native(path).c_str()) == 0);
  }

  bool MoveReplacing(const std::u16string& from, const std::u16string& to) override {
    return reasons_.Checked(::rename(Native(from).c_str(), Native(to).c_str()) == 0);
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
  ReasonKeeper reasons_;
};

}  // namespace

std::unique_ptr<FileSystem> NativeFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace ozr
