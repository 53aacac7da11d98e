// Opening an archive and the start-up choice: which archives open and which damaged ones are
// refused, each edited through its records, and what the start-up shows, in order.
#include "archive/open_archive.h"

#include <gtest/gtest.h>

#include <functional>

#include "archive/open_startup_archive.h"
#include "base/failure.h"
#include "base/utf.h"
#include "support/memory_file_system.h"
#include "support/recording_view.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

using testing::Bytes;
using Archive = std::vector<uint8_t>;

std::vector<PackEntry> ThreeEntries() {
  return {{u"readme.txt", Bytes("hello"), {}},
          {u"docs\\a.txt", testing::MixedContent(3000, 1), {}},
          {u"docs\\b.bin", testing::NoiseContent(200, 2), {}}};
}

// `archive` behind a signed program, with `padding` zero bytes in front of the certificate table.
Archive SignedWithPadding(const Archive& archive, size_t padding) {
  Archive program = testing::PeImage();
  program.resize(program.size() + (16 - (program.size() + archive.size() + padding) % 8) % 8);
  program.insert(program.end(), archive.begin(), archive.end());
  return testing::Signed(program);
}

using Edit = std::function<void(Archive&)>;
Edit Header(std::function<void(ArchiveHeader&)> edit) {
  return [=](Archive& b) { testing::EditHeader(b, edit); };
}
Edit Record(uint32_t index, std::function<void(EntryRecord&)> edit) {
  return [=](Archive& b) { testing::EditRecord(b, index, edit); };
}

// The edit, then the list items shown, " disabled" when the password field was, and the failure.
using DamageCase = std::pair<Edit, std::u16string>;

TEST(OpenArchive, DamagedArchivesAreRefused) {
  const std::u16string kFailed = u" Ошибка при чтении архива.";
  testing::CraftedOptions longest = testing::PlainOptions(std::u16string(64, u'T'));
  longest.comment = std::u16string(255, u'к');
  const Edit longestTexts = [=](Archive& b) {
    b = testing::WriteArchiveToMemory({{std::u16string(260, u'n'), Bytes("hello"), {}}}, longest);
  };
  const DamageCase cases[] = {
      {longestTexts, u"1 disabled"},
      {[](Archive& b) { b = SignedWithPadding(b, 0); }, u"3 disabled"},
      {[](Archive& b) { b = SignedWithPadding(b, 7); }, u"3 disabled"},
      {Header([](auto& h) { h.notEncrypted = 2; }), u"3"},
      {Header([](auto& h) { h.compressionLevel = 10; }), u"0" + kFailed},
      {Header([](auto& h) { h.titleLength = 0; }), u"0" + kFailed},
      {Header([](auto& h) { h.totalPackedSize += 1; }), u"3" + kFailed},
      {Header([](auto& h) { h.totalUnpackedSize -= 1; }), u"3" + kFailed},
      {Record(1, [](auto& r) { r.unpackedSize = 0; }), u"1" + kFailed},
      {Record(1, [](auto& r) { r.packedSize = 0; }), u"1" + kFailed},
      // A name of 261 units, with the bytes behind it to read it from.
      {[&](Archive& b) { longestTexts(b), Record(0, [](auto& r) { r.nameLength = 261; })(b); },
       u"0" + kFailed},
      // Sizes that meet the totals only by wrapping around.
      {[](Archive& b) {
         for (uint32_t i : {0u, 1u}) Record(i, [](auto& r) { r.packedSize += 1ull << 63; })(b);
       },
       u"1" + kFailed},
      // The data area reaching in front of the file.
      {[](Archive& b) { b.erase(b.begin()); }, u"3" + kFailed},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(&c - cases);
    Archive archive = testing::WriteArchiveToMemory(ThreeEntries(), testing::PlainOptions());
    c.first(archive);
    testing::OneFileSystem files(archive);
    testing::RecordingView view;
    ArchiveSession session;
    std::u16string failure;
    try {
      OpenArchive(u"C:\\archive.ozr", session, files, view);
      if (!session.header.encrypted()) {
        EXPECT_EQ(testing::DecodeEntry(session, 0, u""), Bytes("hello"));
      }
    } catch (const Failure& f) {
      failure = u" " + f.text();
    }
    EXPECT_EQ(std::to_string(view.items.size()) +
                  (view.calls.back() == u"password disabled" ? " disabled" : "") + ToUtf8(failure),
              ToUtf8(c.second));
  }
}

struct StartupCase {
  const char* what;
  std::optional<Archive> own;     // the program's file; nothing: it cannot be opened
  std::optional<Archive> chosen;  // nothing: the chosen file cannot be opened
  bool cancel;
  StartupResult result;
  // The calls of the start-up itself (archive texts and entry lines left out), then the
  // catalogue's names.
  std::vector<std::u16string> calls;
};

TEST(OpenStartupArchive, OwnArchiveFirstThenTheChosenOne) {
  const auto archive = [](std::u16string name) {
    return testing::WriteArchiveToMemory({{std::move(name), Bytes("x"), {}}},
                                         testing::PlainOptions());
  };
  const Archive program = Bytes("MZ a program that is no archive by itself");
  Archive damaged = archive(u"damaged");
  testing::EditHeader(damaged, [](auto& h) { h.totalPackedSize += 1; });
  const Archive chosen = archive(u"выбранный.txt");
  const std::u16string kOpenFailed = u"message Ошибка 16 free Ошибка при открытии архива.";
  const std::u16string kReadFailed = u"message Ошибка 16 free Ошибка при чтении архива.";
  // After the program's folder, the own archive dropped and the user asked.
  const auto calls = [](bool asked, std::vector<std::u16string> rest) {
    if (asked) rest.insert(rest.begin(), {u"folder C:\\Программы\\", u"clear", u"choose"});
    return rest;
  };
  const StartupCase cases[] = {
      {"a plain program", program, chosen, false, StartupResult::kOpened,
       calls(true, {u"folder D:\\Архивы\\", u"limit 16", u"fit", u"выбранный.txt"})},
      {"choice cancelled", program, chosen, true, StartupResult::kChoiceFailed,
       calls(true, {u"end 0"})},
      {"chosen file damaged", program, damaged, false, StartupResult::kChoiceFailed,
       calls(true, {u"folder D:\\Архивы\\", kReadFailed, u"end 0", u"damaged"})},
      {"chosen file cannot be opened", program, std::nullopt, false, StartupResult::kOpenFailed,
       calls(true, {kOpenFailed, u"end 0"})},
      {"program file cannot be opened", std::nullopt, chosen, false, StartupResult::kOpenFailed,
       calls(false, {kOpenFailed, u"end 0"})},
  };
  for (const StartupCase& c : cases) {
    SCOPED_TRACE(c.what);
    testing::MemoryFileSystem files(NameRules::kWindows);
    if (c.own) files.AddFile(u"C:\\Программы\\unpacker.exe", *c.own);
    if (c.chosen) files.AddFile(u"D:\\Архивы\\выбранный.ozr", *c.chosen);
    testing::RecordingView view;
    if (!c.cancel) view.choice = u"D:\\Архивы\\выбранный.ozr";
    ArchiveSession session;
    EXPECT_EQ(OpenStartupArchive(u"C:\\Программы\\unpacker.exe", session, files, view), c.result);
    std::vector<std::u16string> shown;
    for (const std::u16string& call : view.calls) {
      for (const char16_t* own :
           {u"folder", u"choose", u"message", u"end", u"clear", u"limit", u"fit"}) {
        if (call.rfind(own, 0) == 0) shown.push_back(call);
      }
    }
    for (const auto& [index, entry] : session.catalog) shown.push_back(entry.name);
    EXPECT_EQ(shown, c.calls);
  }
}

}  // namespace
}  // namespace ozr
