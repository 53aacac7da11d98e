#include "codec/decode_chunk.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "base/failure.h"
#include "base/little_endian.h"
#include "base/texts.h"
#include "base/utf.h"
#include "codec/chunk_sum.h"
#include "support/memory_files.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

using testing::DecodeEntry;
using testing::OpenFromMemory;

std::u16string FailureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Failure& f) {
    return f.text();
  }
  return u"(none)";
}

struct RoundTrip {
  const char* what;
  testing::CraftedOptions options;
  std::vector<uint8_t> content;
};

TEST(DecodeChunk, WriterToReaderRoundTrips) {
  testing::CraftedOptions small = testing::EncryptedOptions(u"пароль");
  small.frameContent = 1000;  // many frames per entry
  testing::CraftedOptions smallPlain = testing::PlainOptions();
  smallPlain.frameContent = 777;
  testing::CraftedOptions stored = testing::EncryptedOptions(u"p");
  stored.compressionLevel = 0;
  testing::CraftedOptions trailing = testing::PlainOptions();
  trailing.trailingBytes = 13;
  trailing.frameContent = 5000;
  testing::CraftedOptions notEncrypted2 = testing::PlainOptions();
  notEncrypted2.notEncrypted = 2;
  const RoundTrip cases[] = {
      {"plain, one frame", testing::PlainOptions(), testing::MixedContent(50000, 1)},
      {"encrypted, one frame", testing::EncryptedOptions(u"secret"), testing::MixedContent(100, 2)},
      {"encrypted, many frames", small, testing::MixedContent(20000, 3)},
      {"plain, many frames", smallPlain, testing::NoiseContent(20000, 4)},
      {"encrypted, noise shrinks frames", testing::EncryptedOptions(u"x"),
       testing::NoiseContent(400000, 5)},
      {"stored level 0", stored, testing::NoiseContent(300000, 6)},
      {"trailing bytes after each stream", trailing, testing::MixedContent(30000, 7)},
      {"notEncrypted 2 is unencrypted", notEncrypted2, testing::MixedContent(1000, 8)},
      {"one byte", testing::EncryptedOptions(u"1"), {0x42}},
  };
  for (const RoundTrip& c : cases) {
    const auto archive = testing::WriteArchiveToMemory(
        {{u"first", testing::MixedContent(333, 9), {}}, {u"x\\y", c.content, {}}}, c.options);
    ArchiveSession session;
    OpenFromMemory(archive, session);
    uint32_t sum = 0;
    EXPECT_EQ(DecodeEntry(session, 1, c.options.password, &sum), c.content) << c.what;
    EXPECT_EQ(sum, session.catalog.at(1).record.entrySum) << c.what;
    EXPECT_EQ(DecodeEntry(session, 0, c.options.password), testing::MixedContent(333, 9)) << c.what;
  }
}

TEST(DecodeChunk, WrongPasswordGivesOneOfTheTwoTexts) {
  const auto archive = testing::WriteArchiveToMemory({{u"a", testing::MixedContent(5000, 1), {}}},
                                                     testing::EncryptedOptions(u"right"));
  for (const char16_t* password : {u"wrong", u"Right", u"right ", u"r", u"0123456789abcdef"}) {
    ArchiveSession session;
    OpenFromMemory(archive, session);
    const std::u16string text = FailureOf([&] { DecodeEntry(session, 0, password); });
    EXPECT_TRUE(text == text::kDecryptFailed || text == text::kFrameSumMismatch)
        << ToUtf8(password) << ": " << ToUtf8(text);
  }
}

void AppendU32(std::vector<uint8_t>& bytes, uint32_t value) {
  bytes.resize(bytes.size() + 4);
  StoreU32(&bytes[bytes.size() - 4], value);
}

// Hand-built frames for a one-entry archive: payloads stored without encryption.
std::vector<uint8_t> ArchiveWithPayloads(const std::vector<std::vector<uint8_t>>& payloads) {
  std::vector<uint8_t> archive;
  uint64_t packed = 0;
  for (const auto& p : payloads) {
    AppendU32(archive, static_cast<uint32_t>(p.size()));
    archive.insert(archive.end(), p.begin(), p.end());
    AppendU32(archive, ChunkSum(p.data(), static_cast<int32_t>(p.size())));
    packed += p.size() + 8;
  }
  EntryRecord record;
  record.unpackedSize = 1;
  record.packedSize = packed;
  record.nameLength = 1;
  const uint64_t directoryAt = archive.size();
  const auto r = SerializeEntryRecord(record);
  archive.insert(archive.end(), r.begin(), r.end());
  archive.insert(archive.end(), {'n', 0});
  ArchiveHeader header;
  header.entryCount = 1;
  header.totalPackedSize = packed;
  header.totalUnpackedSize = 1;
  header.titleLength = 1;
  header.notEncrypted = 1;
  const auto h = SerializeHeader(header);
  archive.insert(archive.end(), h.begin(), h.end());
  archive.insert(archive.end(), {'t', 0});
  ArchiveTrailer trailer;
  trailer.headerDistance = 8 + 42;
  trailer.directoryDistance = static_cast<uint32_t>(archive.size() + 8 - directoryAt);
  const auto t = SerializeTrailer(trailer);
  archive.insert(archive.end(), t.begin(), t.end());
  return archive;
}

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& content) {
  uLongf length = compressBound(static_cast<uLong>(content.size()));
  std::vector<uint8_t> out(length);
  EXPECT_EQ(compress2(out.data(), &length, content.data(), static_cast<uLong>(content.size()), 9),
            Z_OK);
  out.resize(length);
  return out;
}

TEST(DecodeChunk, InflatedSizeLimitIsTheChunkBuffer) {
  struct Case {
    size_t size;
    const char16_t* failure;
  } cases[] = {{128000, u"(none)"}, {128001, text::kInflateFailed}};
  for (const Case& c : cases) {
    const std::vector<uint8_t> content(c.size, 'q');
    ArchiveSession session;
    OpenFromMemory(ArchiveWithPayloads({Zlib(content)}), session);
    std::vector<uint8_t> decoded;
    EXPECT_EQ(FailureOf([&] { decoded = DecodeEntry(session, 0, u""); }), c.failure) << c.size;
    if (c.failure == std::u16string(u"(none)")) {
      EXPECT_EQ(decoded, content);
    }
  }
}

TEST(DecodeChunk, DamagedFramesGiveTheirTexts) {
  const auto good = Zlib(testing::MixedContent(4000, 1));
  auto gzipHeader = good;
  gzipHeader[0] = 0x1F;  // not a zlib header
  auto truncated = good;
  truncated.resize(truncated.size() - 5);
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    const char16_t* failure;
  } cases[] = {
      {"payload byte flipped (no password involved)", [](auto& a) { a[10] ^= 1; },
       text::kFrameSumMismatch},
      {"payloadSum flipped", [&](auto& a) { a[4 + good.size()] ^= 0x80; }, text::kFrameSumMismatch},
      {"payloadLength beyond the buffer", [](auto& a) { StoreU32(a.data(), 128001); },
       text::kFrameReadFailed},
      {"payloadLength beyond the file", [](auto& a) { StoreU32(a.data(), 100000); },
       text::kFrameReadFailed},
  };
  for (const Case& c : cases) {
    auto archive = ArchiveWithPayloads({good});
    c.damage(archive);
    ArchiveSession session;
    OpenFromMemory(archive, session);
    EXPECT_EQ(ToUtf8(FailureOf([&] { DecodeEntry(session, 0, u""); })), ToUtf8(c.failure))
        << c.what;
  }
  for (const auto& payload : {gzipHeader, truncated, std::vector<uint8_t>{}}) {
    ArchiveSession session;
    OpenFromMemory(ArchiveWithPayloads({payload}), session);
    EXPECT_EQ(FailureOf([&] { DecodeEntry(session, 0, u""); }), text::kInflateFailed);
  }
}

TEST(DecodeChunk, ShortReadsOfEachFieldFail) {
  const auto payload = Zlib(testing::MixedContent(100, 1));
  // The frame is read from a file cut inside each of its three fields.
  for (const size_t keep : {size_t{2}, size_t{4} + 3, size_t{4} + payload.size() + 2}) {
    std::vector<uint8_t> frame(4);
    StoreU32(frame.data(), static_cast<uint32_t>(payload.size()));
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.resize(keep);
    testing::MemoryReadableFile file(frame);
    ChunkBuffer in, out;
    EXPECT_EQ(FailureOf([&] { DecodeChunk(file, nullptr, 1000, 0, in, out); }),
              text::kFrameReadFailed)
        << keep;
  }
}

TEST(DecodeChunk, OversizedPayloadIsRefusedBeforeReading) {
  std::vector<uint8_t> frame(4 + 200000, 0xAB);
  StoreU32(frame.data(), 200000);
  testing::MemoryReadableFile file(frame);
  ChunkBuffer in, out;
  in.data()[0] = 0x11;
  EXPECT_EQ(FailureOf([&] { DecodeChunk(file, nullptr, 300000, 0, in, out); }),
            text::kFrameReadFailed);
  EXPECT_EQ(in.data()[0], 0x11);  // nothing was read into the buffer
}

TEST(DecodeChunk, FinalFlagFollowsStoredLengths) {
  // Frames of 48, 48 and 32 stored bytes (56, 56 and 40 on disk) in an entry of 152 bytes:
  // only the third is decrypted as final. The writer makes exactly this shape for small chunks.
  testing::CraftedOptions options = testing::EncryptedOptions(u"pw");
  options.compressionLevel = 0;
  options.frameContent = 30;
  const auto content = testing::NoiseContent(70, 1);
  const auto archive = testing::WriteArchiveToMemory({{u"e", content, {}}}, options);
  ArchiveSession session;
  OpenFromMemory(archive, session);
  const auto& record = session.catalog.at(0).record;
  EXPECT_EQ(record.packedSize, 56u + 56 + 40);
  EXPECT_EQ(DecodeEntry(session, 0, u"pw"), content);
}

}  // namespace
}  // namespace ozr
