// The extraction job: password, key, selection, then entry by entry the folders, the overwrite
// question, the frames and the checksum, with one stop path for each way a job can end early.
// Output goes to a temporary file beside the target and replaces it only once its checksum
// matched, so neither a failure nor an abort ever destroys a file the user already had.
#include "extract/extraction_job.h"

#include <optional>

#include "base/failure.h"
#include "base/texts.h"
#include "codec/chunk_sum.h"
#include "extract/frame_pipeline.h"
#include "platform/entry_name.h"

namespace ozr {

namespace {

constexpr uint64_t kProgressUnit = 64000;  // packed bytes per step of the entry's bar

// How one entry ended.
enum class EntryEnd { kDone, kSkipped, kUnsafeSkipped, kQuestionStop, kFrameStop, kMismatchStop };

// The entry's output: a temporary file that becomes the target only when committed. A failed
// step keeps the operating system's reason; a temporary file that cannot be removed is listed.
class PendingOutput {
 public:
  PendingOutput(FileSystem& files, std::vector<std::u16string>& leftBehind)
      : files_(files), leftBehind_(leftBehind) {}
  ~PendingOutput() { Discard(); }
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  // `replacing`: the target exists, so the data must reach the disk before the commit.
  Made Create(const std::u16string& target, const std::u16string& within, bool replacing) {
    const Made made = files_.CreateTemporaryBeside(target, within, replacing, file_);
    if (made == Made::kFailed) reason_ = files_.FailureReason();
    return made;
  }
  bool Write(const uint8_t* data, uint32_t count) {
    return Kept(file_->Write(data, count) == count);
  }
  bool Close() { return Kept(file_->Close()); }
  // Deletes the temporary file; the target is untouched.
  void Discard() {
    if (file_ && !file_->Discard()) leftBehind_.push_back(file_->LeftPath());
    file_.reset();
  }
  // Puts the finished file in the target's place. False (temporary file gone) when it cannot.
  bool Commit() {
    if (Kept(file_->Commit())) {
      file_.reset();
      return true;
    }
    Discard();
    return false;
  }
  // Why the latest step failed, in the operating system's words.
  const std::u16string& reason() const { return reason_; }

 private:
  bool Kept(bool ok) {
    if (!ok) reason_ = file_->FailureReason();
    return ok;
  }

  FileSystem& files_;
  std::vector<std::u16string>& leftBehind_;
  std::unique_ptr<TemporaryFile> file_;
  std::u16string reason_;
};

class Job {
 public:
  Job(ArchiveSession& session, const std::u16string& destination,
      const std::atomic<bool>& abortRequested, ExtractionDialog& dialog, FileSystem& files,
      const JobTuning& tuning, JobPurpose purpose)
      : session_(session),
        destination_(destination),
        abortRequested_(abortRequested),
        dialog_(dialog),
        files_(files),
        tuning_(tuning),
        purpose_(purpose),
        encrypted_(session.header.encrypted()) {}

  JobOutcome Run() {
    if (const std::optional<JobEnd> refused = MakeKey()) return Ended(*refused);
    const std::vector<int32_t> selection = dialog_.SelectedIndices();
    StartPipeline(selection);
    SetUpBars(selection.size());
    for (size_t i = 0; i < selection.size(); ++i) {
      dialog_.SetProgressPosition(kProgressEntries, i + 1);
      const EntryEnd end = ExtractEntry(selection[i], i);
      if (!Counted(end)) return Stopped(end);
    }
    return Succeeded();
  }

 private:
  // The password and, for an encrypted archive, the key. The end of the job when there is none.
  std::optional<JobEnd> MakeKey() {
    std::u16string password = dialog_.ReadPassword();
    if (password.size() > kMaxPasswordLength) password.resize(kMaxPasswordLength);
    if (!encrypted_) return std::nullopt;
    if (password.empty()) {
      dialog_.ShowMessage({MessageCode::kEnterPassword, text::kCaptionError, kMbIconWarning});
      dialog_.SetBusy(false);
      return JobEnd::kNoPassword;
    }
    try {
      key_.emplace(DeriveArchiveKey(password));
    } catch (const Failure& failure) {
      dialog_.ShowMessage(failure.ToMessage(text::kCaptionErrorBang, kMbOk));
      dialog_.SetBusy(false);
      return JobEnd::kKeyFailed;
    }
    return std::nullopt;
  }

  // Decoding of the selected entries that exist, in selection order, on the pipeline's threads.
  void StartPipeline(const std::vector<int32_t>& selection) {
    std::vector<PipelineEntry> entries;
    pipelineIndex_.assign(selection.size(), kNotInPipeline);
    const uint64_t dataArea = session_.DataAreaPosition();
    for (size_t i = 0; i < selection.size(); ++i) {
      const auto found = session_.catalog.find(static_cast<uint32_t>(selection[i]));
      if (selection[i] < 0 || found == session_.catalog.end()) continue;
      pipelineIndex_[i] = entries.size();
      entries.push_back({dataArea + found->second.streamOffset, found->second.record.packedSize});
    }
    pipeline_.emplace(*session_.file, key_ ? &*key_ : nullptr, std::move(entries),
                      tuning_.decoderThreads, tuning_.speculate);
  }

  void SetUpBars(size_t entries) {
    dialog_.SetProgressRange(kProgressEntries, entries);
    dialog_.SetProgressPosition(kProgressEntries, 0);
    dialog_.SetProgressRange(kProgressBytes, 1);
    dialog_.SetProgressPosition(kProgressBytes, 0);
  }

  // Counts an entry that went its way; false for an end that stops the job.
  bool Counted(EntryEnd end) {
    switch (end) {
      case EntryEnd::kDone:
        ++outcome_.written;
        return true;
      case EntryEnd::kSkipped:
        ++outcome_.skipped;
        return true;
      case EntryEnd::kUnsafeSkipped:
        ++outcome_.unsafeSkipped;
        return true;
      default:
        return false;
    }
  }

  // The stop paths: each releases the key first and leaves the dialog idle with reset bars.
  JobOutcome Stopped(EntryEnd end) {
    ReleaseKey();
    JobEnd jobEnd = JobEnd::kQuestionStop;  // the user chose to stop: nothing more to say
    if (end == EntryEnd::kFrameStop && stopFailure_->code() == MessageCode::kAborted) {
      jobEnd = JobEnd::kAborted;
    } else if (end == EntryEnd::kFrameStop) {
      jobEnd = JobEnd::kFrameStop;
      dialog_.ShowMessage(stopFailure_->ToMessage(text::kCaptionErrorBang, kMbIconError));
    } else if (end == EntryEnd::kMismatchStop) {
      jobEnd = JobEnd::kMismatchStop;
      dialog_.ShowMessage({MessageCode::kEntrySumMismatch, text::kCaptionErrorBang, kMbIconError});
    }
    dialog_.SetBusy(false);
    dialog_.ResetProgress();
    return Ended(jobEnd);
  }

  JobOutcome Succeeded() {
    ReleaseKey();
    dialog_.ResetProgress();
    dialog_.ShowMessage(
        {MessageCode::kExtractionSucceeded, text::kCaptionSuccess, kMbIconInformation});
    dialog_.SetBusy(false);
    return Ended(JobEnd::kSucceeded);
  }

  // The pipeline's threads stop before the key they use is destroyed.
  void ReleaseKey() {
    pipeline_.reset();
    key_.reset();
  }

  JobOutcome Ended(JobEnd end) {
    outcome_.end = end;
    return outcome_;
  }

  // A "…Прервать распаковку?" question about `argument`; true when the user chose to stop.
  bool AskToStop(MessageCode question, const std::u16string& argument,
                 const std::u16string& reason = {}) {
    Message message(question, text::kCaptionError, kMbYesNo | kMbIconError, argument);
    message.detail = reason;
    return dialog_.ShowMessage(message) == kIdYes;
  }

  EntryEnd ExtractEntry(int32_t index, size_t ordinal) {
    const size_t piped = pipelineIndex_[ordinal];
    if (piped == kNotInPipeline) return EntryEnd::kSkipped;
    const EntryEnd end =
        ExtractPipedEntry(session_.catalog.at(static_cast<uint32_t>(index)), piped);
    if (end == EntryEnd::kSkipped || end == EntryEnd::kUnsafeSkipped) pipeline_->Skip(piped);
    return end;
  }

  EntryEnd ExtractPipedEntry(const CatalogEntry& entry, size_t piped) {
    if (purpose_ == JobPurpose::kExtract && !IsSafeEntryName(entry.name, files_.Rules())) {
      return AskToStop(MessageCode::kUnsafeEntryName, entry.name) ? EntryEnd::kQuestionStop
                                                                  : EntryEnd::kUnsafeSkipped;
    }
    if (const std::optional<EntryEnd> end = CreateEntryDirectories(entry)) return *end;

    const std::u16string path = files_.JoinEntryPath(destination_, entry.name);
    const PathKind existing = files_.QueryPath(path);
    if (existing != PathKind::kMissing &&
        dialog_.ShowMessage({MessageCode::kFileExists, text::kCaptionError,
                             kMbYesNo | kMbIconQuestion, path}) == kIdNo) {
      return EntryEnd::kSkipped;
    }
    PendingOutput output(files_, outcome_.leftBehind);
    // A folder cannot be replaced by a file, so it is a file that cannot be created.
    const Made made = existing == PathKind::kDirectory
                          ? Made::kFailed
                          : output.Create(path, destination_, existing != PathKind::kMissing);
    if (made == Made::kOutside) return LeadsOutside(entry);
    if (made == Made::kFailed) {
      return AskToStop(MessageCode::kCreateFileFailed, path, output.reason())
                 ? EntryEnd::kQuestionStop
                 : EntryEnd::kSkipped;
    }

    const EntryRecord record = entry.record;
    dialog_.SetProgressRange(kProgressBytes,
                             std::max<uint64_t>(1, record.packedSize / kProgressUnit));
    dialog_.SetProgressPosition(kProgressBytes, 0);
    const EntryEnd written = WriteFrames(record, piped, output);
    if (written != EntryEnd::kDone) return written;
    if (!output.Commit()) {
      return AskToStop(MessageCode::kCreateFileFailed, path, output.reason())
                 ? EntryEnd::kQuestionStop
                 : EntryEnd::kSkipped;
    }
    return EntryEnd::kDone;
  }

  // A name whose folder, as the system found it, lies outside the destination (a link there leads
  // out of it) is unsafe like one that says so itself.
  EntryEnd LeadsOutside(const CatalogEntry& entry) {
    return AskToStop(MessageCode::kUnsafeEntryName, entry.name) ? EntryEnd::kQuestionStop
                                                                : EntryEnd::kUnsafeSkipped;
  }

  // Makes the folders a name calls for, outermost first. The entry's end when it goes no further.
  std::optional<EntryEnd> CreateEntryDirectories(const CatalogEntry& entry) {
    const std::u16string& name = entry.name;
    for (size_t j = name.find(u'\\'); j != std::u16string::npos; j = name.find(u'\\', j + 1)) {
      const std::u16string path = files_.JoinEntryPath(destination_, name.substr(0, j));
      const PathKind kind = files_.QueryPath(path);
      if (kind == PathKind::kDirectory) continue;
      std::u16string reason;
      if (kind == PathKind::kMissing) {
        const Made made = files_.MakeDirectory(path, destination_);
        if (made == Made::kDone) continue;
        if (made == Made::kOutside) return LeadsOutside(entry);
        reason = files_.FailureReason();
      }
      if (AskToStop(MessageCode::kCreateDirectoryFailed, path, reason)) {
        return EntryEnd::kQuestionStop;
      }
    }
    return std::nullopt;
  }

  EntryEnd WriteFrames(const EntryRecord& record, size_t piped, PendingOutput& output) {
    uint64_t remaining = record.packedSize;
    uint64_t inflated = 0;
    uint32_t outputSum = 0;
    try {
      for (bool last = false; !last;) {
        const DecodedFrame frame = pipeline_->Next(piped);
        // An entry is damaged the moment it inflates past its declared size: the disk never gets
        // more than the list promised.
        inflated += frame.inflatedLength;
        if (inflated > record.unpackedSize) break;
        outputSum =
            ChunkSumUpdate(outputSum, frame.output, static_cast<int32_t>(frame.inflatedLength));
        if (abortRequested_.load()) throw Failure::Aborted();
        if (!output.Write(frame.output, frame.inflatedLength)) {
          throw Failure(MessageCode::kWriteFailed, {}, output.reason());
        }
        remaining -= frame.storedLength + kFrameOverhead;
        dialog_.SetProgressPosition(kProgressBytes,
                                    (record.packedSize - remaining) / kProgressUnit);
        last = frame.last;
      }
      // A damaged entry, also one that ended short of its size, is neither flushed nor kept.
      if (outputSum != record.entrySum || inflated != record.unpackedSize) {
        output.Discard();
        return EntryEnd::kMismatchStop;
      }
      if (!output.Close()) throw Failure(MessageCode::kWriteFailed, {}, output.reason());
    } catch (const Failure& failure) {
      output.Discard();
      stopFailure_ = failure;
      return EntryEnd::kFrameStop;
    }
    return EntryEnd::kDone;
  }

  ArchiveSession& session_;
  const std::u16string& destination_;
  const std::atomic<bool>& abortRequested_;
  ExtractionDialog& dialog_;
  FileSystem& files_;
  const JobTuning tuning_;
  const JobPurpose purpose_;
  const bool encrypted_;
  std::optional<ArchiveKey> key_;
  std::optional<FramePipeline> pipeline_;
  static constexpr size_t kNotInPipeline = SIZE_MAX;
  std::vector<size_t> pipelineIndex_;   // selection ordinal to pipeline entry
  std::optional<Failure> stopFailure_;  // what ended the entry that stopped the job
  JobOutcome outcome_;
};

}  // namespace

JobOutcome ExtractionJob(ArchiveSession& session, const std::u16string& destinationFolder,
                         const std::atomic<bool>& abortRequested, ExtractionDialog& dialog,
                         FileSystem& files, const JobTuning& tuning, JobPurpose purpose) {
  Job job(session, destinationFolder, abortRequested, dialog, files, tuning, purpose);
  return job.Run();
}

}  // namespace ozr
