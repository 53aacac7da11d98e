#include "support/memory_file_system.h"

#include <gtest/gtest.h>

#include "base/utf.h"

namespace ozr::testing {
namespace {

struct ResolveCase {
  NameRules rules;
  std::u16string path;
  std::optional<std::u16string> resolved;  // nothing: no file of this file system
};

TEST(MemoryFileSystem, ResolvesPathsAsThePlatformWould) {
  const ResolveCase cases[] = {
      {NameRules::kWindows, u"D:\\dest\\a.txt", u"D:\\DEST\\A.TXT"},
      {NameRules::kWindows, u"d:/dest//a/./b", u"D:\\DEST\\A\\B"},
      {NameRules::kWindows, u"D:\\dest\\a\\..\\..\\x", u"D:\\X"},
      {NameRules::kWindows, u"D:\\dest\\a. . \\b ", u"D:\\DEST\\A\\B"},
      {NameRules::kWindows, u"D:\\dest\\...\\x", u"D:\\DEST\\X"},
      {NameRules::kWindows, u"D:\\..", std::nullopt},
      {NameRules::kWindows, u"D:\\dest\\con.txt", std::nullopt},
      {NameRules::kWindows, u"D:\\dest\\LPT\u00B9", std::nullopt},
      {NameRules::kWindows, u"D:\\dest\\a:stream", std::nullopt},
      {NameRules::kWindows, u"D:\\dest\\C:\\x", std::nullopt},
      {NameRules::kWindows, u"relative\\x", std::nullopt},
      {NameRules::kPosix, u"/dest/a\\b", u"/dest/a\\b"},
      {NameRules::kPosix, u"/dest//./x/../y", u"/dest/y"},
      {NameRules::kPosix, u"/dest/../../x", std::nullopt},
      {NameRules::kPosix, u"/dest/CON", u"/dest/CON"},
      {NameRules::kPosix, u"/", u"/"},
  };
  for (const ResolveCase& c : cases) {
    MemoryFileSystem files(c.rules);
    EXPECT_EQ(files.Resolve(c.path), c.resolved) << ToUtf8(c.path);
  }
  MemoryFileSystem windows(NameRules::kWindows);
  EXPECT_TRUE(windows.IsInside(u"D:\\dest\\a\\..\\b", u"D:\\dest\\"));
  EXPECT_TRUE(windows.IsInside(u"D:\\DEST", u"D:\\dest\\"));
  EXPECT_FALSE(windows.IsInside(u"D:\\destination", u"D:\\dest\\"));
  EXPECT_FALSE(windows.IsInside(u"D:\\dest\\..\\x", u"D:\\dest\\"));
  EXPECT_FALSE(windows.IsInside(u"D:\\dest\\nul", u"D:\\dest\\"));
}

TEST(MemoryFileSystem, FilesFoldersAndTemporaryFilesBehaveAsOnDisk) {
  MemoryFileSystem files(NameRules::kPosix);
  files.AddFile(u"/d/old", {1, 2, 3});
  EXPECT_EQ(files.QueryPath(u"/d"), PathKind::kDirectory);
  EXPECT_EQ(files.QueryPath(u"/d/old"), PathKind::kOther);
  EXPECT_FALSE(files.MakeDirectory(u"/d/x/y")) << "the parent is missing";
  EXPECT_TRUE(files.MakeDirectory(u"/d/x"));
  EXPECT_FALSE(files.MakeDirectory(u"/d/x")) << "it exists";

  std::u16string temp;
  auto out = files.CreateTemporaryBeside(u"/d/old", temp);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(temp.rfind(u"/d/", 0), 0u);
  EXPECT_EQ(files.openWriters(), 1);
  EXPECT_EQ(out->Write(reinterpret_cast<const uint8_t*>("new"), 3), 3u);
  EXPECT_TRUE(files.Find(temp)->temporary);
  EXPECT_TRUE(out->Close());
  out.reset();
  EXPECT_EQ(files.openWriters(), 0);
  EXPECT_TRUE(files.MoveReplacing(temp, u"/d/old"));
  EXPECT_EQ(*files.Find(u"/d/old")->bytes, (std::vector<uint8_t>{'n', 'e', 'w'}));
  EXPECT_FALSE(files.Find(u"/d/old")->temporary);
  EXPECT_EQ(files.Find(temp), nullptr);
  EXPECT_FALSE(files.MoveReplacing(u"/d/old", u"/d/x")) << "a folder is not replaced";

  files.spaceLeft = 2;
  auto full = files.CreateTemporaryBeside(u"/d/full", temp);
  EXPECT_EQ(full->Write(reinterpret_cast<const uint8_t*>("abc"), 3), 2u);
  files.refuse = [](MemoryFileSystem::Call call, const std::u16string&) {
    return call == MemoryFileSystem::Call::kRemove;
  };
  EXPECT_FALSE(files.RemoveFile(temp));
  EXPECT_EQ(files.changedPaths().back(), temp);
}

}  // namespace
}  // namespace ozr::testing
