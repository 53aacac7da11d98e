// Writes the data area entry by entry, then the directory, the header block and the trailer.
// Each frame holds one complete zlib stream of at most a ChunkBuffer of content. Encrypted entries
// form one CBC chain: every frame but the last is padded with zeros to whole blocks (behind the
// zlib stream, where the reader ignores them), and only the last frame carries PKCS#5 padding.
#include "pack/archive_writer.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "archive/records.h"
#include "base/failure.h"
#include "codec/archive_key.h"
#include "codec/chunk_sum.h"
#include "pack/archive_output.h"
#include "pack/frame_writer.h"

namespace ozr {

namespace {

// Input bytes that zlib always turns into one deflate block: fewer than its 32767 symbols.
constexpr uint32_t kOneBlockInput = 32000;

void Check(bool ok, MessageCode code, std::u16string_view argument = {}) {
  if (!ok) throw Failure(code, argument);
}

// The content of one entry, read in order.
class EntrySource {
 public:
  EntrySource(const PackEntry& entry, FileSystem* files) : entry_(entry) {
    if (entry.sourcePath.empty()) {
      size_ = entry.bytes.size();
      return;
    }
    if (files != nullptr) file_ = files->OpenForReading(entry.sourcePath);
    if (!file_) {
      throw Failure(MessageCode::kPackSourceReadFailed, entry.sourcePath,
                    files != nullptr ? files->FailureReason() : std::u16string());
    }
    size_ = file_->Size();
  }

  uint64_t size() const { return size_; }

  // Reads exactly `count` bytes of the content into `buffer`.
  void Read(uint8_t* buffer, size_t count) {
    if (!file_) {
      std::memcpy(buffer, entry_.bytes.data() + offset_, count);
    } else {
      Check(file_->Read(buffer, count) == count, MessageCode::kPackSourceReadFailed,
            entry_.sourcePath);
    }
    offset_ += count;
  }

 private:
  const PackEntry& entry_;
  std::unique_ptr<ReadableFile> file_;
  uint64_t size_ = 0;
  uint64_t offset_ = 0;
};

void ValidateOptions(const PackOptions& options) {
  Check(!options.title.empty() && options.title.size() <= kMaxTitleLength,
        MessageCode::kPackTitleLength);
  Check(options.comment.size() <= kMaxCommentLength, MessageCode::kPackCommentTooLong);
  Check(options.compressionLevel <= kMaxCompressionLevel, MessageCode::kPackLevelRange);
  if (options.encrypted) {
    Check(!options.password.empty(), MessageCode::kEnterPassword);
    Check(options.password.size() <= kMaxPasswordLength, MessageCode::kPackPasswordTooLong);
  }
}

class ArchiveWriter {
 public:
  ArchiveWriter(const PackOptions& options, FileSystem* files, WritableFile& out, uint64_t start,
                const PackProgress& progress)
      : options_(options),
        files_(files),
        out_(out, start),
        progress_(progress),
        key_(options.encrypted ? std::optional<ArchiveKey>(DeriveArchiveKey(options.password))
                               : std::nullopt),
        frames_(options.compressionLevel, key_ ? &*key_ : nullptr),
        window_(kChunkBufferSize) {}

  PackResult Write(const std::vector<PackEntry>& entries) {
    Check(entries.size() <= UINT32_MAX, MessageCode::kPackDirectoryTooLarge);
    for (const PackEntry& entry : entries) {
      Check(entry.name.size() <= kMaxNameLength, MessageCode::kPackNameTooLong, entry.name);
    }
    std::vector<EntryRecord> records;
    records.reserve(entries.size());
    for (const PackEntry& entry : entries) records.push_back(WriteEntry(entry));

    const uint64_t directoryAt = out_.position();
    WriteDirectory(out_, records, entries);
    const uint64_t headerAt = out_.position();
    header_.entryCount = static_cast<uint32_t>(entries.size());
    header_.compressionLevel = options_.compressionLevel;
    header_.commentLength = static_cast<uint32_t>(options_.comment.size());
    header_.titleLength = static_cast<uint32_t>(options_.title.size());
    header_.notEncrypted = options_.encrypted ? 0 : 1;
    WriteHeaderBlock(out_, header_, options_.comment, options_.title);
    WriteEndFiller(out_, options_.endAlignment);
    WriteTrailer(out_, headerAt, directoryAt);
    return {header_.totalUnpackedSize, header_.totalPackedSize, out_.position()};
  }

 private:
  EntryRecord WriteEntry(const PackEntry& entry) {
    EntrySource source(entry, files_);
    // A file that became empty since it was chosen is named by its path, like one that was empty.
    Check(source.size() != 0, MessageCode::kPackEmptyEntry,
          entry.sourcePath.empty() ? entry.name : entry.sourcePath);
    EntryRecord record;
    record.unpackedSize = source.size();
    record.nameLength = static_cast<uint32_t>(entry.name.size());
    uint64_t remaining = source.size();
    uint32_t buffered = 0;
    uint32_t outputSum = 0;
    while (remaining != 0) {
      const auto wanted = static_cast<uint32_t>(std::min<uint64_t>(kChunkBufferSize, remaining));
      if (buffered < wanted) {
        source.Read(window_.data() + buffered, wanted - buffered);
        buffered = wanted;
      }
      const uint32_t taken = WriteFrame(wanted, remaining, record.packedSize);
      outputSum = ChunkSumUpdate(outputSum, window_.data(), static_cast<int32_t>(taken));
      std::memmove(window_.data(), window_.data() + taken, buffered - taken);
      buffered -= taken;
      remaining -= taken;
      packedContent_ += taken;
      if (progress_) progress_(packedContent_);
    }
    record.entrySum = outputSum;
    header_.totalUnpackedSize += record.unpackedSize;
    header_.totalPackedSize += record.packedSize;
    return record;
  }

  // Writes one frame of the first `available` window bytes, taking fewer when the payload would
  // not fit a ChunkBuffer. Returns the count of content bytes the frame holds.
  uint32_t WriteFrame(uint32_t available, uint64_t remaining, uint64_t& packedSize) {
    uint32_t take = available;
    for (;;) {
      const bool final = take == remaining;
      const uint32_t length = frames_.Compress(window_.data(), take);
      // A frame of one deflate block is the fastest to read (it needs no second pass to prove
      // that it decodes as zlib decodes it). zlib ends a block after 32767 symbols, so a frame
      // that came out as several is made again from fewer bytes, down to a size that fits one.
      if (options_.compressionLevel > 0 && take > kOneBlockInput &&
          !frames_.IsSingleBlock(length)) {
        take = std::max(kOneBlockInput, take / 2);
        continue;
      }
      const uint32_t stored = frames_.StoredLength(length, final);
      if (stored <= kChunkBufferSize) {
        packedSize += frames_.Emit(length, final, out_);
        return take;
      }
      // Too big even though compressed: take fewer bytes so the payload shrinks by the excess.
      Check(take > 1, MessageCode::kPackCompressFailed);
      take -= std::min(take - 1, stored - kChunkBufferSize + 64);
    }
  }

  const PackOptions& options_;
  FileSystem* files_;
  ArchiveOutput out_;
  const PackProgress& progress_;
  std::optional<ArchiveKey> key_;
  FrameWriter frames_;
  std::vector<uint8_t> window_;
  ArchiveHeader header_;
  uint64_t packedContent_ = 0;
};

}  // namespace

PackResult WriteArchive(const std::vector<PackEntry>& entries, const PackOptions& options,
                        FileSystem* files, WritableFile& out, uint64_t startPosition,
                        const PackProgress& progress) {
  ValidateOptions(options);
  ArchiveWriter writer(options, files, out, startPosition, progress);
  return writer.Write(entries);
}

}  // namespace ozr
