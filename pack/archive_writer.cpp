// Writes the data area entry by entry, then the directory, the header block and the trailer.
// Each frame holds one complete zlib stream of at most chunkSize inflated bytes. Encrypted entries
// form one CBC chain: every frame but the last is padded with zeros to whole blocks (behind the
// zlib stream, where the reader ignores them), and only the last frame carries PKCS#5 padding.
#include "pack/archive_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "archive/failure.h"
#include "archive/little_endian.h"
#include "extract/chunk_sum.h"
#include "extract/extraction_key.h"
#include "platform/memory_files.h"
#include "ui/fill_in.h"
#include "ui/texts.h"

namespace ozr {

namespace {

constexpr uint32_t kBlock = 16;
// Input bytes that zlib always turns into one deflate block: fewer than its 32767 symbols.
constexpr uint32_t kOneBlockInput = 32000;
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

class Deflater {
 public:
  // Memory level 9 lets a whole 128000-byte chunk fit one deflate block as a rule, which
  // readers decode fastest.
  explicit Deflater(int level) {
    Check(deflateInit2(&stream_, level, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) == Z_OK,
          text::kPackCompressFailed);
  }
  ~Deflater() { deflateEnd(&stream_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // One complete zlib stream of `input` into `output`; returns its length.
  uint32_t Compress(const uint8_t* input, uint32_t length, uint8_t* output, uint32_t capacity) {
    Check(deflateReset(&stream_) == Z_OK, text::kPackCompressFailed);
    stream_.next_in = const_cast<Bytef*>(input);
    stream_.avail_in = length;
    stream_.next_out = output;
    stream_.avail_out = capacity;
    Check(deflate(&stream_, Z_FINISH) == Z_STREAM_END, text::kPackCompressFailed);
    return capacity - stream_.avail_out;
  }

 private:
  z_stream stream_{};
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
        deflater_(options.compressionLevel),
        chunkSize_(std::max<uint32_t>(1, options.chunkSize)),
        window_(chunkSize_),
        payload_(compressBound(chunkSize_) + options.trailingBytes + kBlock) {
    if (options.notEncrypted == 0) key_.emplace(DeriveExtractionKey(options.password));
  }

  PackResult Write(const std::vector<PackEntry>& entries) {
    Check(entries.size() <= UINT32_MAX, text::kPackDirectoryTooLarge);
    for (const PackEntry& entry : entries) {
      Check(entry.name.size() <= kMaxNameLength, FillIn(text::kPackNameTooLong, entry.name));
    }
    const uint64_t headerAt = out_.position();
    if (options_.headerPlacement == HeaderPlacement::kBeforeData) WriteHeaderBlock();

    std::vector<EntryRecord> records;
    records.reserve(entries.size());
    for (const PackEntry& entry : entries) records.push_back(WriteEntry(entry));

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
    WriteEndFiller();

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

  // Signing pads a file to a multiple of 8 bytes in front of the certificate table; an archive
  // that already ends there is signed without padding behind its trailer.
  void WriteEndFiller() {
    const uint32_t alignment = options_.endAlignment;
    if (alignment <= 1) return;
    const auto over = static_cast<uint32_t>((out_.position() + kTrailerSize) % alignment);
    if (over == 0) return;
    const std::vector<uint8_t> filler(alignment - over, 0);
    out_.Write(filler.data(), filler.size());
  }

  EntryRecord WriteEntry(const PackEntry& entry) {
    EntrySource source(entry, files_);
    Check(source.size() != 0, FillIn(text::kPackEmptyEntry, entry.name));
    EntryRecord record;
    record.unpackedSize = source.size();
    record.nameLength = static_cast<uint32_t>(entry.name.size());
    uint64_t remaining = source.size();
    uint32_t buffered = 0;
    uint32_t outputSum = 0;
    while (remaining != 0) {
      const auto wanted = static_cast<uint32_t>(std::min<uint64_t>(chunkSize_, remaining));
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
  // not fit a chunk buffer. Returns the count of content bytes the frame holds.
  uint32_t WriteFrame(uint32_t available, uint64_t remaining, uint64_t& packedSize) {
    uint32_t take = available;
    for (;;) {
      const bool final = take == remaining;
      uint32_t length = deflater_.Compress(window_.data(), take, payload_.data(),
                                           static_cast<uint32_t>(payload_.size()));
      // A frame of one deflate block is the fastest to read (it needs no second pass to prove
      // that it decodes as zlib decodes it). zlib ends a block after 32767 symbols, so a frame
      // that came out as several is made again from fewer bytes, down to a size that fits one.
      if (options_.compressionLevel > 0 && take > kOneBlockInput && !FirstBlockIsLast(length)) {
        take = std::max(kOneBlockInput, take / 2);
        continue;
      }
      std::memset(payload_.data() + length, 0, options_.trailingBytes);
      length += options_.trailingBytes;
      uint32_t stored = length;
      if (key_) {
        if (!final) {
          const uint32_t padded = (length + kBlock - 1) / kBlock * kBlock;
          std::memset(payload_.data() + length, 0, padded - length);
          length = stored = padded;
        } else {
          stored = (length / kBlock + 1) * kBlock;
        }
      }
      if (stored <= kChunkBufferSize) {
        EmitFrame(length, final);
        packedSize += stored + kFrameOverhead;
        return take;
      }
      // Too big even though compressed: take fewer bytes so the payload shrinks by the excess.
      Check(take > 1, text::kPackCompressFailed);
      take -= std::min(take - 1, stored - kChunkBufferSize + 64);
    }
  }

  // Whether the zlib stream in the payload holds a single deflate block: the first block's header
  // bit that marks the last block, right behind the two-byte zlib header.
  bool FirstBlockIsLast(uint32_t length) const { return length > 2 && (payload_[2] & 1) != 0; }

  void EmitFrame(uint32_t plainLength, bool final) {
    const uint32_t sum = ChunkSum(payload_.data(), static_cast<int32_t>(plainLength));
    uint32_t stored = plainLength;
    if (key_) {
      Check(key_->Encrypt(payload_.data(), stored, static_cast<uint32_t>(payload_.size()), final),
            text::kPackEncryptFailed);
    }
    uint8_t field[4];
    StoreU32(field, stored);
    out_.Write(field, sizeof field);
    out_.Write(payload_.data(), stored);
    StoreU32(field, sum);
    out_.Write(field, sizeof field);
  }

  const PackOptions& options_;
  FileSystem* files_;
  Output out_;
  const PackProgress& progress_;
  Deflater deflater_;
  const uint32_t chunkSize_;
  std::vector<uint8_t> window_;
  std::vector<uint8_t> payload_;
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
