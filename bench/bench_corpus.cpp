// Corpus packing and archive opening for the benchmarks.
#include "bench_corpus.h"

#include <algorithm>
#include <stdexcept>

#include "archive/open_archive.h"
#include "base/failure.h"
#include "pack/archive_writer.h"

namespace ozr::bench {

namespace fs = std::filesystem;

namespace {

// Opening for the catalogue alone; a message is a failure.
class SilentView final : public DiscardingView {
 public:
  MessageAnswer ShowMessage(const Message& message) override { throw Failure(message.code); }
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
  options.encrypted = true;
  options.password = kPassword;
  options.compressionLevel = 6;
  auto files_ = NativeFileSystem();
  std::unique_ptr<TemporaryFile> out;
  if (files_->CreateTemporaryBeside(archive.u16string(), {}, false, out) != Made::kDone) {
    throw std::runtime_error("cannot create a file beside " + archive.string());
  }
  WriteArchive(entries, options, files_.get(), *out);
  if (!out->Close()) throw std::runtime_error("cannot write " + archive.string());
  if (!out->Commit()) throw std::runtime_error("cannot move the archive to " + archive.string());
}

void OpenNative(const fs::path& archive, ArchiveSession& session) {
  auto files = NativeFileSystem();
  SilentView view;
  if (!OpenArchive(archive.u16string(), session, *files, view))
    throw std::runtime_error("cannot open archive");
}

}  // namespace ozr::bench
