// Files through the wide-character Windows calls. Every path is made absolute and normalised, then
// given in the extended-length "\\?\" form, so that long entry names under deep folders work.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Marks an open file for deletion when its last handle closes, or clears the mark.
bool MarkForDeletion(HANDLE h, bool deleteFile) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = deleteFile ? TRUE : FALSE;
  return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) !=
         FALSE;
}

// How a volume is told apart. FileIdInfo (Windows 8 and later) answers from the file system;
// the older call asks the volume itself.
enum class VolumeQuery { kFileId, kVolumeSerial };

// The FILE_ID_INFO layout, which older headers declare only for Windows 8 and later.
struct FileIdentity {
  uint64_t volume;
  uint8_t id[16];
};
constexpr auto kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);

std::optional<uint64_t> VolumeOf(HANDLE h, VolumeQuery query) {
  if (query == VolumeQuery::kFileId) {
    FileIdentity identity{};
    if (!GetFileInformationByHandleEx(h, kFileIdInfo, &identity, sizeof identity))
      return std::nullopt;
    return identity.volume;
  }
  BY_HANDLE_FILE_INFORMATION identity{};
  if (!GetFileInformationByHandle(h, &identity)) return std::nullopt;
  return identity.dwVolumeSerialNumber;
}

// The path of an open file or folder on its volume as the system resolved it (junctions and links
// followed); nothing when the system cannot tell. `buffer` is scratch space, kept by the caller
// so that a file's check allocates nothing.
std::optional<std::wstring> ResolvedPath(HANDLE h, std::vector<uint8_t>& buffer) {
  // A path on a volume is at most 32767 units long.
  buffer.resize(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
  auto* name = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
  if (!GetFileInformationByHandleEx(h, FileNameInfo, name, static_cast<DWORD>(buffer.size())))
    return std::nullopt;
  return std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t));
}

Handle OpenFolder(std::wstring path) {
  while (path.size() > 1 && path.back() == L'\\') path.pop_back();
  return Handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// Whether the path `path` is the folder `root` or lies inside it. Letters are compared as the file
// system does, without case.
bool IsSameOrInside(std::wstring_view path, std::wstring_view root) {
  while (!root.empty() && root.back() == L'\\') root.remove_suffix(1);
  if (path.size() < root.size() ||
      CompareStringOrdinal(path.data(), static_cast<int>(root.size()), root.data(),
                           static_cast<int>(root.size()), TRUE) != CSTR_EQUAL) {
    return false;
  }
  return path.size() == root.size() || path[root.size()] == L'\\';
}

// Keeps what a job makes inside the folder it writes into: every file and folder is checked where
// the system put it, on its own handle (links and junctions followed), against that folder's
// volume and path. The folder is located once per job and each folder found inside it is
// remembered with its resolved path, so a later file there needs only its path asked again; the
// volume, which Wine answers through another process, is asked once per folder.
class Confinement {
 public:
  // Whether the open file `file`, made in the folder named `folder`, lies inside `within`.
  Made HoldsFile(const std::u16string& within, HANDLE file, const std::u16string& folder) {
    std::optional<std::wstring> path = ResolvedPath(file, names_);
    if (path) path->resize(std::min(path->size(), path->rfind(L'\\')));
    return Holds(within, file, path, folder);
  }

  // Whether the folder named `folder` is `within` or lies inside it.
  Made HoldsFolder(const std::u16string& within, const std::u16string& folder) {
    const Handle opened = OpenFolder(Extended(folder));
    if (opened.get() == INVALID_HANDLE_VALUE) return Made::kFailed;
    return Holds(within, opened.get(), ResolvedPath(opened.get(), names_), folder);
  }

 private:
  struct Root {
    std::u16string within;
    VolumeQuery query;
    uint64_t volume;
    std::wstring path;
  };

  Made Holds(const std::u16string& within, HANDLE h, const std::optional<std::wstring>& path,
             const std::u16string& folder) {
    if (!path) return Made::kFailed;
    const bool known = root_ && root_->within == within;
    if (known) {
      const auto seen = checked_.find(folder);
      if (seen != checked_.end() && seen->second == *path) return Made::kDone;
    }
    if (!known && !Locate(within)) return Made::kFailed;
    Made made = Compare(h, *path);
    // The folder may have moved since it was located: "outside" is asked again of it as it is now.
    if (made == Made::kOutside && known) {
      if (!Locate(within)) return Made::kFailed;
      made = Compare(h, *path);
    }
    if (made == Made::kDone) checked_[folder] = *path;
    return made;
  }

  Made Compare(HANDLE h, const std::wstring& path) const {
    const std::optional<uint64_t> volume = VolumeOf(h, root_->query);
    if (!volume) return Made::kFailed;
    return *volume == root_->volume && IsSameOrInside(path, root_->path) ? Made::kDone
                                                                         : Made::kOutside;
  }

  bool Locate(const std::u16string& within) {
    root_.reset();
    checked_.clear();
    const Handle opened = OpenFolder(Extended(within));
    const std::optional<std::wstring> path = ResolvedPath(opened.get(), names_);
    if (opened.get() == INVALID_HANDLE_VALUE || !path) return false;
    for (const VolumeQuery query : {VolumeQuery::kFileId, VolumeQuery::kVolumeSerial}) {
      if (const std::optional<uint64_t> volume = VolumeOf(opened.get(), query)) {
        root_ = Root{within, query, *volume, *path};
        return true;
      }
    }
    return false;
  }

  std::optional<Root> root_;
  std::map<std::u16string, std::wstring> checked_;  // folder as named -> its resolved path
  std::vector<uint8_t> names_;                      // scratch space of ResolvedPath
};

// A file being written, marked for deletion until its commit, so that a process that dies leaves
// nothing behind. Made under a temporary name, it is renamed through its own handle at the commit;
// made under the target's own name (`target` empty), the commit only clears the mark.
class Win32TemporaryFile final : public TemporaryFile {
 public:
  Win32TemporaryFile(HANDLE h, std::u16string path, std::wstring target, bool marked, bool durable)
      : handle_(h),
        path_(std::move(path)),
        target_(std::move(target)),
        marked_(marked),
        durable_(durable) {}
  ~Win32TemporaryFile() override { Discard(); }
  Win32TemporaryFile(const Win32TemporaryFile&) = delete;
  Win32TemporaryFile& operator=(const Win32TemporaryFile&) = delete;

  size_t Write(const uint8_t* data, size_t count) override {
    size_t done = 0;
    while (done < count && !closed_) {
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

  bool Close() override {
    if (closed_) return true;
    closed_ = true;
    return !durable_ || reasons_.Checked(FlushFileBuffers(handle_.get()) != FALSE);
  }

  bool Commit() override {
    if (marked_ && !reasons_.Checked(MarkForDeletion(handle_.get(), false))) return false;
    if (target_.empty()) return Committed();
    // The rename takes the NT form of the path ("\\??\\" for "\\?\\").
    const std::wstring name = L"\\??\\" + target_.substr(4);
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), rename->FileName);
    if (!reasons_.Checked(SetFileInformationByHandle(handle_.get(), FileRenameInfo, rename,
                                                     static_cast<DWORD>(buffer.size())) != FALSE)) {
      if (marked_) MarkForDeletion(handle_.get(), true);
      return false;
    }
    return Committed();
  }

  bool Discard() override {
    handle_.Close();
    if (committed_ || marked_ || removed_) return true;
    removed_ =
        DeleteFileW(Extended(path_).c_str()) != FALSE || GetLastError() == ERROR_FILE_NOT_FOUND;
    return removed_;
  }

  std::u16string LeftPath() const override { return path_; }
  std::u16string FailureReason() const override { return reasons_.reason(); }
  HANDLE handle() const { return handle_.get(); }

 private:
  bool Committed() {
    committed_ = true;
    handle_.Close();
    return true;
  }

  Handle handle_;
  std::u16string path_;
  std::wstring target_;  // extended-length; empty when the file already has the target's name
  bool marked_;          // closing the handle deletes the file
  bool durable_;
  bool closed_ = false;
  bool committed_ = false;
  bool removed_ = false;
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

  Made CreateTemporaryBeside(const std::u16string& target, const std::u16string& within,
                             bool durable, std::unique_ptr<TemporaryFile>& file) override {
    const size_t slash = target.rfind(u'\\');
    const std::u16string folder = slash == std::u16string::npos ? u"" : target.substr(0, slash + 1);
    // A missing target is made under its own name, marked until the commit: no rename then, and
    // under Wine one search of the folder fewer. Where the mark cannot be set, a temporary name.
    const HANDLE direct = CreateNew(Extended(target));
    if (direct != INVALID_HANDLE_VALUE) {
      if (MarkForDeletion(direct, true)) {
        return Confined(within, folder,
                        std::make_unique<Win32TemporaryFile>(direct, target, L"", true, durable),
                        file);
      }
      CloseHandle(direct);
      DeleteFileW(Extended(target).c_str());
    } else if (!Exists(GetLastError())) {
      reasons_.Refused(GetLastError());
      return Made::kFailed;
    }
    static std::atomic<unsigned> counter{0};
    const unsigned seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 100; ++attempt) {
      const unsigned tag = seed + counter.fetch_add(1) * 2654435761u;
      std::u16string candidate = folder + u"~ozr";
      for (int shift = 28; shift >= 0; shift -= 4)
        candidate += u"0123456789abcdef"[(tag >> shift) & 0xF];
      candidate += u".tmp";
      const HANDLE h = CreateNew(Extended(candidate));
      if (h != INVALID_HANDLE_VALUE) {
        // Where the mark cannot be set, the file is removed by name instead.
        const bool marked = MarkForDeletion(h, true);
        return Confined(
            within, folder,
            std::make_unique<Win32TemporaryFile>(h, candidate, Extended(target), marked, durable),
            file);
      }
      const DWORD error = GetLastError();
      if (!Exists(error)) {
        reasons_.Refused(error);
        return Made::kFailed;
      }
    }
    reasons_.Refused(ERROR_FILE_EXISTS);
    return Made::kFailed;
  }

  PathKind QueryPath(const std::u16string& path) override {
    const DWORD attributes = GetFileAttributesW(Extended(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kDirectory : PathKind::kOther;
  }

  Made MakeDirectory(const std::u16string& path, const std::u16string& within) override {
    if (!within.empty()) {
      // The folder that receives the new one, as the system resolves it.
      const size_t slash = path.rfind(u'\\');
      const Made where = confinement_.HoldsFolder(
          within, path.substr(0, slash == std::u16string::npos ? 0 : slash + 1));
      if (where == Made::kFailed) reasons_.Refused(GetLastError());
      if (where != Made::kDone) return where;
    }
    return reasons_.Checked(CreateDirectoryW(Extended(path).c_str(), nullptr) != FALSE)
               ? Made::kDone
               : Made::kFailed;
  }

  std::u16string JoinEntryPath(const std::u16string& folder,
                               const std::u16string& entryName) const override {
    return WindowsEntryPath(folder, entryName);
  }

  NameRules Rules() const override { return NameRules::kWindows; }
  std::u16string FailureReason() const override { return reasons_.reason(); }

 private:
  static HANDLE CreateNew(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, 0, nullptr);
  }
  static bool Exists(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
  }

  // Hands over `made` when it lies inside `within` (checked on its own handle: where it really
  // is, whatever the path went through); otherwise it is discarded.
  Made Confined(const std::u16string& within, const std::u16string& folder,
                std::unique_ptr<Win32TemporaryFile> made, std::unique_ptr<TemporaryFile>& file) {
    const Made where =
        within.empty() ? Made::kDone : confinement_.HoldsFile(within, made->handle(), folder);
    if (where == Made::kFailed) reasons_.Refused(GetLastError());
    if (where == Made::kDone) file = std::move(made);
    return where;
  }

  ReasonKeeper reasons_;
  Confinement confinement_;
};

}  // namespace

std::unique_ptr<FileSystem> NativeFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace ozr
