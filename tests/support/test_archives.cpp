// Archive helpers shared by the tests.
#include "support/test_archives.h"

#include <optional>

#include "archive/little_endian.h"
#include "archive/open_archive.h"
#include "extract/chunk_sum.h"
#include "extract/decode_chunk.h"
#include "platform/memory_files.h"
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

PackOptions PlainOptions(std::u16string title) {
  PackOptions options;
  options.title = std::move(title);
  return options;
}

PackOptions EncryptedOptions(std::u16string password, std::u16string title) {
  PackOptions options = PlainOptions(std::move(title));
  options.notEncrypted = 0;
  options.password = std::move(password);
  return options;
}

std::unique_ptr<ReadableFile> OneFileSystem::OpenForReading(const std::u16string& path) {
  if (path.size() < 11 || path.substr(path.size() - 11) != u"archive.ozr") return nullptr;
  return std::make_unique<MemoryReadableFile>(bytes_);
}

void OpenFromMemory(const std::vector<uint8_t>& archive, ArchiveSession& session) {
  OneFileSystem files(archive);
  RecordingView view;
  std::u16string path = u"C:\\archive.ozr";
  OpenArchive(path, session, files, view);
}

std::vector<uint8_t> DecodeEntry(ArchiveSession& session, uint32_t index,
                                 const std::u16string& password, uint32_t* outputSum) {
  std::optional<ExtractionKey> key;
  if (session.header.encrypted()) key.emplace(DeriveExtractionKey(password));
  const CatalogEntry& entry = session.catalog.at(index);
  session.file->Seek(session.DataAreaPosition() + entry.streamOffset);
  ChunkBuffer input;
  ChunkBuffer output;
  std::vector<uint8_t> content;
  uint64_t consumed = 0;
  uint32_t sum = 0;
  while (consumed < entry.record.packedSize) {
    const DecodedChunk chunk = DecodeChunk(*session.file, key ? &*key : nullptr,
                                           entry.record.packedSize, consumed, input, output);
    sum = ChunkSumUpdate(sum, output.data(), static_cast<int32_t>(chunk.inflatedLength));
    content.insert(content.end(), output.data(), output.data() + chunk.inflatedLength);
    consumed += chunk.storedLength + kFrameOverhead;
  }
  if (outputSum != nullptr) *outputSum = sum;
  return content;
}

}  // namespace ozr::testing
