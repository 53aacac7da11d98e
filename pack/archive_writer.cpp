// Writes the data area entry by entry, then the directory, the header block and the trailer.
// Each frame holds one complete zlib stream of at most chunkSize inflated bytes, compressed ahead
// on other threads (see frame_compressor.h) while this one reads the sources and encrypts and
// writes the frames in order. Encrypted entries form one CBC chain: every frame but the last is
// padded with zeros to whole blocks (behind the zlib stream, where the reader ignores them), and
// only the last frame carries PKCS#5 padding.
#include "pack/archive_writer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>

#include "archive/failure.h"
#include "archive/little_endian.h"
#include "extract/chunk_sum.h"
#include "extract/extraction_key.h"
#include "pack/frame_compressor.h"
#include "platform/memory_files.h"
#include "platform/threads.h"
#include "ui/fill_in.h"
#include "ui/texts.h"

namespace ozr {

namespace {

constexpr uint32_t kMaxPassword = 16;

void Check(bool ok, std::u16string message) {
  if (!ok) throw Failure(std::move(message));
}

// Tracks the output position and refuses short writes.
class Output {
 public:
  Output(WritableFile& file, uint64_t position) : file_(file), position_(position) {}

  void Write(const uint8_t* data, size_t count) {
    Check(file_.Write(data, count) == count, text::kWriteFailed);
    position_ += count;
  }
  void WriteText(const std::u16string& text) {
    std::vector<uint8_t> bytes(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) StoreU16(bytes.data() + 2 * i, text[i]);
    Write(bytes.data(), bytes.size());
  }
  void Patch(uint64_t at, const uint8_t* data, size_t count) {
    Check(file_.Seek(at) && file_.Write(data, count) == count && file_.Seek(position_),
          text::kWriteFailed);
  }
  uint64_t position() const { return position_; }

 private:
  WritableFile& file_;
  uint64_t position_;
};

// The content of one entry, read in order.
class EntrySource {
 public:
  EntrySource(const PackEntry& entry, FileSystem* files) : entry_(entry) {
    if (entry.sourcePath.empty()) {
      size_ = entry.bytes.size();
      return;
    }
    if (files != nullptr) file_ = files->OpenForReading(entry.sourcePath);
    Check(file_ != nullptr, FillIn(text::kPackSourceReadFailed, entry.sourcePath));
    size_ = file_->Size();
  }

  uint64_t size() const { return size_; }

  // Reads exactly `count` bytes of the content into `buffer`.
  void Read(uint8_t* buffer, size_t count) {
    if (!file_) {
      std::memcpy(buffer, entry_.bytes.data() + offset_, count);
    } else {
      Check(file_->Read(buffer, count) == count,
            FillIn(text::kPackSourceReadFailed, entry_.sourcePath));
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
  Check(!options.title.empty() && options.title.size() <= kMaxTitleLength, text::kPackTitleLength);
  Check(options.comment.size() <= kMaxCommentLength, text::kPackCommentTooLong);
  Check(options.compressionLevel <= kMaxCompressionLevel, text::kPackLevelRange);
  if (options.notEncrypted == 0) {
    Check(!options.password.empty(), text::kEnterPassword);
    Check(options.password.size() <= kMaxPassword, text::kPackPasswordTooLong);
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
        chunkSize_(std::max<uint32_t>(1, options.chunkSize)) {
    if (options.notEncrypted == 0) key_.emplace(DeriveExtractionKey(options.password));
  }

  PackResult Write(const std::vector<PackEntry>& entries) {
    Check(entries.size() <= UINT32_MAX, text::kPackDirectoryTooLarge);
    for (const PackEntry& entry : entries) {
      Check(entry.name.size() <= kMaxNameLength, FillIn(text::kPackNameTooLong, entry.name));
    }
    const uint64_t headerAt = out_.position();
    if (options_.headerPlacement == HeaderPlacement::kBeforeData) WriteHeaderBlock();

    const std::vector<EntryRecord> records = WriteData(entries);

    std::vector<uint8_t> directory;
    for (size_t i = 0; i < entries.size(); ++i) {
      const auto bytes = SerializeEntryRecord(records[i]);
      directory.insert(directory.end(), bytes.begin(), bytes.end());
      for (const char16_t unit : entries[i].name) {
        directory.push_back(static_cast<uint8_t>(unit));
        directory.push_back(static_cast<uint8_t>(unit >> 8));
      }
    }
    const uint64_t directoryAt = out_.position();
    out_.Write(directory.data(), directory.size());
    const uint64_t headerBehindAt = out_.position();
    if (options_.headerPlacement == HeaderPlacement::kBehindDirectory) WriteHeaderBlock();

    const uint64_t end = out_.position() + kTrailerSize;
    const uint64_t headerPosition =
        options_.headerPlacement == HeaderPlacement::kBeforeData ? headerAt : headerBehindAt;
    Check(end - headerPosition <= UINT32_MAX && end - directoryAt <= UINT32_MAX,
          text::kPackDirectoryTooLarge);
    ArchiveTrailer trailer;
    trailer.headerDistance = static_cast<uint32_t>(end - headerPosition);
    trailer.directoryDistance = static_cast<uint32_t>(end - directoryAt);
    const auto trailerBytes = SerializeTrailer(trailer);
    out_.Write(trailerBytes.data(), trailerBytes.size());

    header_.entryCount = static_cast<uint32_t>(entries.size());
    const auto headerBytes = SerializeHeader(header_);
    out_.Patch(headerPosition, headerBytes.data(), headerBytes.size());
    return {header_.totalUnpackedSize, header_.totalPackedSize, out_.position()};
  }

 private:
  // Header, comment and title; the header's counts are patched in once they are known.
  void WriteHeaderBlock() {
    header_.compressionLevel = options_.compressionLevel;
    header_.commentLength = static_cast<uint32_t>(options_.comment.size());
    header_.titleLength = static_cast<uint32_t>(options_.title.size());
    header_.notEncrypted = options_.notEncrypted;
    const auto placeholder = SerializeHeader(header_);
    out_.Write(placeholder.data(), placeholder.size());
    out_.WriteText(options_.comment);
    out_.WriteText(options_.title);
  }

  // The entries' frames. Sources are read ahead while earlier pieces are compressed; a failure to
  // read one is reported when its turn comes, after everything before it was written.
  std::vector<EntryRecord> WriteData(const std::vector<PackEntry>& entries) {
    FrameRules rules;
    rules.level = options_.compressionLevel;
    rules.trailingBytes = options_.trailingBytes;
    rules.encrypted = key_.has_value();
    const int threads = options_.threads > 0 ? options_.threads : ProcessorCount();
    PieceCompressor compressor(rules, threads);
    std::vector<EntryRecord> records(entries.size());
    std::deque<size_t> pieceEntries;  // the entry of each piece given and not yet taken
    Reader reader(entries, files_, chunkSize_, records);
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
        record.packedSize += EmitFrame(frame) + kFrameOverhead;
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

  // Reads the entries' content in pieces of chunkSize bytes, entry after entry.
  class Reader {
   public:
    Reader(const std::vector<PackEntry>& entries, FileSystem* files, uint32_t chunkSize,
           std::vector<EntryRecord>& records)
        : entries_(entries), files_(files), chunkSize_(chunkSize), records_(records) {}

    bool Done() const { return failed_ || entry_ >= entries_.size(); }
    size_t entry() const { return entry_; }

    // The next piece, or the failure met reading it; nothing is read after a failure.
    ContentPiece Next() {
      ContentPiece piece;
      try {
        const PackEntry& entry = entries_[entry_];
        if (!source_) {
          source_ = std::make_unique<EntrySource>(entry, files_);
          Check(source_->size() != 0, FillIn(text::kPackEmptyEntry, entry.name));
          left_ = source_->size();
          records_[entry_].unpackedSize = left_;
          records_[entry_].nameLength = static_cast<uint32_t>(entry.name.size());
        }
        piece.bytes.resize(static_cast<size_t>(std::min<uint64_t>(chunkSize_, left_)));
        source_->Read(piece.bytes.data(), piece.bytes.size());
        left_ -= piece.bytes.size();
      } catch (const Failure& failure) {
        piece.failed = true;
        piece.failure = failure.text();
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
    const uint32_t chunkSize_;
    std::vector<EntryRecord>& records_;
    size_t entry_ = 0;
    std::unique_ptr<EntrySource> source_;
    uint64_t left_ = 0;
    bool failed_ = false;
  };

  // Encrypts and writes one frame; returns its stored payload length.
  uint32_t EmitFrame(PlainFrame& frame) {
    std::vector<uint8_t>& payload = frame.payload;
    uint32_t stored = frame.length;
    if (key_) {
      Check(
          key_->Encrypt(payload.data(), stored, static_cast<uint32_t>(payload.size()), frame.final),
          text::kPackEncryptFailed);
    }
    uint8_t field[4];
    StoreU32(field, stored);
    out_.Write(field, sizeof field);
    out_.Write(payload.data(), stored);
    StoreU32(field, frame.payloadSum);
    out_.Write(field, sizeof field);
    return stored;
  }

  const PackOptions& options_;
  FileSystem* files_;
  Output out_;
  const PackProgress& progress_;
  const uint32_t chunkSize_;
  std::optional<ExtractionKey> key_;
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

std::vector<uint8_t> WriteArchiveToMemory(const std::vector<PackEntry>& entries,
                                          const PackOptions& options,
                                          const std::vector<uint8_t>& prefix) {
  std::vector<uint8_t> bytes(prefix);
  MemoryWritableFile file(bytes);
  file.Seek(bytes.size());
  WriteArchive(entries, options, nullptr, file, bytes.size());
  return bytes;
}

}  // namespace ozr
