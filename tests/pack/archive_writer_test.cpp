// The archive writer: what it refuses, and archives that decode to their entries whatever the
// options and the number of threads.
#include "pack/archive_writer.h"

#include <gtest/gtest.h>

#include "base/failure.h"
#include "base/utf.h"
#include "support/memory_files.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

using testing::Bytes;

std::string Refusal(const std::vector<PackEntry>& entries, const PackOptions& options,
                    FileSystem* files = nullptr) {
  std::vector<uint8_t> bytes;
  testing::MemoryWritableFile out(bytes);
  try {
    WriteArchive(entries, options, files, out);
  } catch (const Failure& f) {
    return ToUtf8(f.text());
  }
  return "(written)";
}

// A password, even an empty one, makes the archive encrypted.
PackOptions Options(std::u16string title, uint16_t level = 6, const char16_t* password = nullptr,
                    std::u16string comment = {}) {
  PackOptions options;
  options.title = std::move(title);
  options.compressionLevel = level;
  options.encrypted = password != nullptr;
  options.password = password != nullptr ? password : u"";
  options.comment = std::move(comment);
  return options;
}

TEST(ArchiveWriter, RefusesWhatTheUnpackerCouldNotOpenOrUse) {
  const PackEntry x = {u"a", Bytes("x"), {}};
  const std::u16string longName(261, u'n');
  const struct {
    PackOptions options;
    PackEntry entry;
    std::string refusal;
  } cases[] = {
      {Options(u""), x, "Заголовок архива должен занимать от 1 до 64 знаков."},
      {Options(u"t", 10), x, "Степень сжатия должна быть от 0 до 9."},
      {Options(u"t", 6, u""), x, "Введите пароль."},
      {Options(u"t", 6, u"ppppppppppppppppp"), x, "Пароль длиннее 16 знаков."},
      {Options(u"t"),
       {longName, Bytes("x"), {}},
       "Имя в архиве длиннее 260 знаков: " + ToUtf8(longName) + "."},
      {Options(u"t"), {u"пусто", {}, {}}, "Пустой файл не может быть записан в архив: пусто."},
      // Sources read through the file system are named by their path.
      {Options(u"t"), {u"x", {}, u"/missing"}, "Не удалось прочитать файл /missing."},
      {Options(u"t"),
       {u"x", {}, u"/now empty/archive.ozr"},
       "Пустой файл не может быть записан в архив: /now empty/archive.ozr."},
  };
  testing::OneFileSystem empty({});
  for (const auto& c : cases) EXPECT_EQ(Refusal({c.entry}, c.options, &empty), c.refusal);
}

TEST(ArchiveWriter, ArchivesDecodeToTheirEntriesWithTheSameBytesOnAnyNumberOfThreads) {
  // Noise does not compress: its 300000 bytes need several frames, each within the buffer.
  const std::vector<uint8_t> noise = testing::NoiseContent(300000, 2);
  testing::OneFileSystem files(noise);
  const std::vector<PackEntry> entries = {{u"a", testing::MixedContent(200000, 1), {}},
                                          {u"папка\\b", {}, u"/src/archive.ozr"},
                                          {u"c", Bytes("c"), {}}};
  PackOptions oneThread = Options(u"one thread", 1);
  oneThread.threads = 1;
  for (PackOptions options :
       {Options(u"plain"), Options(u"encrypted", 9, u"Пароль16символов", u"к"),
        Options(u"stored", 0, u"p"), oneThread}) {
    SCOPED_TRACE(ToUtf8(options.title));
    std::vector<uint8_t> bytes;
    testing::MemoryWritableFile out(bytes);
    const PackResult result = WriteArchive(entries, options, &files, out);
    EXPECT_EQ(result.totalUnpackedSize, 500001u);
    EXPECT_EQ(result.endPosition, bytes.size());
    options.threads = 3 - options.threads;
    std::vector<uint8_t> again;
    testing::MemoryWritableFile otherOut(again);
    WriteArchive(entries, options, &files, otherOut);
    EXPECT_EQ(again, bytes);
    ArchiveSession session;
    testing::OpenFromMemory(bytes, session);
    for (uint32_t i = 0; i < 3; ++i) {
      uint32_t sum = 0;
      EXPECT_EQ(testing::DecodeEntry(session, i, options.password, &sum),
                i == 1 ? noise : entries[i].bytes);
      EXPECT_EQ(sum, session.catalog.at(i).record.entrySum);
    }
  }
}

// Frames of 30 content bytes stored at level 0 take 41 bytes, padded to 48 but the last, whose
// 21 take 32 with the cipher's padding: 56, 56 and 40 bytes with their fields.
TEST(FrameWriter, FramesButTheLastArePaddedToWholeBlocks) {
  testing::CraftedOptions options = testing::EncryptedOptions(u"pw");
  options.compressionLevel = 0;
  options.frameContent = 30;
  const std::vector<uint8_t> content = testing::NoiseContent(70, 1);
  ArchiveSession session;
  testing::OpenFromMemory(testing::WriteArchiveToMemory({{u"e", content, {}}}, options), session);
  EXPECT_EQ(session.catalog.at(0).record.packedSize, 152u);
  EXPECT_EQ(testing::DecodeEntry(session, 0, u"pw"), content);
}

}  // namespace
}  // namespace ozr
