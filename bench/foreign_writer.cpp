// Writes archives the way other writers would: each whole 128000-byte chunk compressed by one
// stock compressor (zlib at a level and strategy, libdeflate, or an outside program such as
// zopfli, pigz or 7-Zip), so that the bench can measure extraction on frames of any shape.
// Usage: foreign_writer WRITER SOURCE_DIR OUT.ozr [PASSWORD]; `foreign_writer --list` names them.
#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/records.h"
#include "base/little_endian.h"
#include "base/utf.h"
#include "codec/archive_key.h"
#include "codec/chunk_sum.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Compressor = std::function<Bytes(const uint8_t*, size_t)>;

void Require(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what);
}

// compress2 for the default strategy; deflateInit2 with zlib's defaults otherwise.
Compressor Zlib(int level, int strategy) {
  return [=](const uint8_t* data, size_t size) {
    z_stream stream{};
    Require(deflateInit2(&stream, level, Z_DEFLATED, 15, 8, strategy) == Z_OK, "deflateInit2");
    Bytes out(deflateBound(&stream, size));
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    Require(deflate(&stream, Z_FINISH) == Z_STREAM_END, "deflate");
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
  };
}

Compressor Libdeflate(int level) {
  return [=](const uint8_t* data, size_t size) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    Require(c != nullptr, "libdeflate_alloc_compressor");
    Bytes out(libdeflate_zlib_compress_bound(c, size));
    out.resize(libdeflate_zlib_compress(c, data, size, out.data(), out.size()));
    libdeflate_free_compressor(c);
    Require(!out.empty(), "libdeflate_zlib_compress");
    return out;
  };
}

Bytes RunFilter(const std::string& command, const uint8_t* data, size_t size) {
  char path[] = "/tmp/foreign-writer-XXXXXX";
  const int fd = mkstemp(path);
  Require(fd >= 0, "mkstemp");
  Require(write(fd, data, size) == static_cast<ssize_t>(size), "write chunk");
  close(fd);
  const std::string line = command + " < " + path;
  FILE* pipe = popen(line.c_str(), "r");
  Require(pipe != nullptr, "popen");
  Bytes out;
  uint8_t buffer[65536];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) != 0;) {
    out.insert(out.end(), buffer, buffer + n);
  }
  const int status = pclose(pipe);
  unlink(path);
  Require(status == 0, command);
  return out;
}

// A gzip member (RFC 1952) made into a zlib stream: same deflate data, zlib header, Adler-32.
Bytes GzipToZlib(const Bytes& gzip, const uint8_t* data, size_t size) {
  Require(gzip.size() > 18 && gzip[0] == 0x1F && gzip[1] == 0x8B && gzip[2] == 8, "gzip header");
  const uint8_t flags = gzip[3];
  size_t at = 10;
  if (flags & 4) at += 2 + ozr::LoadU16(&gzip[at]);
  if (flags & 8) at = std::find(gzip.begin() + at, gzip.end(), 0) - gzip.begin() + 1;
  if (flags & 16) at = std::find(gzip.begin() + at, gzip.end(), 0) - gzip.begin() + 1;
  if (flags & 2) at += 2;
  Require(at + 8 <= gzip.size(), "gzip member");
  Bytes out;
  out.reserve(gzip.size());
  out.push_back(0x78);
  out.push_back(0x9C);
  out.insert(out.end(), gzip.begin() + at, gzip.end() - 8);
  const uLong adler = adler32(adler32(0, nullptr, 0), data, static_cast<uInt>(size));
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(adler >> shift));
  return out;
}

Compressor ZlibFilter(const std::string& command) {
  return [=](const uint8_t* data, size_t size) { return RunFilter(command, data, size); };
}

Compressor GzipFilter(const std::string& command) {
  return [=](const uint8_t* data, size_t size) {
    return GzipToZlib(RunFilter(command, data, size), data, size);
  };
}

const std::map<std::string, Compressor>& Writers() {
  static const std::map<std::string, Compressor> writers = {
      {"zlib-1", Zlib(1, Z_DEFAULT_STRATEGY)},
      {"zlib-6", Zlib(6, Z_DEFAULT_STRATEGY)},
      {"zlib-9", Zlib(9, Z_DEFAULT_STRATEGY)},
      {"zlib-6-filtered", Zlib(6, Z_FILTERED)},
      {"zlib-6-huffman", Zlib(6, Z_HUFFMAN_ONLY)},
      {"zlib-6-rle", Zlib(6, Z_RLE)},
      {"zlib-6-fixed", Zlib(6, Z_FIXED)},
      {"libdeflate-1", Libdeflate(1)},
      {"libdeflate-6", Libdeflate(6)},
      {"libdeflate-12", Libdeflate(12)},
      {"zopfli", ZlibFilter("zopfli --zlib --i1 -c /dev/stdin")},
      // 32 KiB blocks, each ended by a sync flush (an empty stored block), in one zlib stream.
      {"pigz-sync", ZlibFilter("pigz -z -6 -b 32 -p 1 -c")},
      {"7zip", GzipFilter("7z a -tgzip -mx=5 -si -so dummy")},
  };
  return writers;
}

// The source files in name order with their "\"-separated names.
std::vector<std::pair<fs::path, std::u16string>> Sources(const fs::path& folder) {
  std::vector<std::pair<fs::path, std::u16string>> files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (!e.is_regular_file() || e.file_size() == 0) continue;
    std::u16string name = ozr::FromUtf8(fs::relative(e.path(), folder).string());
    std::replace(name.begin(), name.end(), u'/', u'\\');
    files.emplace_back(e.path(), name);
  }
  std::sort(files.begin(), files.end());
  return files;
}

class ArchiveFile {
 public:
  explicit ArchiveFile(const fs::path& path) : out_(path, std::ios::binary) {
    Require(out_.good(), "cannot create " + path.string());
  }
  void Write(const uint8_t* data, size_t size) {
    out_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    position_ += size;
  }
  void WriteU32(uint32_t value) {
    uint8_t field[4];
    ozr::StoreU32(field, value);
    Write(field, 4);
  }
  void WriteText(const std::u16string& text) {
    for (const char16_t unit : text) {
      const uint8_t bytes[2] = {static_cast<uint8_t>(unit), static_cast<uint8_t>(unit >> 8)};
      Write(bytes, 2);
    }
  }
  uint64_t position() const { return position_; }
  void Close() {
    out_.close();
    Require(out_.good(), "write failed");
  }

 private:
  std::ofstream out_;
  uint64_t position_ = 0;
};

// One entry's frames: chunks of 128000 bytes, fewer where the payload would not fit a buffer.
// Encrypted entries are one CBC chain: frames but the last are padded with zeros to whole blocks.
ozr::EntryRecord WriteEntry(const Bytes& content, const Compressor& compress, ozr::ArchiveKey* key,
                            ArchiveFile& out) {
  constexpr uint32_t kBlock = 16;
  ozr::EntryRecord record;
  record.unpackedSize = content.size();
  size_t at = 0;
  while (at < content.size()) {
    size_t take = std::min<size_t>(ozr::kChunkBufferSize, content.size() - at);
    for (;;) {
      const bool final = at + take == content.size();
      Bytes payload = compress(content.data() + at, take);
      uint32_t length = static_cast<uint32_t>(payload.size());
      const uint32_t stored = !key    ? length
                              : final ? (length / kBlock + 1) * kBlock
                                      : (length + kBlock - 1) & ~15u;
      if (stored > ozr::kChunkBufferSize) {
        take -= std::min(take - 1, size_t{stored - ozr::kChunkBufferSize + 64});
        continue;
      }
      payload.resize(stored + kBlock, 0);
      if (key && !final) length = stored;
      const uint32_t sum = ozr::ChunkSum(payload.data(), static_cast<int32_t>(length));
      if (key) {
        Require(key->Encrypt(payload.data(), length, static_cast<uint32_t>(payload.size()), final),
                "encrypt");
      }
      out.WriteU32(length);
      out.Write(payload.data(), length);
      out.WriteU32(sum);
      record.packedSize += length + ozr::kFrameOverhead;
      record.entrySum =
          ozr::ChunkSumUpdate(record.entrySum, content.data() + at, static_cast<int32_t>(take));
      at += take;
      break;
    }
  }
  return record;
}

void WriteArchive(const fs::path& folder, const fs::path& target, const Compressor& compress,
                  const std::u16string& password) {
  std::optional<ozr::ArchiveKey> key;
  if (!password.empty()) key.emplace(ozr::DeriveArchiveKey(password));
  const fs::path partial = target.string() + ".partial";
  ArchiveFile out(partial);
  ozr::ArchiveHeader header;
  Bytes directory;
  for (const auto& [path, name] : Sources(folder)) {
    std::ifstream in(path, std::ios::binary);
    const Bytes content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ozr::EntryRecord record = WriteEntry(content, compress, key ? &*key : nullptr, out);
    record.nameLength = static_cast<uint32_t>(name.size());
    const auto bytes = ozr::SerializeEntryRecord(record);
    directory.insert(directory.end(), bytes.begin(), bytes.end());
    for (const char16_t unit : name) {
      directory.push_back(static_cast<uint8_t>(unit));
      directory.push_back(static_cast<uint8_t>(unit >> 8));
    }
    ++header.entryCount;
    header.totalUnpackedSize += record.unpackedSize;
    header.totalPackedSize += record.packedSize;
  }
  const uint64_t directoryAt = out.position();
  out.Write(directory.data(), directory.size());
  const uint64_t headerAt = out.position();
  const std::u16string title = u"Бенчмарк";
  header.compressionLevel = 6;
  header.titleLength = static_cast<uint32_t>(title.size());
  header.notEncrypted = key ? 0 : 1;
  const auto headerBytes = ozr::SerializeHeader(header);
  out.Write(headerBytes.data(), headerBytes.size());
  out.WriteText(title);
  const uint64_t end = out.position() + ozr::kTrailerSize;
  ozr::ArchiveTrailer trailer;
  trailer.headerDistance = static_cast<uint32_t>(end - headerAt);
  trailer.directoryDistance = static_cast<uint32_t>(end - directoryAt);
  const auto trailerBytes = ozr::SerializeTrailer(trailer);
  out.Write(trailerBytes.data(), trailerBytes.size());
  out.Close();
  fs::rename(partial, target);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--list") {
    for (const auto& [name, compressor] : Writers()) std::cout << name << "\n";
    return 0;
  }
  if (argc < 4 || Writers().count(argv[1]) == 0) {
    std::cerr << "usage: foreign_writer WRITER SOURCE_DIR OUT.ozr [PASSWORD] (--list: writers)\n";
    return 2;
  }
  try {
    WriteArchive(argv[2], argv[3], Writers().at(argv[1]),
                 argc > 4 ? ozr::FromUtf8(argv[4]) : std::u16string());
  } catch (const std::exception& e) {
    std::cerr << "foreign_writer: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
