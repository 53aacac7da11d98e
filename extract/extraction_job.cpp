// The extraction job: password, key, selection, then entry by entry the folders, the overwrite
// question, the chunks and the checksum, with one stop path for each way a job can end early.
// Output goes to a temporary file beside the target and replaces it only once its checksum
// matched, so neither a failure nor an abort ever destroys a file the user already had.
#include "extract/extraction_job.h"

#include <optional>

#include "archive/failure.h"
#include "extract/chunk_sum.h"
#include "extract/decode_chunk.h"
#include "extract/entry_name.h"
#include "ui/fill_in.h"
#include "ui/texts.h"

namespace ozr {

namespace {

constexpr uint64_t kProgressUnit = 64000;  // packed bytes per step of the entry's bar
constexpr size_t kMaxPasswordUnits = 16;

// How one entry ended.
enum class EntryEnd { kDone, kSkipped, kUnsafeSkipped, kQuestionStop, kChunkStop, kMismatchStop };

// The entry's output: a temporary file that becomes the target only when committed.
class PendingOutput {
 public:
  explicit PendingOutput(FileSystem& files) : files_(files) {}
  ~PendingOutput() { Discard(); }
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  bool Create(const std::u16string& target) {
    file_ = files_.CreateTemporaryBeside(target, tempPath_);
    return file_ != nullptr;
  }
  bool Write(const uint8_t* data, uint32_t count) { return file_->Write(data, count) == count; }
  bool Close() { return file_->Close(); }
  // Closes and deletes the temporary file; the target is untouched.
  void Discard() {
    if (!file_) return;
    file_->Close();
    file_.reset();
    files_.RemoveFile(tempPath_);
  }
  // Moves the finished file over the target. False (temporary file gone) when it cannot.
  bool Commit(const std::u16string& target) {
    file_.reset();
    if (files_.MoveReplacing(tempPath_, target)) return true;
    files_.RemoveFile(tempPath_);
    return false;
  }

 private:
  FileSystem& files_;
  std::unique_ptr<WritableFile> file_;
  std::u16string tempPath_;
};

class Job {
 public:
  Job(ArchiveSession& session, const std::u16string& destination,
      const std::atomic<bool>& abortRequested, ExtractionDialog& dialog, FileSystem& files)
      : session_(session),
        destination_(destination),
        abortRequested_(abortRequested),
        dialog_(dialog),
        files_(files),
        encrypted_(session.header.encrypted()) {}

  JobOutcome Run() {
    std::u16string password = dialog_.ReadPassword();
    if (password.size() > kMaxPasswordUnits) password.resize(kMaxPasswordUnits);
    if (encrypted_ && password.empty()) {
      dialog_.ShowMessage({text::kEnterPassword, text::kCaptionError, kMbIconWarning});
      dialog_.SetBusy(false);
      return Ended(JobEnd::kNoPassword);
    }
    if (encrypted_) {
      try {
        key_.emplace(DeriveExtractionKey(password));
      } catch (const Failure& failure) {
        dialog_.ShowMessage({failure.text(), text::kCaptionErrorBang, kMbOk});
        dialog_.SetBusy(false);
        return Ended(JobEnd::kKeyFailed);
      }
    }
    const std::vector<int32_t> selection = dialog_.SelectedIndices();
    dialog_.SetProgressRange(kProgressEntries, selection.size());
    dialog_.SetProgressPosition(kProgressEntries, 0);
    dialog_.SetProgressRange(kProgressBytes, 1);
    dialog_.SetProgressPosition(kProgressBytes, 0);

    for (size_t i = 0; i < selection.size(); ++i) {
      dialog_.SetProgressPosition(kProgressEntries, i + 1);
      switch (ExtractEntry(selection[i])) {
        case EntryEnd::kDone:
          ++outcome_.written;
          break;
        case EntryEnd::kSkipped:
          ++outcome_.skipped;
          break;
        case EntryEnd::kUnsafeSkipped:
          ++outcome_.unsafeSkipped;
          break;
        case EntryEnd::kQuestionStop:
          key_.reset();
          dialog_.SetBusy(false);
          dialog_.ResetProgress();
          return Ended(JobEnd::kQuestionStop);
        case EntryEnd::kChunkStop:
          key_.reset();
          if (!stopMessage_.empty()) {
            dialog_.ShowMessage({stopMessage_, text::kCaptionErrorBang, kMbIconError});
          }
          dialog_.SetBusy(false);
          dialog_.ResetProgress();
          return Ended(stopMessage_.empty() ? JobEnd::kAborted : JobEnd::kChunkStop);
        case EntryEnd::kMismatchStop:
          key_.reset();
          dialog_.ShowMessage({text::kEntrySumMismatch, text::kCaptionErrorBang, kMbIconError});
          dialog_.SetBusy(false);
          dialog_.ResetProgress();
          return Ended(JobEnd::kMismatchStop);
      }
    }
    key_.reset();
    dialog_.ResetProgress();
    dialog_.ShowMessage({text::kExtractionSucceeded, text::kCaptionSuccess, kMbIconInformation});
    dialog_.SetBusy(false);
    return Ended(JobEnd::kSucceeded);
  }

 private:
  JobOutcome Ended(JobEnd end) {
    outcome_.end = end;
    return outcome_;
  }

  bool AskToStop(const char16_t* pattern, const std::u16string& argument) {
    return dialog_.ShowMessage(
               {FillIn(pattern, argument), text::kCaptionError, kMbYesNo | kMbIconError}) == kIdYes;
  }

  EntryEnd ExtractEntry(int32_t index) {
    const auto found = session_.catalog.find(static_cast<uint32_t>(index));
    if (index < 0 || found == session_.catalog.end()) return EntryEnd::kSkipped;
    const CatalogEntry& entry = found->second;
    if (!IsSafeEntryName(entry.name, files_.Rules())) {
      return AskToStop(text::kUnsafeEntryName, entry.name) ? EntryEnd::kQuestionStop
                                                           : EntryEnd::kUnsafeSkipped;
    }
    if (!CreateEntryDirectories(entry.name)) return EntryEnd::kQuestionStop;

    const std::u16string path = files_.JoinEntryPath(destination_, entry.name);
    const PathKind existing = files_.QueryPath(path);
    if (existing != PathKind::kMissing &&
        dialog_.ShowMessage({FillIn(text::kFileExists, path), text::kCaptionError,
                             kMbYesNo | kMbIconQuestion}) == kIdNo) {
      return EntryEnd::kSkipped;
    }
    PendingOutput output(files_);
    // A folder cannot be replaced by a file, so it is a file that cannot be created.
    if (existing == PathKind::kDirectory || !output.Create(path)) {
      return AskToStop(text::kCreateFileFailed, path) ? EntryEnd::kQuestionStop
                                                      : EntryEnd::kSkipped;
    }

    const EntryRecord record = entry.record;
    dialog_.SetProgressRange(kProgressBytes,
                             std::max<uint64_t>(1, record.packedSize / kProgressUnit));
    dialog_.SetProgressPosition(kProgressBytes, 0);
    const EntryEnd written = WriteChunks(record, entry.streamOffset, output);
    if (written != EntryEnd::kDone) return written;
    if (!output.Commit(path)) {
      return AskToStop(text::kCreateFileFailed, path) ? EntryEnd::kQuestionStop
                                                      : EntryEnd::kSkipped;
    }
    return EntryEnd::kDone;
  }

  // Makes the folders a name calls for, outermost first. False when the user chose to stop.
  bool CreateEntryDirectories(const std::u16string& name) {
    for (size_t j = name.find(u'\\'); j != std::u16string::npos; j = name.find(u'\\', j + 1)) {
      const std::u16string path = files_.JoinEntryPath(destination_, name.substr(0, j));
      const PathKind kind = files_.QueryPath(path);
      if (kind == PathKind::kDirectory) continue;
      if (kind == PathKind::kMissing && files_.MakeDirectory(path)) continue;
      if (AskToStop(text::kCreateDirectoryFailed, path)) return false;
    }
    return true;
  }

  EntryEnd WriteChunks(const EntryRecord& record, uint64_t streamOffset, PendingOutput& output) {
    ReadableFile& archive = *session_.file;
    archive.Seek(session_.DataAreaPosition() + streamOffset);
    uint64_t remaining = record.packedSize;
    uint64_t consumed = 0;
    uint32_t outputSum = 0;
    try {
      while (remaining != 0) {
        const DecodedChunk chunk = DecodeChunk(archive, key_ ? &*key_ : nullptr, record.packedSize,
                                               consumed, input_, output_);
        outputSum =
            ChunkSumUpdate(outputSum, output_.data(), static_cast<int32_t>(chunk.inflatedLength));
        if (abortRequested_.load()) throw Failure(u"");
        if (!output.Write(output_.data(), chunk.inflatedLength)) throw Failure(text::kWriteFailed);
        consumed += chunk.storedLength + kFrameOverhead;
        remaining -= chunk.storedLength + kFrameOverhead;
        dialog_.SetProgressPosition(kProgressBytes,
                                    (record.packedSize - remaining) / kProgressUnit);
      }
      if (!output.Close()) throw Failure(text::kWriteFailed);
    } catch (const Failure& failure) {
      output.Discard();
      stopMessage_ = failure.text();
      return EntryEnd::kChunkStop;
    }
    if (outputSum != record.entrySum) {
      output.Discard();
      return EntryEnd::kMismatchStop;
    }
    return EntryEnd::kDone;
  }

  ArchiveSession& session_;
  const std::u16string& destination_;
  const std::atomic<bool>& abortRequested_;
  ExtractionDialog& dialog_;
  FileSystem& files_;
  const bool encrypted_;
  std::optional<ExtractionKey> key_;
  ChunkBuffer input_;
  ChunkBuffer output_;
  std::u16string stopMessage_;
  JobOutcome outcome_;
};

}  // namespace

JobOutcome ExtractionJob(ArchiveSession& session, const std::u16string& destinationFolder,
                         const std::atomic<bool>& abortRequested, ExtractionDialog& dialog,
                         FileSystem& files) {
  Job job(session, destinationFolder, abortRequested, dialog, files);
  return job.Run();
}

}  // namespace ozr
