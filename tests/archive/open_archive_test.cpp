#include "archive/open_archive.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/failure.h"
#include "base/little_endian.h"
#include "base/size_text.h"
#include "base/texts.h"
#include "base/utf.h"
#include "support/memory_files.h"
#include "support/recording_view.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

using testing::Bytes;
using testing::OneFileSystem;
using testing::RecordingView;

// Positions inside an archive, found the way the reader finds them.
struct Layout {
  explicit Layout(const std::vector<uint8_t>& a) : bytes(a) {}
  uint64_t size() const { return bytes.size(); }
  uint64_t header() const { return size() - LoadU32(&bytes[size() - 8]); }
  uint64_t directory() const { return size() - LoadU32(&bytes[size() - 4]); }
  // The EntryRecord of entry i.
  uint64_t record(uint32_t i) const {
    uint64_t at = directory();
    for (uint32_t k = 0; k < i; ++k) at += 40 + 2 * uint64_t{LoadU32(&bytes[at + 32])};
    return at;
  }
  const std::vector<uint8_t>& bytes;
};

void PatchU16(std::vector<uint8_t>& b, uint64_t at, uint16_t v) { StoreU16(&b[at], v); }
void PatchU32(std::vector<uint8_t>& b, uint64_t at, uint32_t v) { StoreU32(&b[at], v); }
void PatchU64(std::vector<uint8_t>& b, uint64_t at, uint64_t v) { StoreU64(&b[at], v); }

struct Opened {
  bool threw = false;
  std::u16string failure;
  bool returned = false;
  RecordingView view;
  ArchiveSession session;
  std::u16string path = u"C:\\Архивы\\archive.ozr";
};

void Open(const std::vector<uint8_t>& archive, Opened& out) {
  OneFileSystem files(archive);
  try {
    out.returned = OpenArchive(out.path, out.session, files, out.view);
  } catch (const Failure& f) {
    out.threw = true;
    out.failure = f.text();
  }
}

std::vector<uint8_t> ThreeEntries(
    const testing::CraftedOptions& options = testing::PlainOptions()) {
  return testing::WriteArchiveToMemory({{u"readme.txt", Bytes("hello"), {}},
                                        {u"docs\\a.txt", testing::MixedContent(3000, 1), {}},
                                        {u"docs\\b.bin", testing::NoiseContent(200, 2), {}}},
                                       options);
}

TEST(OpenArchive, FillsTheDialogInOrder) {
  testing::CraftedOptions options = testing::PlainOptions(u"Мой архив");
  options.comment = u"Комментарий";
  options.compressionLevel = 9;
  const auto archive = ThreeEntries(options);
  Opened o;
  Open(archive, o);
  ASSERT_FALSE(o.threw) << ToUtf8(o.failure);
  EXPECT_TRUE(o.returned);
  const auto& c = o.session.catalog;
  ASSERT_EQ(c.size(), 3u);
  const std::u16string summary = FormatSummaryLine(
      3, c.at(0).record.unpackedSize + c.at(1).record.unpackedSize + c.at(2).record.unpackedSize,
      o.session.header.totalPackedSize);
  std::vector<std::u16string> expected = {u"folder C:\\Архивы\\", u"comment Комментарий",
                                          u"title Мой архив", u"summary " + summary,
                                          u"level Степень сжатия: 9"};
  for (uint32_t i = 0; i < 3; ++i) {
    expected.push_back(u"item " + FormatEntryLine(c.at(i).name, c.at(i).record.unpackedSize,
                                                  c.at(i).record.packedSize));
  }
  expected.push_back(u"password disabled");
  EXPECT_EQ(o.view.calls, expected);
  EXPECT_EQ(c.at(1).name, u"docs\\a.txt");
  EXPECT_EQ(c.at(1).record.unpackedSize, 3000u);
  EXPECT_EQ(c.at(2).streamOffset, c.at(0).record.packedSize + c.at(1).record.packedSize);
}

TEST(OpenArchive, PasswordFieldDisabledOnlyForNotEncryptedOne) {
  for (const uint8_t flag : {0, 1, 2, 255}) {
    testing::CraftedOptions options =
        flag == 0 ? testing::EncryptedOptions(u"pw") : testing::PlainOptions();
    options.notEncrypted = flag;
    Opened o;
    Open(ThreeEntries(options), o);
    ASSERT_FALSE(o.threw);
    EXPECT_EQ(o.view.calls.back() == u"password disabled", flag == 1) << int{flag};
  }
}

TEST(OpenArchive, FileThatCannotBeOpenedShowsMessageAndEndsDialog) {
  Opened o;
  o.path = u"C:\\missing.ozr";
  OneFileSystem files({});
  EXPECT_FALSE(OpenArchive(o.path, o.session, files, o.view));
  ASSERT_EQ(o.view.messages.size(), 1u);
  const Message& m = o.view.messages[0];
  EXPECT_EQ(m.text, text::kOpenFailed);
  EXPECT_EQ(m.caption, text::kCaptionError);
  EXPECT_EQ(m.flags, unsigned{kMbIconError});
  EXPECT_FALSE(m.ownedByDialog);
  EXPECT_EQ(o.view.calls,
            (std::vector<std::u16string>{u"message Ошибка при открытии архива.", u"end 0"}));
}

TEST(OpenArchive, PathWithoutBackslashSetsNoDestination) {
  Opened o;
  o.path = u"archive.ozr";
  Open(ThreeEntries(), o);
  ASSERT_FALSE(o.threw);
  EXPECT_EQ(o.view.calls.front().rfind(u"comment ", 0), 0u);
}

struct LimitCase {
  const char* what;
  std::function<void(std::vector<uint8_t>&)> damage;
  bool accepted;
};

TEST(OpenArchive, LimitsJustInsideAndJustOutside) {
  auto header = [](std::vector<uint8_t>& b) { return Layout(b).header(); };
  const LimitCase cases[] = {
      {"untouched", [](auto&) {}, true},
      {"level 9", [&](auto& b) { PatchU16(b, header(b) + 24, 9); }, true},
      {"level 10", [&](auto& b) { PatchU16(b, header(b) + 24, 10); }, false},
      {"title 0", [&](auto& b) { PatchU32(b, header(b) + 32, 0); }, false},
      {"title 65", [&](auto& b) { PatchU32(b, header(b) + 32, 65); }, false},
      {"comment 256", [&](auto& b) { PatchU32(b, header(b) + 28, 256); }, false},
      {"comment above headerDistance",
       [&](auto& b) { PatchU32(b, header(b) + 28, LoadU32(&b[b.size() - 8]) + 1); }, false},
      {"totalPacked 0", [&](auto& b) { PatchU64(b, header(b) + 16, 0); }, false},
      {"totalUnpacked 0", [&](auto& b) { PatchU64(b, header(b) + 8, 0); }, false},
      {"totalPacked off by one",
       [&](auto& b) { PatchU64(b, header(b) + 16, LoadU64(&b[header(b) + 16]) + 1); }, false},
      {"totalUnpacked off by one",
       [&](auto& b) { PatchU64(b, header(b) + 8, LoadU64(&b[header(b) + 8]) - 1); }, false},
      {"entryCount 0", [&](auto& b) { PatchU32(b, header(b), 0); }, false},
      {"entryCount 4", [&](auto& b) { PatchU32(b, header(b), 4); }, false},
      {"headerDistance 0", [](auto& b) { PatchU32(b, b.size() - 8, 0); }, false},
      {"headerDistance S+1",
       [](auto& b) { PatchU32(b, b.size() - 8, static_cast<uint32_t>(b.size() + 1)); }, false},
      {"directoryDistance S+1",
       [](auto& b) { PatchU32(b, b.size() - 4, static_cast<uint32_t>(b.size() + 1)); }, false},
      {"unpackedSize 0", [](auto& b) { PatchU64(b, Layout(b).record(1), 0); }, false},
      {"packedSize 0", [](auto& b) { PatchU64(b, Layout(b).record(1) + 8, 0); }, false},
      {"truncated by one byte at the front", [](auto& b) { b.erase(b.begin()); }, false},
  };
  for (const LimitCase& c : cases) {
    auto archive = ThreeEntries();
    c.damage(archive);
    Opened o;
    Open(archive, o);
    EXPECT_EQ(!o.threw, c.accepted) << c.what;
    if (o.threw) {
      EXPECT_EQ(o.failure, text::kArchiveReadFailed) << c.what;
    }
  }
}

TEST(OpenArchive, TextLengthLimitsFromTheWriter) {
  struct Case {
    std::u16string title, comment, name;
  } cases[] = {
      {std::u16string(1, u'T'), u"", u"x"},
      {std::u16string(64, u'T'), std::u16string(255, u'к'), std::u16string(260, u'n')},
      {u"T", u"", u""},  // an empty name is accepted
  };
  for (const Case& c : cases) {
    testing::CraftedOptions options = testing::PlainOptions(c.title);
    options.comment = c.comment;
    Opened o;
    Open(testing::WriteArchiveToMemory({{c.name, Bytes("x"), {}}}, options), o);
    ASSERT_FALSE(o.threw) << c.title.size();
    EXPECT_EQ(o.session.catalog.at(0).name, c.name);
    EXPECT_EQ(o.view.calls[2], u"title " + c.title);
  }
}

TEST(OpenArchive, NameLength261InThirdEntryLeavesTwoEntries) {
  std::vector<PackEntry> entries;
  for (int i = 0; i < 4; ++i)
    entries.push_back({u"f" + std::u16string(1, u'0' + i), Bytes("z"), {}});
  entries[2].name = std::u16string(260, u'n');
  auto archive = testing::WriteArchiveToMemory(entries, testing::PlainOptions());
  PatchU32(archive, Layout(archive).record(2) + 32, 260);
  Opened accepted;
  Open(archive, accepted);
  EXPECT_FALSE(accepted.threw);
  PatchU32(archive, Layout(archive).record(2) + 32, 261);
  Opened o;
  Open(archive, o);
  EXPECT_TRUE(o.threw);
  EXPECT_EQ(o.failure, text::kArchiveReadFailed);
  EXPECT_EQ(o.view.items.size(), 2u);
  EXPECT_EQ(o.session.catalog.size(), 2u);
  EXPECT_NE(o.session.file, nullptr);  // left open for the caller to clear
}

TEST(OpenArchive, NulInsideNameCutsNameAndItem) {
  const std::u16string name(u"ab\0cd", 5);
  Opened o;
  Open(testing::WriteArchiveToMemory({{name, Bytes("x"), {}}}, testing::PlainOptions()), o);
  ASSERT_FALSE(o.threw);
  EXPECT_EQ(o.session.catalog.at(0).name, u"ab");
  EXPECT_EQ(o.session.catalog.at(0).record.nameLength, 5u);
  EXPECT_EQ(o.view.items[0].substr(0, 4), u"ab; ");
}

TEST(OpenArchive, DuplicateNamesAreTwoEntries) {
  Opened o;
  Open(testing::WriteArchiveToMemory({{u"same", Bytes("1"), {}}, {u"same", Bytes("22"), {}}},
                                     testing::PlainOptions()),
       o);
  ASSERT_FALSE(o.threw);
  EXPECT_EQ(o.view.items.size(), 2u);
  EXPECT_EQ(o.session.catalog.at(1).record.unpackedSize, 2u);
}

TEST(OpenArchive, FilesShorterThanTheTrailerFail) {
  for (size_t n = 0; n < 8; ++n) {
    Opened o;
    Open(std::vector<uint8_t>(n, 0), o);
    EXPECT_TRUE(o.threw) << n;
  }
}

TEST(OpenArchive, HeaderAtTheVeryStartIsAccepted) {
  testing::CraftedOptions options = testing::PlainOptions();
  options.headerFirst = true;
  const auto archive = ThreeEntries(options);
  EXPECT_EQ(Layout(archive).header(), 0u);  // headerDistance equals the file size
  Opened o;
  Open(archive, o);
  EXPECT_FALSE(o.threw);
}

TEST(OpenArchive, SameArchiveBehindAnyPrefixOpensIdentically) {
  const auto plain = ThreeEntries();
  const auto prefixed =
      testing::WriteArchiveToMemory({{u"readme.txt", Bytes("hello"), {}},
                                     {u"docs\\a.txt", testing::MixedContent(3000, 1), {}},
                                     {u"docs\\b.bin", testing::NoiseContent(200, 2), {}}},
                                    testing::PlainOptions(), testing::NoiseContent(70001, 9));
  ASSERT_EQ(std::vector<uint8_t>(prefixed.end() - plain.size(), prefixed.end()), plain);
  Opened a, b;
  Open(plain, a);
  Open(prefixed, b);
  ASSERT_FALSE(a.threw || b.threw);
  EXPECT_EQ(a.view.calls, b.view.calls);
  EXPECT_EQ(b.session.DataAreaPosition(), 70001u);
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(testing::DecodeEntry(a.session, i, u""), testing::DecodeEntry(b.session, i, u""));
  }
}

TEST(OpenArchive, OneEntryLayoutDistances) {
  testing::CraftedOptions options = testing::PlainOptions(u"ABCD");
  const auto archive = testing::WriteArchiveToMemory({{u"a.txt", Bytes("content"), {}}}, options);
  const Layout layout(archive);
  EXPECT_EQ(LoadU32(&archive[archive.size() - 8]), 56u);
  EXPECT_EQ(LoadU32(&archive[archive.size() - 4]), 106u);
  Opened o;
  Open(archive, o);
  ASSERT_FALSE(o.threw);
  EXPECT_EQ(o.session.DataAreaPosition(), 0u);
  EXPECT_EQ(archive.size(), o.session.catalog.at(0).record.packedSize + 106);
}

TEST(OpenArchive, DataAreaBeforeTheFileStartIsRefused) {
  // Sizes that agree with their totals but place the data area in front of the file.
  auto archive = testing::WriteArchiveToMemory({{u"a", Bytes("abc"), {}}}, testing::PlainOptions());
  const Layout layout(archive);
  const uint64_t packed = LoadU64(&archive[layout.record(0) + 8]) + archive.size();
  PatchU64(archive, layout.record(0) + 8, packed);
  PatchU64(archive, layout.header() + 16, packed);
  Opened o;
  Open(archive, o);
  EXPECT_TRUE(o.threw);
  EXPECT_EQ(o.failure, text::kArchiveReadFailed);
}

TEST(OpenArchive, SizesThatMeetTheTotalsOnlyByWrapAroundAreRefused) {
  auto archive = ThreeEntries();
  const Layout layout(archive);
  for (uint32_t i : {0u, 1u}) {
    const uint64_t at = layout.record(i) + 8;
    PatchU64(archive, at, LoadU64(&archive[at]) + (uint64_t{1} << 63));
  }
  Opened o;
  Open(archive, o);
  EXPECT_TRUE(o.threw);
  // The entry whose size wraps the sum is neither stored nor listed: keys and items stay equal.
  EXPECT_EQ(o.session.catalog.size(), 1u);
  EXPECT_EQ(o.view.items.size(), 1u);
}

// The archive of a stored n-byte entry "f" is n + 117 bytes long, so n picks how many zero bytes a
// signer pads with; the trailer's own last bytes are zero as well (directoryDistance < 2^24).
TEST(OpenArchive, SignedExecutableIsReadAsIfItEndedWhereItsArchiveDoes) {
  const struct {
    size_t n;
    uint64_t end;  // the archive's end: 0x400 bytes of program, then the archive
  } cases[] = {{3, 1144}, {4, 1145}, {10, 1151}};
  for (const auto& c : cases) {
    testing::CraftedOptions options = testing::PlainOptions();
    options.compressionLevel = 0;
    const std::vector<uint8_t> content(c.n, 'c');
    const auto archive =
        testing::WriteArchiveToMemory({{u"f", content, {}}}, options, testing::PeImage());
    Opened bare;
    Open(archive, bare);
    ASSERT_FALSE(bare.threw) << c.n;
    Opened o;
    Open(testing::Signed(archive), o);
    ASSERT_FALSE(o.threw) << c.n;
    EXPECT_EQ(o.session.fileSize, c.end) << c.n;
    EXPECT_EQ(o.session.file->Size(), c.end) << c.n;
    EXPECT_EQ(o.view.calls, bare.view.calls) << c.n;
    EXPECT_EQ(testing::DecodeEntry(o.session, 0, u""), content) << c.n;

    // A table that no longer ends the file is no signature: the file is read from its end.
    auto unsound = testing::Signed(archive);
    unsound.push_back(0);
    Opened failed;
    Open(unsound, failed);
    EXPECT_EQ(failed.failure, text::kArchiveReadFailed) << c.n;
  }
}

}  // namespace
}  // namespace ozr
