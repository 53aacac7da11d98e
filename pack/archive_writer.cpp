// Writes the data area entry by entry, then the directory, the header block and the trailer.
// Each frame holds one complete zlib stream of at most a ChunkBuffer of content, compressed ahead
// on other threads (see frame_compressor.h) while this one reads the sources and encrypts and
// writes the frames in order. Encrypted entries form one CBC chain: every frame but the last is
// padded with zeros to whole blocks (behind the zlib stream, where the reader ignores them), and
// only the last frame carries PKCS#5 padding.
#include "pack/archive_writer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>

#include "archive/records.h"
#include "base/failure.h"
#include "base/little_endian.h"
#include "codec/archive_key.h"
#include "codec/chunk_sum.h"
#include "pack/archive_output.h"
#include "pack/frame_compressor.h"
#include "platform/threads.h"

namespace ozr {

namespace {

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
                               : std::nullopt) {}

  PackResult Write(const std::vector<PackEntry>& entries) {
    Check(entries.size() <= UINT32_MAX, MessageCode::kPackDirectoryTooLarge);
    for (const PackEntry& entry : entries) {
      Check(entry.name.size() <= kMaxNameLength, MessageCode::kPackNameTooLong, entry.name);
    }
    const std::vector<EntryRecord> records = WriteData(entries);

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
  // Reads the entries' content in pieces of a ChunkBuffer, entry after entry.
  class Reader {
   public:
    Reader(const std::vector<PackEntry>& entries, FileSystem* files,
           std::vector<EntryRecord>& records)
        : entries_(entries), files_(files), records_(records) {}

    bool Done() const { return failed_ || entry_ >= entries_.size(); }
    size_t entry() const { return entry_; }

    // The next piece, or the failure met reading it; nothing is read after a failure.
    ContentPiece Next() {
      ContentPiece piece;
      try {
        const PackEntry& entry = entries_[entry_];
        if (!source_) {
          source_ = std::make_unique<EntrySource>(entry, files_);
          // A file that became empty since it was chosen is named by its path, like one that
          // was empty.
          Check(source_->size() != 0, MessageCode::kPackEmptyEntry,
                entry.sourcePath.empty() ? entry.name : entry.sourcePath);
          left_ = source_->size();
          records_[entry_].unpackedSize = left_;
          records_[entry_].nameLength = static_cast<uint32_t>(entry.name.size());
        }
        piece.bytes.resize(static_cast<size_t>(std::min<uint64_t>(kChunkBufferSize, left_)));
        source_->Read(piece.bytes.data(), piece.bytes.size());
        left_ -= piece.bytes.size();
      } catch (const Failure& failure) {
        piece.failure = failure;
        failed_ = true;
        return piece;
      }
      piece.lastOfEntry = left_ == 0;
      if (piece.lastOfEntry) {
        source_.reset();
        ++entry_;
      }
      return piece;
    }

   private:
    const std::vector<PackEntry>& entries_;
    FileSystem* files_;
    std::vector<EntryRecord>& records_;
    size_t entry_ = 0;
    std::unique_ptr<EntrySource> source_;
    uint64_t left_ = 0;
    bool failed_ = false;
  };

  // The entries' frames. Sources are read ahead while earlier pieces are compressed; a failure to
  // read one is reported when its turn comes, after everything before it was written.
  std::vector<EntryRecord> WriteData(const std::vector<PackEntry>& entries) {
    FrameRules rules;
    rules.level = options_.compressionLevel;
    rules.encrypted = key_.has_value();
    PieceCompressor compressor(rules, options_.threads > 0 ? options_.threads : ProcessorCount());
    std::vector<EntryRecord> records(entries.size());
    std::deque<size_t> pieceEntries;  // the entry of each piece given and not yet taken
    Reader reader(entries, files_, records);
    for (;;) {
      while (compressor.HasRoom() && !reader.Done()) {
        pieceEntries.push_back(reader.entry());
        compressor.Give(reader.Next());
      }
      if (compressor.Empty()) break;
      ContentPiece piece;
      std::vector<PlainFrame> frames = compressor.Take(piece);
      EntryRecord& record = records[pieceEntries.front()];
      pieceEntries.pop_front();
      // The entry's checksum is chained frame by frame, as the reader chains it.
      const uint8_t* content = piece.bytes.data();
      for (PlainFrame& frame : frames) {
        record.entrySum =
            ChunkSumUpdate(record.entrySum, content, static_cast<int32_t>(frame.contentLength));
        content += frame.contentLength;
        record.packedSize += Emit(frame);
        packedContent_ += frame.contentLength;
        if (progress_) progress_(packedContent_);
      }
      if (piece.lastOfEntry) {
        header_.totalUnpackedSize += record.unpackedSize;
        header_.totalPackedSize += record.packedSize;
      }
    }
    return records;
  }

  // Encrypts and writes one frame; returns the bytes it takes in the archive.
  uint64_t Emit(PlainFrame& frame) {
    uint32_t stored = frame.length;
    if (key_) {
      Check(key_->Encrypt(frame.payload.data(), stored, static_cast<uint32_t>(frame.payload.size()),
                          frame.final),
            MessageCode::kPackEncryptFailed);
    }
    uint8_t field[4];
    StoreU32(field, stored);
    out_.Write(field, sizeof field);
    out_.Write(frame.payload.data(), stored);
    StoreU32(field, frame.payloadSum);
    out_.Write(field, sizeof field);
    return stored + kFrameOverhead;
  }

  const PackOptions& options_;
  FileSystem* files_;
  ArchiveOutput out_;
  const PackProgress& progress_;
  std::optional<ArchiveKey> key_;
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
