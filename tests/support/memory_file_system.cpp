// The in-memory file system: a map from resolved paths to folders and files.
#include "support/memory_file_system.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "support/memory_files.h"

namespace ozr::testing {

namespace {

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

std::u16string Upper(std::u16string_view s) {
  std::u16string out(s);
  std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
  return out;
}

// Names Windows opens as devices in every folder, with or without an extension.
bool IsWindowsDevice(std::u16string_view level) {
  std::u16string base = Upper(level.substr(0, level.find(u'.')));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  static const std::array<std::u16string_view, 6> kNames = {u"CON", u"PRN",    u"AUX",
                                                            u"NUL", u"CONIN$", u"CONOUT$"};
  if (std::find(kNames.begin(), kNames.end(), base) != kNames.end()) return true;
  if (base.size() != 4 || (base.compare(0, 3, u"COM") != 0 && base.compare(0, 3, u"LPT") != 0)) {
    return false;
  }
  const char16_t digit = base[3];
  return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
         digit == u'\u00B3';
}

}  // namespace

class MemoryFileSystem::Writer final : public WritableFile {
 public:
  Writer(MemoryFileSystem& files, std::u16string path, std::shared_ptr<std::vector<uint8_t>> bytes)
      : files_(files), path_(std::move(path)), bytes_(std::move(bytes)), open_(files.openWriters_) {
    ++*open_;
  }
  ~Writer() override { --*open_; }

  size_t Write(const uint8_t* data, size_t count) override {
    if (closed_ || files_.Refused(Call::kWrite, path_)) return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, files_.spaceLeft));
    files_.spaceLeft -= n;
    if (bytes_->size() < position_ + n) bytes_->resize(position_ + n);
    if (n != 0) std::memcpy(bytes_->data() + position_, data, n);
    position_ += n;
    return n;
  }
  bool Close() override {
    if (closed_) return true;
    closed_ = true;
    return !files_.Refused(Call::kClose, path_);
  }

 private:
  MemoryFileSystem& files_;
  std::u16string path_;
  std::shared_ptr<std::vector<uint8_t>> bytes_;
  std::shared_ptr<int> open_;
  size_t position_ = 0;
  bool closed_ = false;
};

std::optional<std::u16string> MemoryFileSystem::Resolve(const std::u16string& path) const {
  const bool windows = rules_ == NameRules::kWindows;
  std::vector<std::u16string> levels;
  size_t start = 0;
  if (windows) {
    if (path.size() < 2 || path[1] != u':' || UpperAscii(path[0]) < u'A' ||
        UpperAscii(path[0]) > u'Z') {
      return std::nullopt;
    }
    levels.push_back(Upper(path.substr(0, 2)));
    start = 2;
  } else if (path.empty() || path[0] != u'/') {
    return std::nullopt;
  }
  const size_t root = levels.size();
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && path[end] != u'/' && !(windows && path[end] == u'\\')) ++end;
    std::u16string level = path.substr(start, end - start);
    start = end + 1;
    if (level.empty() || level == u".") continue;
    if (level == u"..") {
      if (levels.size() == root) return std::nullopt;
      levels.pop_back();
      continue;
    }
    if (windows) {
      while (!level.empty() && (level.back() == u'.' || level.back() == u' ')) level.pop_back();
      if (level.empty()) continue;
      if (level.find(u':') != std::u16string::npos || IsWindowsDevice(level)) return std::nullopt;
      level = Upper(level);
    }
    levels.push_back(std::move(level));
  }
  std::u16string resolved = windows ? levels.front() : u"";
  for (size_t i = root; i < levels.size(); ++i) resolved += Separator() + levels[i];
  if (resolved.empty()) resolved = u"/";
  return resolved;
}

bool MemoryFileSystem::IsInside(const std::u16string& path, const std::u16string& folder) const {
  const auto p = Resolve(path);
  const auto f = Resolve(folder);
  if (!p || !f) return false;
  if (*p == *f) return true;
  const std::u16string prefix = f->back() == Separator() ? *f : *f + Separator();
  return p->compare(0, prefix.size(), prefix) == 0;
}

const MemoryFileSystem::Node* MemoryFileSystem::Find(const std::u16string& path) const {
  const auto resolved = Resolve(path);
  if (!resolved) return nullptr;
  const auto found = nodes_.find(*resolved);
  return found == nodes_.end() ? nullptr : &found->second;
}

bool MemoryFileSystem::ParentIsDirectory(const std::u16string& resolved) const {
  const size_t cut = resolved.rfind(Separator());
  if (cut == std::u16string::npos) return false;  // a drive has no parent
  const std::u16string parent = cut == 0 ? u"/" : resolved.substr(0, cut);
  const auto found = nodes_.find(parent);
  return found != nodes_.end() && found->second.directory;
}

void MemoryFileSystem::AddDirectory(const std::u16string& path) {
  const std::u16string resolved = Resolve(path).value();
  nodes_[rules_ == NameRules::kWindows ? resolved.substr(0, 2) : u"/"].directory = true;
  for (size_t cut = resolved.find(Separator(), 1); cut != std::u16string::npos;
       cut = resolved.find(Separator(), cut + 1)) {
    nodes_[resolved.substr(0, cut)].directory = true;
  }
  nodes_[resolved].directory = true;
}

void MemoryFileSystem::AddFile(const std::u16string& path, std::vector<uint8_t> bytes) {
  const std::u16string resolved = Resolve(path).value();
  const size_t cut = resolved.rfind(Separator());
  AddDirectory(cut == 0 ? u"/" : resolved.substr(0, cut));
  Node& node = nodes_[resolved];
  node.directory = false;
  node.bytes = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
}

std::unique_ptr<ReadableFile> MemoryFileSystem::OpenForReading(const std::u16string& path) {
  if (Refused(Call::kOpen, path)) return nullptr;
  const Node* node = Find(path);
  if (node == nullptr || node->directory) return nullptr;
  return std::make_unique<MemoryReadableFile>(*node->bytes);
}

std::unique_ptr<WritableFile> MemoryFileSystem::OpenWriter(const std::u16string& path,
                                                           const std::u16string& resolved,
                                                           bool temporary) {
  Node& node = nodes_[resolved];
  node.directory = false;
  node.temporary = temporary;
  node.bytes = std::make_shared<std::vector<uint8_t>>();
  return std::make_unique<Writer>(*this, path, node.bytes);
}

std::unique_ptr<WritableFile> MemoryFileSystem::CreateTemporaryBeside(const std::u16string& target,
                                                                      std::u16string& tempPath) {
  changed_.push_back(target);
  if (Refused(Call::kCreateTemporary, target)) return nullptr;
  const size_t cut = target.find_last_of(rules_ == NameRules::kWindows ? u"\\/" : u"/");
  const std::u16string folder = cut == std::u16string::npos ? u"" : target.substr(0, cut + 1);
  for (;;) {
    const std::string number = std::to_string(temporaryCounter_++);
    const std::u16string candidate =
        folder + u"~ozr" + std::u16string(number.begin(), number.end()) + u".tmp";
    const auto resolved = Resolve(candidate);
    if (!resolved || !ParentIsDirectory(*resolved)) return nullptr;
    if (nodes_.count(*resolved) != 0) continue;
    changed_.push_back(candidate);
    tempPath = candidate;
    return OpenWriter(candidate, *resolved, true);
  }
}

PathKind MemoryFileSystem::QueryPath(const std::u16string& path) {
  const Node* node = Find(path);
  if (node == nullptr) return PathKind::kMissing;
  return node->directory ? PathKind::kDirectory : PathKind::kOther;
}

bool MemoryFileSystem::MakeDirectory(const std::u16string& path) {
  changed_.push_back(path);
  if (Refused(Call::kMakeDirectory, path)) return false;
  const auto resolved = Resolve(path);
  if (!resolved || nodes_.count(*resolved) != 0 || !ParentIsDirectory(*resolved)) return false;
  nodes_[*resolved].directory = true;
  return true;
}

bool MemoryFileSystem::RemoveFile(const std::u16string& path) {
  changed_.push_back(path);
  if (Refused(Call::kRemove, path)) return false;
  const auto resolved = Resolve(path);
  if (!resolved) return false;
  const auto found = nodes_.find(*resolved);
  if (found == nodes_.end() || found->second.directory) return false;
  nodes_.erase(found);
  return true;
}

bool MemoryFileSystem::MoveReplacing(const std::u16string& from, const std::u16string& to) {
  changed_.push_back(from);
  changed_.push_back(to);
  if (Refused(Call::kMove, to)) return false;
  const auto source = Resolve(from);
  const auto target = Resolve(to);
  if (!source || !target || !ParentIsDirectory(*target)) return false;
  const auto found = nodes_.find(*source);
  if (found == nodes_.end() || found->second.directory) return false;
  if (*source == *target) return true;
  const auto existing = nodes_.find(*target);
  if (existing != nodes_.end() && existing->second.directory) return false;
  Node moved = found->second;
  moved.temporary = false;
  nodes_.erase(found);
  nodes_[*target] = std::move(moved);
  return true;
}

std::u16string MemoryFileSystem::JoinEntryPath(const std::u16string& folder,
                                               const std::u16string& entryName) const {
  std::u16string path = folder;
  for (const char16_t unit : entryName) {
    path += rules_ == NameRules::kPosix && unit == u'\\' ? u'/' : unit;
  }
  return path;
}

}  // namespace ozr::testing
