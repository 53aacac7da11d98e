// `ozr pack`: the writer fed with files from the disk. The archive is written to a temporary file
// beside the output and moved over it only when complete, so a failure or Ctrl+C never leaves a
// half archive behind nor destroys the file that was there.
#include <algorithm>
#include <optional>
#include <string>

#include "archive/records.h"
#include "archive/signed_image.h"
#include "base/failure.h"
#include "base/fill_in.h"
#include "base/size_text.h"
#include "base/texts.h"
#include "base/utf.h"
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/display_text.h"
#include "cli/native_path.h"
#include "cli/pack_sources.h"
#include "cli/progress_line.h"
#include "pack/archive_writer.h"

namespace ozr::cli {

namespace {

// The output's file name, cut to what a title may hold without splitting a surrogate pair. Bytes
// of a name that is not UTF-8 become U+FFFD: an archive holds characters only.
std::u16string DefaultTitle(const std::u16string& output) {
  std::u16string title = FromUtf8(ToUtf8(PathText(NativePath(output).filename())));
  if (title.size() > kMaxTitleLength) {
    size_t cut = kMaxTitleLength;
    if (title[cut - 1] >= 0xD800 && title[cut - 1] <= 0xDBFF) --cut;
    title.resize(cut);
  }
  return title.empty() ? std::u16string(ozr::text::kDefaultCaption) : title;
}

struct Stub {
  std::vector<uint8_t> bytes;
  bool signatureRemoved = false;
};

// The unpacker to put in front of the archive. A signature it carries would be broken by the
// archive behind it, so its certificate table is left out and its security entry and image
// checksum are cleared (a zero checksum means none was computed); the finished file can be signed.
Stub ReadStub(const std::u16string& path, FileSystem& files) {
  const std::unique_ptr<ReadableFile> file = files.OpenForReading(path);
  if (!file) throw Failure(MessageCode::kPackSourceReadFailed, path, files.FailureReason());
  const Failure unreadable(MessageCode::kPackSourceReadFailed, path);
  const std::optional<CertificateTable> table = FindCertificateTable(*file);
  const uint64_t size = table ? table->offset : file->Size();
  if (size > SIZE_MAX) throw unreadable;
  Stub stub;
  stub.bytes.resize(static_cast<size_t>(size));
  file->Seek(0);
  if (file->Read(stub.bytes.data(), stub.bytes.size()) != stub.bytes.size()) throw unreadable;
  if (table) {
    std::fill_n(stub.bytes.begin() + static_cast<ptrdiff_t>(table->entryPosition), 8, 0);
    std::fill_n(stub.bytes.begin() + static_cast<ptrdiff_t>(table->checkSumPosition), 4, 0);
    stub.signatureRemoved = true;
  }
  return stub;
}

// The temporary file of the archive being written; removed unless it became the output, and
// named on stderr when it cannot be.
class PendingArchive {
 public:
  PendingArchive(FileSystem& files, const std::u16string& output, Console& console)
      : output_(output), console_(console) {
    // An archive that replaces a file reaches the disk before it takes that file's place.
    const bool replacing = files.QueryPath(output) != PathKind::kMissing;
    if (files.CreateTemporaryBeside(output, {}, replacing, file_) != Made::kDone) {
      throw Failure::OfTool(FillIn(text::kCreateOutputFailed, output), files.FailureReason());
    }
  }
  ~PendingArchive() {
    if (file_ && !file_->Discard()) {
      console_.Write(
          Stream::kError,
          DisplayText(FillIn(text::kTemporaryFileLeft, file_->LeftPath()), false) + u"\n");
    }
  }
  PendingArchive(const PendingArchive&) = delete;
  PendingArchive& operator=(const PendingArchive&) = delete;

  WritableFile& file() { return *file_; }

  void Commit() {
    if (!file_->Close()) throw Failure(MessageCode::kWriteFailed, {}, file_->FailureReason());
    if (!file_->Commit()) {
      throw Failure::OfTool(FillIn(text::kCreateOutputFailed, output_), file_->FailureReason());
    }
    file_.reset();
  }

 private:
  const std::u16string output_;
  Console& console_;
  std::unique_ptr<TemporaryFile> file_;
};

PackOptions OptionsOf(const Arguments& arguments) {
  PackOptions options;
  options.title = arguments.title.value_or(DefaultTitle(arguments.output));
  options.comment = arguments.comment;
  options.compressionLevel = arguments.level;
  if (arguments.password) {
    options.encrypted = true;
    options.password = *arguments.password;
  }
  return options;
}

}  // namespace

int RunPack(const Arguments& arguments, Console& console, FileSystem& files,
            const std::u16string& defaultStub, const std::atomic<bool>& interrupted) {
  try {
    const SourceList sources = CollectSources(arguments.inputs, arguments.output);
    for (const std::u16string& warning : sources.warnings) {
      console.Write(Stream::kError, DisplayText(warning, false) + u"\n");
    }
    if (sources.entries.empty()) throw Failure::OfTool(text::kNothingToPack);
    PackOptions options = OptionsOf(arguments);
    Stub stub;
    if (arguments.sfx) {
      const std::u16string stubPath = arguments.stub.value_or(defaultStub);
      stub = ReadStub(stubPath, files);
      if (stub.signatureRemoved) {
        console.Write(Stream::kError,
                      DisplayText(FillIn(text::kStubSignatureRemoved, stubPath), true) + u"\n");
      }
      // Signing then appends its table right behind the trailer, without padding.
      options.endAlignment = 8;
    }

    PendingArchive pending(files, arguments.output, console);
    if (pending.file().Write(stub.bytes.data(), stub.bytes.size()) != stub.bytes.size()) {
      throw Failure(MessageCode::kWriteFailed, {}, pending.file().FailureReason());
    }
    ProgressLine line(console, !arguments.quiet && console.IsTerminal(Stream::kError));
    const PackResult result = WriteArchive(
        sources.entries, options, &files, pending.file(), stub.bytes.size(), [&](uint64_t done) {
          if (interrupted.load()) throw Failure::Aborted();
          line.Show(FormatProgress(0, 0, done, sources.totalSize));
        });
    line.Clear();
    pending.Commit();
    if (!arguments.quiet) {
      const auto count = static_cast<uint32_t>(sources.entries.size());
      console.Write(Stream::kOutput,
                    FormatSummaryLine(count, result.totalUnpackedSize, result.totalPackedSize) +
                        u"\n" + FormatLevelLine(options.compressionLevel) + u"\n");
    }
    return kExitSuccess;
  } catch (const Failure& failure) {
    if (failure.code() == MessageCode::kAborted) {
      console.Write(Stream::kError, std::u16string(text::kInterrupted) + u"\n");
      return kExitInterrupted;
    }
    console.Write(Stream::kError, DisplayMessage(failure.text(), failure.detail()) + u"\n");
    return kExitFailure;
  }
}

}  // namespace ozr::cli
