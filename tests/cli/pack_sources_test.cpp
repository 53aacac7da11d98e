// Which files `ozr pack` takes from a real folder tree, under which names, in which order, and
// what it leaves out or refuses.
#include "cli/pack_sources.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "base/failure.h"
#include "base/fill_in.h"
#include "base/texts.h"
#include "base/utf.h"
#include "cli/cli_texts.h"
#include "cli/native_path.h"
#include "support/temp_folder.h"

namespace ozr::cli {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

void Put(const fs::path& path, size_t size) {
  fs::create_directories(path.parent_path());
  testing::WriteFile(path, std::vector<uint8_t>(size, 'x'));
}

std::vector<std::u16string> Names(const SourceList& list) {
  std::vector<std::u16string> names;
  for (const PackEntry& entry : list.entries) names.push_back(entry.name);
  return names;
}

std::u16string Text(const fs::path& path) { return PathText(path); }

// Runs CollectSources and returns the text of the Failure it throws ("" when none).
std::u16string FailureOf(const std::vector<std::u16string>& inputs) {
  try {
    CollectSources(inputs, u"");
  } catch (const Failure& failure) {
    return failure.text();
  }
  return u"";
}

TEST(CollectSources, FoldersUnderTheirNameInNameOrderThenFilesAsGiven) {
  TempFolder t;
  const fs::path docs = t.path() / u"документы";
  Put(docs / "b.txt", 3);
  Put(docs / "a b.txt", 4);
  Put(docs / "a" / "z.txt", 5);
  Put(docs / u"Я.txt", 6);
  Put(t.path() / u"один.bin", 7);

  const SourceList list = CollectSources({Text(docs), Text(t.path() / u"один.bin")}, u"");
  EXPECT_EQ(Names(list),
            (std::vector<std::u16string>{u"документы\\a\\z.txt", u"документы\\a b.txt",
                                         u"документы\\b.txt", u"документы\\Я.txt", u"один.bin"}));
  EXPECT_EQ(list.entries[0].sourcePath, Text(docs / "a" / "z.txt"));
  EXPECT_TRUE(list.entries[0].bytes.empty());
  EXPECT_EQ(list.totalSize, 25u);
  EXPECT_TRUE(list.warnings.empty());
}

TEST(CollectSources, TrailingSeparatorAndDotLevelsKeepTheFolderName) {
  TempFolder t;
  Put(t.path() / "d" / "f", 1);
  const std::u16string base = Text(t.path() / "d");
  for (const std::u16string& input : {base + kNativeSeparator, base + kNativeSeparator + u"."}) {
    EXPECT_EQ(Names(CollectSources({input}, u"")), (std::vector<std::u16string>{u"d\\f"}))
        << ToUtf8(input);
  }
}

TEST(CollectSources, DotAndDotDotGiveTheContentOnly) {
  TempFolder t;
  Put(t.path() / "sub" / "f", 1);
  const fs::path before = fs::current_path();
  fs::current_path(t.path() / "sub");
  const SourceList dot = CollectSources({u"."}, u"");
  const SourceList up = CollectSources({u".."}, u"");
  fs::current_path(before);
  EXPECT_EQ(Names(dot), (std::vector<std::u16string>{u"f"}));
  EXPECT_EQ(Names(up), (std::vector<std::u16string>{u"sub\\f"}));
}

TEST(CollectSources, RefusesWhatTheArchiveCannotHoldFaithfully) {
  TempFolder t;
  Put(t.path() / "x" / "same.txt", 1);
  Put(t.path() / "y" / "same.txt", 1);
  const std::u16string missing = Text(t.path() / u"нет");
  EXPECT_EQ(FailureOf({missing}), FillIn(ozr::text::kPackSourceReadFailed, missing));
  EXPECT_EQ(FailureOf({Text(t.path() / "x" / "same.txt"), Text(t.path() / "y" / "same.txt")}),
            FillIn(text::kDuplicateName, u"same.txt"));
  EXPECT_EQ(FailureOf({Text(t.path() / "x"), Text(t.path() / "x")}),
            FillIn(text::kDuplicateName, u"x\\same.txt"));
#ifndef _WIN32
  // On POSIX "\" is an ordinary character, which the archive would read as a folder level; and a
  // name that is not UTF-8 has no UTF-16 form.
  Put(t.path() / "b" / "a\\b", 1);
  EXPECT_EQ(FailureOf({Text(t.path() / "b")}),
            FillIn(text::kUnrepresentableName, Text(t.path() / "b" / "a\\b")));
  Put(t.path() / "c" / "\xff.txt", 1);
  EXPECT_EQ(FailureOf({Text(t.path() / "c")}),
            FillIn(text::kUnrepresentableName, Text(t.path() / "c" / "\xff.txt")));
#endif
}

TEST(CollectSources, RefusesNamesTheUnpackerWouldRefuseOrChangeOnWindows) {
  TempFolder t;
  // Each under a folder of its own, which is the input; the message names the file.
  std::vector<fs::path> cases = {fs::path(u"bidi") / u"invoice\u202Efdp.exe"};
#ifndef _WIN32  // names Windows itself cannot create
  cases.insert(cases.end(), {fs::path("colon") / "12:30.log", fs::path("device") / "con.txt",
                             fs::path("dot") / "report.txt.", fs::path("space") / "docs " / "a"});
#endif
  for (const fs::path& relative : cases) {
    Put(t.path() / relative, 1);
    EXPECT_EQ(FailureOf({Text(t.path() / *relative.begin())}),
              FillIn(text::kNameRefusedOnWindows, Text(t.path() / relative)))
        << relative;
  }
}

#ifndef _WIN32
TEST(CollectSources, LinksToFilesAreFollowedOtherSpecialFilesLeftOut) {
  TempFolder t;
  const fs::path root = t.path() / "r";
  Put(t.path() / "target.txt", 2);
  Put(t.path() / "dir" / "inner", 2);
  fs::create_directories(root);
  fs::create_symlink(t.path() / "target.txt", root / "link.txt");
  fs::create_directory_symlink(t.path() / "dir", root / "dirlink");
  fs::create_symlink(t.path() / "gone", root / "dangling");
  ASSERT_EQ(::mkfifo((root / "pipe").c_str(), 0600), 0);

  const SourceList list = CollectSources({Text(root)}, u"");
  EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"r\\link.txt"}));
  std::vector<std::u16string> warnings = list.warnings;
  std::sort(warnings.begin(), warnings.end());
  std::vector<std::u16string> expected = {
      FillIn(text::kFolderLinkSkipped, Text(root / "dirlink")),
      FillIn(text::kSpecialFileSkipped, Text(root / "dangling")),
      FillIn(text::kSpecialFileSkipped, Text(root / "pipe")),
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(warnings, expected);
}
#endif

}  // namespace
}  // namespace ozr::cli
