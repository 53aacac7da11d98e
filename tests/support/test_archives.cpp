// Archive helpers shared by the tests.
#include "support/test_archives.h"

#include <algorithm>
#include <optional>

#include "archive/open_archive.h"
#include "base/little_endian.h"
#include "codec/chunk_sum.h"
#include "codec/decode_chunk.h"
#include "pack/archive_output.h"
#include "pack/frame_writer.h"
#include "support/memory_files.h"
#include "support/recording_view.h"

namespace ozr::testing {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> MixedContent(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"архив ", "data ", "chunk ", "0123 ", "zlib\n", "ключ "};
  std::vector<uint8_t> out;
  out.reserve(size);
  uint32_t state = seed * 2654435761u + 1;
  while (out.size() < size) {
    state = state * 1103515245u + 12345u;
    const char* word = kWords[(state >> 16) % 6];
    for (const char* p = word; *p != '\0' && out.size() < size; ++p) out.push_back(*p);
    if ((state >> 8) % 7 == 0 && out.size() < size) out.push_back(static_cast<uint8_t>(state));
  }
  return out;
}

std::vector<uint8_t> NoiseContent(size_t size, uint32_t seed) {
  std::vector<uint8_t> out(size);
  uint64_t state = seed + 0x9E3779B97F4A7C15ull;
  for (auto& b : out) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    b = static_cast<uint8_t>(state >> 24);
  }
  return out;
}

std::vector<uint8_t> PeImage() {
  std::vector<uint8_t> b(0x400, 0);
  b[0] = 'M';
  b[1] = 'Z';
  StoreU32(&b[0x3C], 0x80);
  b[0x80] = 'P';
  b[0x81] = 'E';
  StoreU16(&b[0x84], 0x14C);  // i386
  StoreU16(&b[0x86], 1);      // sections
  StoreU16(&b[0x94], 0xE0);   // SizeOfOptionalHeader
  StoreU16(&b[0x98], 0x10B);  // PE32
  StoreU32(&b[0xD4], 0x200);  // SizeOfHeaders
  StoreU32(&b[0xF4], 16);     // NumberOfRvaAndSizes
  return b;
}

std::vector<uint8_t> Signed(std::vector<uint8_t> file) {
  file.resize((file.size() + 7) / 8 * 8, 0);
  const auto offset = static_cast<uint32_t>(file.size());
  StoreU32(&file[0x118], offset);
  StoreU32(&file[0x11C], 16);
  const uint8_t table[16] = {16, 0, 0, 0, 0x00, 0x02, 2, 0, 0x30, 0x82, 1, 2, 3, 4, 5, 6};
  file.insert(file.end(), table, table + sizeof table);
  return file;
}

CraftedOptions PlainOptions(std::u16string title) {
  CraftedOptions options;
  options.title = std::move(title);
  return options;
}

CraftedOptions EncryptedOptions(std::u16string password, std::u16string title) {
  CraftedOptions options = PlainOptions(std::move(title));
  options.encrypted = true;
  options.password = std::move(password);
  return options;
}

namespace {

// One entry's frames of `frameContent` bytes each (the last may be shorter).
EntryRecord CraftEntry(const PackEntry& entry, const CraftedOptions& options, FrameWriter& frames,
                       ArchiveOutput& out) {
  const std::vector<uint8_t>& content = entry.bytes;
  EntryRecord record;
  record.unpackedSize = content.size();
  record.nameLength = static_cast<uint32_t>(entry.name.size());
  for (size_t at = 0; at < content.size();) {
    const auto take =
        static_cast<uint32_t>(std::min<size_t>(options.frameContent, content.size() - at));
    const uint32_t length = frames.Compress(content.data() + at, take);
    record.packedSize += frames.Emit(length, at + take == content.size(), out);
    record.entrySum =
        ChunkSumUpdate(record.entrySum, content.data() + at, static_cast<int32_t>(take));
    at += take;
  }
  return record;
}

// The regions in the writer's order, from its building blocks, with frames of the crafted size.
void Craft(const std::vector<PackEntry>& entries, const CraftedOptions& options,
           ArchiveOutput& out) {
  std::optional<ArchiveKey> key;
  if (options.encrypted) key.emplace(DeriveArchiveKey(options.password));
  FrameWriter frames(options.compressionLevel, key ? &*key : nullptr);
  ArchiveHeader header;
  std::vector<EntryRecord> records;
  for (const PackEntry& entry : entries) {
    records.push_back(CraftEntry(entry, options, frames, out));
    header.totalUnpackedSize += records.back().unpackedSize;
    header.totalPackedSize += records.back().packedSize;
  }
  header.entryCount = static_cast<uint32_t>(entries.size());
  header.compressionLevel = options.compressionLevel;
  header.commentLength = static_cast<uint32_t>(options.comment.size());
  header.titleLength = static_cast<uint32_t>(options.title.size());
  header.notEncrypted = options.encrypted ? 0 : 1;

  const uint64_t directoryAt = out.position();
  WriteDirectory(out, records, entries);
  const uint64_t headerAt = out.position();
  WriteHeaderBlock(out, header, options.comment, options.title);
  WriteTrailer(out, headerAt, directoryAt);
}

}  // namespace

std::vector<uint8_t> WriteArchiveToMemory(const std::vector<PackEntry>& entries,
                                          const CraftedOptions& options,
                                          const std::vector<uint8_t>& prefix) {
  std::vector<uint8_t> bytes(prefix);
  MemoryWritableFile file(bytes);
  if (options.frameContent != 0) {
    ArchiveOutput out(file, bytes.size());
    Craft(entries, options, out);
  } else {
    WriteArchive(entries, options, nullptr, file, bytes.size());
  }
  return bytes;
}

std::unique_ptr<ReadableFile> OneFileSystem::OpenForReading(const std::u16string& path) {
  if (path.size() < 11 || path.substr(path.size() - 11) != u"archive.ozr") return nullptr;
  return std::make_unique<MemoryReadableFile>(bytes_);
}

void OpenFromMemory(const std::vector<uint8_t>& archive, ArchiveSession& session) {
  OneFileSystem files(archive);
  RecordingView view;
  OpenArchive(u"C:\\archive.ozr", session, files, view);
}

namespace {

// Parses the record at `at`, edits it and writes it back in place.
template <typename Fields, typename Parse, typename Serialize>
void Rewrite(std::vector<uint8_t>& archive, uint64_t at, Parse parse, Serialize serialize,
             const std::function<void(Fields&)>& edit) {
  Fields fields = parse(&archive[at]);
  edit(fields);
  const auto bytes = serialize(fields);
  std::copy(bytes.begin(), bytes.end(), archive.begin() + static_cast<ptrdiff_t>(at));
}

uint64_t PositionFromTrailer(const std::vector<uint8_t>& a, bool header) {
  const ArchiveTrailer trailer = ParseTrailer(&a[a.size() - kTrailerSize]);
  return a.size() - (header ? trailer.headerDistance : trailer.directoryDistance);
}

}  // namespace

void EditHeader(std::vector<uint8_t>& archive, const std::function<void(ArchiveHeader&)>& edit) {
  Rewrite(archive, PositionFromTrailer(archive, true), ParseHeader, SerializeHeader, edit);
}

void EditRecord(std::vector<uint8_t>& archive, uint32_t index,
                const std::function<void(EntryRecord&)>& edit) {
  uint64_t at = PositionFromTrailer(archive, false);
  for (; index > 0; --index)
    at += kEntryRecordSize + 2 * uint64_t{ParseEntryRecord(&archive[at]).nameLength};
  Rewrite(archive, at, ParseEntryRecord, SerializeEntryRecord, edit);
}

std::vector<uint8_t> DecodeEntry(ArchiveSession& session, uint32_t index,
                                 const std::u16string& password, uint32_t* outputSum) {
  std::optional<ArchiveKey> key;
  if (session.header.encrypted()) key.emplace(DeriveArchiveKey(password));
  const CatalogEntry& entry = session.catalog.at(index);
  session.file->Seek(session.DataAreaPosition() + entry.streamOffset);
  ChunkBuffer input;
  ChunkBuffer output;
  std::vector<uint8_t> content;
  uint64_t consumed = 0;
  uint32_t sum = 0;
  while (consumed < entry.record.packedSize) {
    const FrameLengths frame = DecodeChunk(*session.file, key ? &*key : nullptr,
                                           entry.record.packedSize, consumed, input, output);
    sum = ChunkSumUpdate(sum, output.data(), static_cast<int32_t>(frame.inflatedLength));
    content.insert(content.end(), output.data(), output.data() + frame.inflatedLength);
    consumed += frame.storedLength + kFrameOverhead;
  }
  if (outputSum != nullptr) *outputSum = sum;
  return content;
}

}  // namespace ozr::testing
