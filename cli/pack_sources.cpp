// The walk uses std::filesystem; links to files are followed (their content is what a user
// means), links to folders are not (they may form cycles).
#include "cli/pack_sources.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "base/failure.h"
#include "base/fill_in.h"
#include "base/texts.h"
#include "base/utf.h"
#include "cli/cli_texts.h"
#include "cli/native_path.h"
#include "platform/entry_name.h"

namespace ozr::cli {

namespace {

namespace fs = std::filesystem;

using NameParts = std::vector<std::u16string>;

struct Found {
  NameParts parts;
  fs::path path;
  uint64_t size;
};

[[noreturn]] void FailRead(const fs::path& path) {
  throw Failure(MessageCode::kPackSourceReadFailed, PathText(path));
}

// One level of an entry name: the name of a file or folder as the archive will hold it.
std::u16string NamePart(const fs::path& component, const fs::path& whole) {
  std::u16string part = PathText(component);
  if (!IsWholeUtf16(part) || part.find(u'\\') != std::u16string::npos) {
    throw Failure::OfTool(FillIn(text::kUnrepresentableName, PathText(whole)));
  }
  return part;
}

std::u16string JoinName(const NameParts& parts) {
  std::u16string name;
  for (const std::u16string& part : parts) {
    if (!name.empty()) name += u'\\';
    name += part;
  }
  return name;
}

class Collector {
 public:
  explicit Collector(const std::u16string& archive) {
    std::error_code error;
    if (fs::exists(NativePath(archive), error)) archive_ = NativePath(archive);
  }

  void AddInput(const std::u16string& input) {
    const fs::path path = NativePath(input);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) FailRead(path);
    if (fs::is_directory(status)) {
      AddFolder(path);
    } else {
      std::vector<Found> found;
      AddFile(path, status, {NamePart(path.filename(), path)}, found);
      Append(found);
    }
  }

  SourceList Finish() { return std::move(list_); }

 private:
  // A folder is stored under its own last name; "." and ".." (and a root) only by their content.
  static NameParts FolderPrefix(const fs::path& folder) {
    fs::path normal = folder.lexically_normal();
    if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
    const fs::path last = normal.filename();
    if (last.empty() || last == "." || last == "..") return {};
    return {NamePart(last, folder)};
  }

  void AddFolder(const fs::path& folder) {
    const NameParts prefix = FolderPrefix(folder);
    std::vector<Found> found;
    std::error_code error;
    if (fs::is_empty(folder, error) && !error) Warn(text::kEmptyFolderSkipped, folder);
    fs::recursive_directory_iterator it(folder, error);
    if (error) FailRead(folder);
    for (; it != fs::recursive_directory_iterator(); Advance(it)) {
      const fs::path& path = it->path();
      const fs::file_status linkStatus = it->symlink_status(error);
      if (error) FailRead(path);
      const fs::file_status status = it->status(error);
      const bool dangling = static_cast<bool>(error);
      if (!dangling && fs::is_directory(status)) {
        if (fs::is_symlink(linkStatus)) {
          Warn(text::kFolderLinkSkipped, path);
        } else if (fs::is_empty(path, error) && !error) {
          Warn(text::kEmptyFolderSkipped, path);
        }
        continue;
      }
      NameParts parts = prefix;
      for (const fs::path& component : path.lexically_relative(folder)) {
        parts.push_back(NamePart(component, path));
      }
      if (dangling) {
        Warn(text::kSpecialFileSkipped, path);
      } else {
        AddFile(path, status, std::move(parts), found);
      }
    }
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.parts < b.parts; });
    Append(found);
  }

  // Moves the walk to its next entry. A failure names the folder that could not be read: the one
  // the walk was about to enter, or else the one it was reading.
  static void Advance(fs::recursive_directory_iterator& it) {
    const fs::path current = it->path();
    std::error_code error;
    const bool entering =
        it.recursion_pending() && it->is_directory(error) && !it->is_symlink(error);
    it.increment(error);
    if (error) FailRead(entering ? current : current.parent_path());
  }

  void AddFile(const fs::path& path, const fs::file_status& status, NameParts parts,
               std::vector<Found>& found) {
    if (!fs::is_regular_file(status)) {
      Warn(text::kSpecialFileSkipped, path);
      return;
    }
    std::error_code error;
    if (!archive_.empty() && fs::equivalent(path, archive_, error)) return;
    const uintmax_t size = fs::file_size(path, error);
    if (error) FailRead(path);
    if (size == 0) {
      Warn(ozr::text::kPackEmptyEntry, path);
      return;
    }
    found.push_back({std::move(parts), path, size});
  }

  void Append(const std::vector<Found>& found) {
    for (const Found& f : found) {
      std::u16string name = JoinName(f.parts);
      if (!IsPortableEntryName(name)) {
        throw Failure::OfTool(FillIn(text::kNameRefusedOnWindows, PathText(f.path)));
      }
      if (!names_.insert(name).second) throw Failure::OfTool(FillIn(text::kDuplicateName, name));
      list_.entries.push_back({std::move(name), {}, PathText(f.path)});
      list_.totalSize += f.size;
    }
  }

  void Warn(const char16_t* pattern, const fs::path& path) {
    list_.warnings.push_back(FillIn(pattern, PathText(path)));
  }

  fs::path archive_;
  std::set<std::u16string> names_;
  SourceList list_;
};

}  // namespace

SourceList CollectSources(const std::vector<std::u16string>& inputs,
                          const std::u16string& archive) {
  Collector collector(archive);
  for (const std::u16string& input : inputs) collector.AddInput(input);
  return collector.Finish();
}

}  // namespace ozr::cli
