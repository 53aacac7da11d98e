// Writes the seed inputs of every fuzz target into <folder>/<target>/: archives made with the
// writer, single frames cut out of them, and zlib streams of every block kind, including the
// malformed ones only a crafted encoder writes. Run once to refresh fuzz/corpus.
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "pack/archive_writer.h"
#include "support/deflate_streams.h"
#include "support/test_archives.h"

namespace {

namespace fs = std::filesystem;
using Data = std::vector<uint8_t>;
using ozr::PackEntry;
using ozr::testing::MixedContent;
using ozr::testing::NoiseContent;

void Save(const fs::path& folder, const std::string& name, const Data& bytes) {
  fs::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Data Prefixed(std::initializer_list<uint8_t> prefix, const Data& rest) {
  Data out(prefix);
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

struct ArchiveSeed {
  std::string name;
  std::vector<PackEntry> entries;
  ozr::testing::CraftedOptions options;
  Data prefix;
};

std::vector<ArchiveSeed> ArchiveSeeds() {
  ozr::testing::CraftedOptions encrypted = ozr::testing::EncryptedOptions(u"pw", u"Архив");
  encrypted.comment = u"комментарий";
  encrypted.frameContent = 300;
  ozr::testing::CraftedOptions before = ozr::testing::PlainOptions();
  before.headerFirst = true;
  ozr::testing::CraftedOptions stored = ozr::testing::PlainOptions();
  stored.compressionLevel = 0;
  stored.trailingBytes = 5;
  stored.notEncrypted = 2;
  ozr::testing::CraftedOptions smallFrames = ozr::testing::EncryptedOptions(u"pw");
  smallFrames.frameContent = 64;
  return {
      {"plain-two-entries",
       {{u"a\\b.txt", ozr::testing::Bytes("nested"), {}}, {u"f.txt", MixedContent(700, 1), {}}},
       ozr::testing::PlainOptions(),
       {}},
      {"encrypted-many-frames",
       {{u"f.txt", MixedContent(1500, 2), {}},
        {u"x\\y\\z.bin", NoiseContent(400, 3), {}},
        {u"c.txt", ozr::testing::Bytes("c"), {}}},
       encrypted,
       {}},
      {"header-first-behind-a-program",
       {{u"one", MixedContent(300, 4), {}}},
       before,
       Data(64, 0x90)},
      {"unsafe-names",
       {{u"..\\evil.txt", ozr::testing::Bytes("e"), {}},
        {u"C:\\x", ozr::testing::Bytes("c"), {}},
        {u"con.txt", ozr::testing::Bytes("d"), {}},
        {u"a\\..\\..\\b", ozr::testing::Bytes("u"), {}},
        {u"ok\\. .\\n", ozr::testing::Bytes("o"), {}},
        {u"/etc/x", ozr::testing::Bytes("s"), {}},
        {u"safe.txt", ozr::testing::Bytes("s"), {}}},
       ozr::testing::PlainOptions(),
       {}},
      {"stored-trailing-bytes",
       {{u"s", NoiseContent(600, 5), {}}, {u"a\\t", MixedContent(200, 6), {}}},
       stored,
       {}},
      {"odd-names",
       {{u"", ozr::testing::Bytes("empty name"), {}},
        {u"\\rooted", ozr::testing::Bytes("r"), {}},
        {u"dup", ozr::testing::Bytes("1"), {}},
        {u"dup", ozr::testing::Bytes("2"), {}},
        {u"a\\", ozr::testing::Bytes("folder-like"), {}},
        {u"f.txt", ozr::testing::Bytes("new"), {}}},
       ozr::testing::PlainOptions(),
       {}},
      {"tiny-frames", {{u"a\\small.bin", MixedContent(500, 7), {}}}, smallFrames, {}},
  };
}

// The first frame of the last entry of an archive, as the decode target takes it.
Data FrameInput(const Data& archive, bool encrypted, bool wholeEntry) {
  ozr::ArchiveSession session;
  ozr::testing::OpenFromMemory(archive, session);
  const ozr::CatalogEntry& entry = session.catalog.rbegin()->second;
  const uint64_t at = session.DataAreaPosition() + entry.streamOffset;
  const uint32_t frameSize = ozr::LoadU32(&archive[at]) + 8;
  const uint32_t packedSize = wholeEntry ? uint32_t(entry.record.packedSize) : frameSize;
  Data out(9);
  out[0] = encrypted ? 1 : 0;
  ozr::StoreU32(&out[1], packedSize);
  ozr::StoreU32(&out[5], 0);
  out.insert(out.end(), archive.begin() + long(at), archive.begin() + long(at + frameSize));
  return out;
}

Data Deflated(const Data& content, int level, int strategy, int memLevel = 8, size_t flushAt = 0) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, 15, memLevel, strategy);
  Data out(deflateBound(&z, uLong(content.size())) + 64);
  z.next_in = const_cast<uint8_t*>(content.data());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  if (flushAt != 0) {
    z.avail_in = uInt(flushAt);
    deflate(&z, Z_FULL_FLUSH);
  }
  z.avail_in = uInt(content.size() - flushAt);
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_corpus <folder>\n");
    return 2;
  }
  const fs::path root = argv[1];

  for (const ArchiveSeed& seed : ArchiveSeeds()) {
    const Data archive =
        ozr::testing::WriteArchiveToMemory(seed.entries, seed.options, seed.prefix);
    Save(root / "open_archive", seed.name, archive);
    // Script bytes: rules, "a" as file or folder, password, decoding threads; answers; abort;
    // free space.
    Save(root / "extraction_job", seed.name + "-windows-yes",
         Prefixed({0x01, 0xFF, 0, 0}, archive));
    Save(root / "extraction_job", seed.name + "-posix-no", Prefixed({0x1A, 0x00, 0, 0}, archive));
    Save(root / "extraction_job", seed.name + "-abort", Prefixed({0x23, 0x55, 3, 0}, archive));
    Save(root / "extraction_job", seed.name + "-full-disk", Prefixed({0x30, 0xAA, 0, 1}, archive));
  }
  const Data truncated = ozr::testing::WriteArchiveToMemory({{u"t", MixedContent(100, 8), {}}},
                                                            ozr::testing::PlainOptions());
  Save(root / "open_archive", "short-file", Data(truncated.end() - 7, truncated.end()));
  // A signed program with an archive the signer padded (the stored 4-byte entry makes it 121
  // bytes long): the certificate table lookup from raw bytes.
  ozr::testing::CraftedOptions storedOnly = ozr::testing::PlainOptions();
  storedOnly.compressionLevel = 0;
  Save(root / "open_archive", "signed-padded",
       ozr::testing::Signed(ozr::testing::WriteArchiveToMemory(
           {{u"s", ozr::testing::Bytes("sign"), {}}}, storedOnly, ozr::testing::PeImage())));

  const auto seeds = ArchiveSeeds();
  for (const ArchiveSeed& seed : seeds) {
    const Data archive = ozr::testing::WriteArchiveToMemory(seed.entries, seed.options);
    const bool encrypted = seed.options.encrypted;
    Save(root / "decode_chunk", seed.name, FrameInput(archive, encrypted, false));
    Save(root / "decode_chunk", seed.name + "-in-entry", FrameInput(archive, encrypted, true));
  }
  const Data full = ozr::testing::WriteArchiveToMemory({{u"full", Data(128000, 'z'), {}}},
                                                       ozr::testing::PlainOptions());
  Save(root / "decode_chunk", "inflates-to-128000", FrameInput(full, false, false));

  using namespace ozr::testing::deflate;
  const Data text = MixedContent(3000, 9);
  const std::vector<std::pair<std::string, Data>> streams = {
      {"level-6", Deflated(text, 6, Z_DEFAULT_STRATEGY)},
      {"level-1", Deflated(text, 1, Z_DEFAULT_STRATEGY)},
      {"level-9-memlevel-9", Deflated(text, 9, Z_DEFAULT_STRATEGY, 9)},
      {"stored", Deflated(NoiseContent(300, 10), 0, Z_DEFAULT_STRATEGY)},
      {"fixed", Deflated(text, 6, Z_FIXED)},
      {"huffman-only", Deflated(text, 6, Z_HUFFMAN_ONLY)},
      {"run-lengths", Deflated(Data(5000, 'r'), 6, Z_RLE)},
      {"two-blocks", Deflated(text, 6, Z_DEFAULT_STRATEGY, 8, 1500)},
      {"noise", Deflated(NoiseContent(2000, 11), 6, Z_DEFAULT_STRATEGY)},
      {"exactly-128000", Deflated(Data(128000, 0), 9, Z_DEFAULT_STRATEGY)},
      {"fixed-length-286", FixedMatch(286, 0, 0)},
      {"fixed-distance-30", FixedFarDistance(30)},
      {"declares-287-codes", DynamicDeclaring(287, 2)},
      {"declares-31-distances", DynamicDeclaring(286, 31)},
      {"repeat-past-codes", RepeatPastTheCodes()},
      {"lone-end-of-block-1", LoneEndOfBlock(1)},
      {"lone-distance-1", DynamicMatch({1}, 1, true)},
      {"empty-distance-used", DynamicMatch({0}, 0, true)},
      {"empty-distance-after-full", EmptyDistanceCodeAfterAFullOne()},
  };
  for (const auto& [name, stream] : streams) {
    Save(root / "inflate_differential", name, Prefixed({0x00}, stream));
    Data trailing = stream;
    trailing.insert(trailing.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    Save(root / "inflate_differential", name + "-trailing-fixed", Prefixed({0x03}, trailing));
  }
  // Recipes for the generated streams: any bytes make one.
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    const uint8_t mode = seed % 2 ? 0x04 : 0x0C;
    Save(root / "inflate_differential", "recipe-" + std::to_string(seed),
         Prefixed({mode}, NoiseContent(40 * seed, seed)));
  }
  return 0;
}
