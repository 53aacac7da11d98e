// Files through the wide-character Windows calls. Every path is made absolute and normalised, then
// given in the extended-length "\\?\" form, so that long entry names under deep folders work.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/entry_name.h"
#include "platform/file_system.h"

namespace ozr {

namespace {

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// The absolute, normalised, extended-length form of a path; the path itself when that fails.
std::wstring Extended(const std::u16string& path) {
  const wchar_t* raw = Wide(path);
  if (path.rfind(u"\\\\?\\", 0) == 0) return raw;
  const DWORD needed = GetFullPathNameW(raw, 0, nullptr, nullptr);
  if (needed == 0) return raw;
  std::wstring full(needed, L'\0');
  const DWORD written = GetFullPathNameW(raw, needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return raw;
  full.resize(written);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// The system's text for an error code, without the line end it comes with.
std::u16string ErrorReason(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string reason(reinterpret_cast<const char16_t*>(text), length);
  LocalFree(text);
  while (!reason.empty() && (reason.back() == u'\n' || reason.back() == u'\r')) reason.pop_back();
  return reason;
}

// Keeps the reason of the latest failed call: a call's result goes through Checked, which takes
// GetLastError's text when the call failed.
class ReasonKeeper {
 public:
  bool Checked(bool ok) { return ok || Refused(GetLastError()); }
  bool Refused(DWORD error) {
    reason_ = ErrorReason(error);
    return false;
  }
  const std::u16string& reason() const { return reason_; }

 private:
  std::u16string reason_;
};

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  HANDLE get() const { return h_; }
  bool Close() {
    if (h_ == INVALID_HANDLE_VALUE) return true;
    const BOOL ok = CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok != FALSE;
  }

 private:
  HANDLE h_;
};

class Win32ReadableFile final : public ReadableFile {
 public:
  explicit Win32ReadableFile(HANDLE h) : handle_(h) {}

  uint64_t Size() override {
    LARGE_INTEGER size{};
    return GetFileSizeEx(handle_.get(), &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
  }
  void Seek(uint64_t position) override {
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(position);
    // A refused position delivers nothing, rather than reading on from the old one.
    seekFailed_ = position > static_cast<uint64_t>(INT64_MAX) ||
                  !SetFilePointerEx(handle_.get(), distance, nullptr, FILE_BEGIN);
  }
  size_t Read(uint8_t* buffer, size_t count) override {
    if (seekFailed_) return 0;
    size_t done = 0;
    while (done < count) {
      const DWORD ask = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
      DWORD got = 0;
      ReadFile(handle_.get(), buffer + done, ask, &got, nullptr);
      if (got == 0) break;
      done += got;
    }
    return done;
  }

 private:
  Handle handle_;
  bool seekFailed_ = false;
};

class Win32WritableFile final : public WritableFile {
 public:
  explicit Win32WritableFile(HANDLE h) : handle_(h) {}

  size_t Write(const uint8_t* data, size_t count) override {
    size_t done = 0;
    while (done < count && handle_.get() != INVALID_HANDLE_VALUE) {
      const DWORD ask = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
      DWORD put = 0;
      const BOOL ok = WriteFile(handle_.get(), data + done, ask, &put, nullptr);
      if (put == 0) {
        reasons_.Checked(ok != FALSE);
        break;
      }
      done += put;
    }
    return done;
  }
  bool Close() override { return reasons_.Checked(handle_.Close()); }
  std::u16string FailureReason() const override { return reasons_.reason(); }

 private:
  Handle handle_;
  ReasonKeeper reasons_;
};

class Win32FileSystem final : public FileSystem {
 public:
  std::unique_ptr<ReadableFile> OpenForReading(const std::u16string& path) override {
    const HANDLE h = CreateFileW(Extended(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (!reasons_.Checked(h != INVALID_HANDLE_VALUE)) return nullptr;
    return std::make_unique<Win32ReadableFile>(h);
  }

  std::unique_ptr<WritableFile> CreateTemporaryBeside(const std::u16string& target,
                                                      std::u16string& tempPath) override {
    static std::atomic<unsigned> counter{0};
    const size_t slash = target.rfind(u'\\');
    const std::u16string folder = slash == std::u16string::npos ? u"" : target.substr(0, slash + 1);
    const unsigned seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 100; ++attempt) {
      const unsigned tag = seed + counter.fetch_add(1) * 2654435761u;
      std::u16string candidate = folder + u"~ozr";
      for (int shift = 28; shift >= 0; shift -= 4)
        candidate += u"0123456789abcdef"[(tag >> shift) & 0xF];
      candidate += u".tmp";
      const HANDLE h = CreateFileW(Extended(candidate).c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_NEW, 0, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        tempPath = candidate;
        return std::make_unique<Win32WritableFile>(h);
      }
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
        reasons_.Refused(error);
        return nullptr;
      }
    }
    reasons_.Refused(ERROR_FILE_EXISTS);
    return nullptr;
  }

  PathKind QueryPath(const std::u16string& path) override {
    const DWORD attributes = GetFileAttributesW(Extended(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kDirectory : PathKind::kOther;
  }

  bool MakeDirectory(const std::u16string& path) override {
    return reasons_.Checked(CreateDirectoryW(Extended(path).c_str(), nullptr) != FALSE);
  }

  bool RemoveFile(const std::u16string& path) override {
    return reasons_.Checked(DeleteFileW(Extended(path).c_str()) != FALSE);
  }

  bool MoveReplacing(const std::u16string& from, const std::u16string& to) override {
    return reasons_.Checked(MoveFileExW(Extended(from).c_str(), Extended(to).c_str(),
                                        MOVEFILE_REPLACE_EXISTING) != FALSE);
  }

  std::u16string JoinEntryPath(const std::u16string& folder,
                               const std::u16string& entryName) const override {
    return WindowsEntryPath(folder, entryName);
  }

  NameRules Rules() const override { return NameRules::kWindows; }
  std::u16string FailureReason() const override { return reasons_.reason(); }

 private:
  ReasonKeeper reasons_;
};

}  // namespace

std::unique_ptr<FileSystem> NativeFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace ozr
