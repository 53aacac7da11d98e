// The in-memory file system: a map from resolved paths to folders and files.
#include "support/memory_file_system.h"

#include <algorithm>

#include "support/memory_files.h"

namespace ozr::testing {

namespace {

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

}  // namespace

// Writes into its node's bytes; removes its file when destroyed uncommitted.
class MemoryFileSystem::Writer final : public TemporaryFile {
 public:
  Writer(MemoryFileSystem& files, std::u16string path, std::u16string target, bool durable)
      : files_(files), path_(std::move(path)), target_(std::move(target)), durable_(durable) {
    ++files_.openWriters_;
  }
  ~Writer() override {
    Remove();
    --files_.openWriters_;
  }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  size_t Write(const uint8_t* data, size_t count) override {
    if (files_.Refused(Call::kWrite, path_)) return 0;
    const auto n = static_cast<size_t>(std::min<uint64_t>(count, files_.spaceLeft));
    files_.spaceLeft -= n;
    std::vector<uint8_t>& bytes = Own().bytes;
    bytes.insert(bytes.end(), data, data + n);
    return n;
  }
  bool Close() override {
    if (files_.Refused(Call::kClose, path_)) return false;
    Own().flushed = durable_;
    return true;
  }
  bool Commit() override {
    files_.changed_.insert(files_.changed_.end(), {path_, target_});
    const auto target = files_.Resolve(target_);
    if (ended_ || files_.Refused(Call::kMove, target_) || !target ||
        !files_.ParentIsDirectory(*target)) {
      return false;
    }
    const auto existing = files_.nodes_.find(*target);
    if (existing != files_.nodes_.end() && existing->second.directory) return false;
    Node moved = std::move(Own());
    moved.temporary = false;
    files_.nodes_.erase(*files_.Resolve(path_));
    files_.nodes_[*target] = std::move(moved);
    return ended_ = true;
  }
  bool Discard() override { return Remove(); }
  std::u16string LeftPath() const override { return path_; }
  std::u16string FailureReason() const override { return u"refused"; }

 private:
  bool Remove() {
    if (ended_) return true;
    files_.changed_.push_back(path_);
    files_.nodes_.erase(*files_.Resolve(path_));
    return ended_ = true;
  }
  Node& Own() { return files_.nodes_.at(*files_.Resolve(path_)); }

  MemoryFileSystem& files_;
  std::u16string path_;
  std::u16string target_;
  bool durable_;
  bool ended_ = false;  // committed or removed
};

std::optional<std::u16string> MemoryFileSystem::Resolve(const std::u16string& path) const {
  std::u16string resolved;
  size_t start = 1;
  if (windows()) {
    if (path.size() < 2 || path[1] != u':' || Upper(path[0]) < u'A' || Upper(path[0]) > u'Z') {
      return std::nullopt;
    }
    resolved = {Upper(path[0]), u':'};
    start = 2;
  } else if (path.empty() || path[0] != u'/') {
    return std::nullopt;
  }
  std::vector<std::u16string> levels;
  while (start <= path.size()) {
    const size_t end = std::min(path.find_first_of(windows() ? u"\\/" : u"/", start), path.size());
    std::u16string level = path.substr(start, end - start);
    start = end + 1;
    if (level == u"..") {
      if (levels.empty()) return std::nullopt;
      levels.pop_back();
      continue;
    }
    if (windows()) {
      while (!level.empty() && (level.back() == u'.' || level.back() == u' ')) level.pop_back();
      if (level.find(u':') != std::u16string::npos) return std::nullopt;
      std::transform(level.begin(), level.end(), level.begin(), Upper);
    }
    if (!level.empty() && level != u".") levels.push_back(level);
  }
  for (const auto& level : levels) resolved += Separator() + level;
  return resolved.empty() ? u"/" : resolved;
}

bool MemoryFileSystem::IsInside(const std::u16string& path, const std::u16string& folder) const {
  const auto p = Resolve(path);
  const auto f = Resolve(folder);
  if (!p || !f) return false;
  const std::u16string prefix = f->back() == Separator() ? *f : *f + Separator();
  return *p == *f || p->compare(0, prefix.size(), prefix) == 0;
}

const MemoryFileSystem::Node* MemoryFileSystem::Find(const std::u16string& path) const {
  const auto resolved = Resolve(path);
  const auto found = resolved ? nodes_.find(*resolved) : nodes_.end();
  return found == nodes_.end() ? nullptr : &found->second;
}

bool MemoryFileSystem::ParentIsDirectory(const std::u16string& resolved) const {
  const size_t cut = resolved.rfind(Separator());
  if (cut == std::u16string::npos) return false;  // a drive has no parent
  const auto found = nodes_.find(cut == 0 ? u"/" : resolved.substr(0, cut));
  return found != nodes_.end() && found->second.directory;
}

void MemoryFileSystem::AddDirectory(const std::u16string& path) {
  const std::u16string resolved = Resolve(path).value();
  nodes_[windows() ? resolved.substr(0, 2) : u"/"].directory = true;
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
  nodes_[resolved] = Node{false, false, false, std::move(bytes)};
}

std::unique_ptr<ReadableFile> MemoryFileSystem::OpenForReading(const std::u16string& path) {
  const Node* node = Find(path);
  if (node == nullptr || node->directory) return nullptr;
  return std::make_unique<MemoryReadableFile>(node->bytes);
}

Made MemoryFileSystem::CreateTemporaryBeside(const std::u16string& target, const std::u16string&,
                                             bool durable, std::unique_ptr<TemporaryFile>& file) {
  changed_.push_back(target);
  if (Refused(Call::kCreateTemporary, target)) return Made::kFailed;
  const std::u16string folder =
      target.substr(0, target.find_last_of(windows() ? u"\\/" : u"/") + 1);
  for (;;) {
    const std::string number = std::to_string(temporaryCounter_++);
    const std::u16string candidate =
        folder + u"~ozr" + std::u16string(number.begin(), number.end()) + u".tmp";
    const auto resolved = Resolve(candidate);
    if (!resolved || !ParentIsDirectory(*resolved)) return Made::kFailed;
    if (nodes_.count(*resolved) != 0) continue;
    changed_.push_back(candidate);
    nodes_[*resolved] = Node{false, true, false, {}};
    file = std::make_unique<Writer>(*this, candidate, target, durable);
    return Made::kDone;
  }
}

PathKind MemoryFileSystem::QueryPath(const std::u16string& path) {
  const Node* node = Find(path);
  if (node == nullptr) return PathKind::kMissing;
  return node->directory ? PathKind::kDirectory : PathKind::kOther;
}

Made MemoryFileSystem::MakeDirectory(const std::u16string& path, const std::u16string&) {
  changed_.push_back(path);
  const auto resolved = Resolve(path);
  if (!resolved || nodes_.count(*resolved) != 0 || !ParentIsDirectory(*resolved)) {
    return Made::kFailed;
  }
  nodes_[*resolved].directory = true;
  return Made::kDone;
}

std::u16string MemoryFileSystem::JoinEntryPath(const std::u16string& folder,
                                               const std::u16string& entryName) const {
  std::u16string path = folder + entryName;
  if (!windows()) std::replace(path.begin() + folder.size(), path.end(), u'\\', u'/');
  return path;
}

}  // namespace ozr::testing
