// Corpus packing and frame loading for the benchmarks.
#include "bench_corpus.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "archive/open_archive.h"
#include "base/failure.h"
#include "codec/decode_chunk.h"
#include "pack/archive_writer.h"

namespace ozr::bench {

namespace fs = std::filesystem;

namespace {

class SilentView : public ArchiveView {
 public:
  void ShowDestinationFolder(const std::u16string&) override {}
  void ShowComment(const std::u16string&) override {}
  void ShowTitle(const std::u16string&) override {}
  void ShowSummary(const std::u16string&) override {}
  void ShowLevel(const std::u16string&) override {}
  void AppendEntryLine(const std::u16string&) override {}
  void DisablePassword() override {}
  MessageAnswer ShowMessage(const Message& message) override { throw Failure(message.code); }
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
  options.encrypted = true;
  options.password = kPassword;
  options.compressionLevel = 6;
  auto files_ = NativeFileSystem();
  std::u16string partial;
  {
    auto out = files_->CreateTemporaryBeside(archive.u16string(), partial);
    if (!out) throw std::runtime_error("cannot create a file beside " + archive.string());
    WriteArchive(entries, options, files_.get(), *out);
    if (!out->Close()) throw std::runtime_error("cannot write " + archive.string());
  }
  if (!files_->MoveReplacing(partial, archive.u16string())) {
    throw std::runtime_error("cannot move the archive to " + archive.string());
  }
}

void OpenNative(const fs::path& archive, ArchiveSession& session) {
  auto files = NativeFileSystem();
  SilentView view;
  if (!OpenArchive(archive.u16string(), session, *files, view))
    throw std::runtime_error("cannot open archive");
}

DecryptedFrames LoadFrames(ArchiveSession& session) {
  DecryptedFrames frames;
  std::optional<ArchiveKey> key;
  if (session.header.encrypted()) key.emplace(DeriveArchiveKey(kPassword));
  ChunkBuffer input, output;
  for (const auto& [index, entry] : session.catalog) {
    session.file->Seek(session.DataAreaPosition() + entry.streamOffset);
    uint64_t consumed = 0;
    while (consumed < entry.record.packedSize) {
      // Decodes the frame once to learn its decrypted payload, which stays in the input buffer.
      const FrameLengths frame = DecodeChunk(*session.file, key ? &*key : nullptr,
                                             entry.record.packedSize, consumed, input, output);
      frames.streams.emplace_back(input.data(), input.data() + frame.payloadLength);
      frames.inflatedBytes += frame.inflatedLength;
      consumed += frame.storedLength + kFrameOverhead;
    }
  }
  return frames;
}

}  // namespace ozr::bench
