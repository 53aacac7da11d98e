#include "pack/archive_writer.h"

#include <gtest/gtest.h>

#include "base/failure.h"
#include "base/little_endian.h"
#include "base/texts.h"
#include "base/utf.h"
#include "support/memory_files.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

using testing::Bytes;

std::u16string Refusal(const std::vector<PackEntry>& entries, const PackOptions& options) {
  try {
    testing::WriteArchiveToMemory(entries, options);
  } catch (const Failure& f) {
    return f.text();
  }
  return u"(written)";
}

TEST(ArchiveWriter, RefusesWhatTheUnpackerCouldNotOpenOrUse) {
  const std::vector<PackEntry> one = {{u"a", Bytes("x"), {}}};
  struct Case {
    const char* what;
    std::vector<PackEntry> entries;
    std::function<void(PackOptions&)> change;
    std::u16string refusal;
  } cases[] = {
      {"empty title", one, [](PackOptions& o) { o.title.clear(); }, text::kPackTitleLength},
      {"title of 65", one, [](PackOptions& o) { o.title.assign(65, u't'); },
       text::kPackTitleLength},
      {"comment of 256", one, [](PackOptions& o) { o.comment.assign(256, u'c'); },
       text::kPackCommentTooLong},
      {"level 10", one, [](PackOptions& o) { o.compressionLevel = 10; }, text::kPackLevelRange},
      {"no password", one, [](PackOptions& o) { o.encrypted = true; }, text::kEnterPassword},
      {"password of 17", one,
       [](PackOptions& o) {
         o.encrypted = true;
         o.password.assign(17, u'p');
       },
       text::kPackPasswordTooLong},
      {"name of 261",
       {{std::u16string(261, u'n'), Bytes("x"), {}}},
       [](PackOptions&) {},
       u"Имя в архиве длиннее 260 знаков: " + std::u16string(261, u'n') + u"."},
      {"empty entry",
       {{u"пусто", {}, {}}},
       [](PackOptions&) {},
       u"Пустой файл не может быть записан в архив: пусто."},
  };
  for (const Case& c : cases) {
    testing::CraftedOptions options = testing::PlainOptions();
    c.change(options);
    EXPECT_EQ(ToUtf8(Refusal(c.entries, options)), ToUtf8(c.refusal)) << c.what;
  }
}

TEST(ArchiveWriter, EncryptedFramesAreWholeBlocksAndFitTheBuffer) {
  testing::CraftedOptions options = testing::EncryptedOptions(u"pw");
  const auto content = testing::NoiseContent(1000000, 3);
  const auto archive = testing::WriteArchiveToMemory({{u"big", content, {}}}, options);
  ArchiveSession session;
  testing::OpenFromMemory(archive, session);
  const uint64_t packed = session.catalog.at(0).record.packedSize;
  uint64_t at = session.DataAreaPosition();
  uint64_t consumed = 0;
  int frames = 0;
  while (consumed < packed) {
    const uint32_t n = LoadU32(&archive[at]);
    EXPECT_LE(n, kChunkBufferSize);
    EXPECT_EQ(n % 16, 0u);
    at += n + 8;
    consumed += n + 8;
    ++frames;
  }
  EXPECT_EQ(consumed, packed);
  EXPECT_GE(frames, 8);  // noise does not compress: 128000-byte pieces need more frames
  EXPECT_EQ(testing::DecodeEntry(session, 0, u"pw"), content);
}

TEST(ArchiveWriter, SameBytesWhateverTheNumberOfThreads) {
  PackOptions stored = testing::PlainOptions();
  stored.compressionLevel = 0;
  // Text, noise (whose pieces split) and small entries, so that pieces of several entries and
  // several sizes are in flight at once.
  std::vector<PackEntry> entries = {{u"a", testing::MixedContent(400000, 1), {}},
                                    {u"b", testing::NoiseContent(300000, 2), {}}};
  for (uint32_t i = 0; i < 20; ++i) {
    entries.push_back({u"c" + std::u16string(1, char16_t(u'a' + i)),
                       testing::MixedContent(100 + 700 * i, 3 + i),
                       {}});
  }
  for (PackOptions options : {PackOptions(testing::EncryptedOptions(u"pw")),
                              PackOptions(testing::PlainOptions()), stored}) {
    options.threads = 1;
    const std::vector<uint8_t> one = testing::WriteArchiveToMemory(entries, options);
    options.threads = 4;
    EXPECT_EQ(testing::WriteArchiveToMemory(entries, options), one) << options.compressionLevel;
  }
}

TEST(ArchiveWriter, ReadsEntriesFromFilesThroughTheFileSystem) {
  const auto content = testing::MixedContent(300000, 5);
  testing::OneFileSystem files(content);
  std::vector<uint8_t> bytes;
  testing::MemoryWritableFile out(bytes);
  const PackResult result =
      WriteArchive({{u"copy.bin", {}, u"/src/archive.ozr"}}, testing::PlainOptions(), &files, out);
  EXPECT_EQ(result.totalUnpackedSize, content.size());
  EXPECT_EQ(result.endPosition, bytes.size());
  ArchiveSession session;
  testing::OpenFromMemory(bytes, session);
  EXPECT_EQ(testing::DecodeEntry(session, 0, u""), content);

  // Failures name the file, not the entry.
  testing::OneFileSystem empty({});
  const std::pair<const char16_t*, const char16_t*> failures[] = {
      {u"/missing", u"Не удалось прочитать файл /missing."},
      {u"/now empty/archive.ozr",
       u"Пустой файл не может быть записан в архив: /now empty/archive.ozr."},
  };
  for (const auto& [path, message] : failures) {
    std::vector<uint8_t> unused;
    testing::MemoryWritableFile other(unused);
    try {
      WriteArchive({{u"x", {}, path}}, testing::PlainOptions(), &empty, other);
      ADD_FAILURE() << ToUtf8(path);
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.text(), message);
    }
  }
}

TEST(ArchiveWriter, EndAlignmentAddsFewerThanItsSizeAndKeepsTheArchiveReadable) {
  const std::vector<uint8_t> content = testing::MixedContent(5000, 7);
  for (size_t prefix = 0; prefix < 8; ++prefix) {
    testing::CraftedOptions options = testing::PlainOptions();
    const std::vector<uint8_t> program(prefix, 0x90);
    const size_t unaligned =
        testing::WriteArchiveToMemory({{u"f", content, {}}}, options, program).size();
    options.endAlignment = 8;
    const auto aligned = testing::WriteArchiveToMemory({{u"f", content, {}}}, options, program);
    EXPECT_EQ(aligned.size() % 8, 0u) << prefix;
    EXPECT_LT(aligned.size() - unaligned, 8u) << prefix;
    ArchiveSession session;
    testing::OpenFromMemory(aligned, session);
    EXPECT_EQ(testing::DecodeEntry(session, 0, u""), content) << prefix;
  }
}

}  // namespace
}  // namespace ozr
