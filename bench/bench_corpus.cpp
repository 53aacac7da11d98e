// Corpus packing and archive opening for the benchmarks.
#include "bench_corpus.h"

#include <algorithm>
#include <stdexcept>

#include "archive/failure.h"
#include "archive/open_archive.h"
#include "pack/archive_writer.h"

namespace ozr::bench {

namespace fs = std::filesystem;

namespace {

class SilentView : public ArchiveView {
 public:
  void SetControlText(ControlId, const std::u16string&) override {}
  void SetCaption(const std::u16string&) override {}
  void AppendListItem(const std::u16string&) override {}
  void DisableControl(ControlId) override {}
  MessageAnswer ShowMessage(const Message& message) override { throw Failure(message.text); }
  void EndDialog(int) override {}
};

}  // namespace

void PackFolderOnce(const fs::path& folder, const fs::path& archive) {
  if (fs::exists(archive)) return;
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (e.is_regular_file() && e.file_size() > 0) files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<PackEntry> entries;
  for (const auto& file : files) {
    std::u16string name = fs::relative(file, folder).u16string();
    std::replace(name.begin(), name.end(), u'/', u'\\');
    entries.push_back({name, {}, file.u16string()});
  }
  PackOptions options;
  options.title = u"Бенчмарк";
  options.notEncrypted = 0;
  options.password = kPassword;
  options.compressionLevel = 6;
  auto files_ = NativeFileSystem();
  const fs::path partial = archive.string() + ".partial";
  {
    auto out = files_->CreateForWriting(partial.u16string());
    if (!out) throw std::runtime_error("cannot create " + partial.string());
    WriteArchive(entries, options, files_.get(), *out);
    if (!out->Close()) throw std::runtime_error("cannot write " + partial.string());
  }
  fs::rename(partial, archive);
}

void OpenNative(const fs::path& archive, ArchiveSession& session) {
  auto files = NativeFileSystem();
  SilentView view;
  std::u16string path = archive.u16string();
  if (!OpenArchive(path, session, *files, view)) throw std::runtime_error("cannot open archive");
}

}  // namespace ozr::bench
