// The native file system: the system's reason for each failed call, and files made in the folders
// their paths name, with the umask's mode, leaving nothing behind.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "base/utf.h"
#include "platform/file_system.h"
#include "support/temp_folder.h"

namespace ozr {
namespace {

TEST(NativeFileSystem, AFailedCallKeepsTheSystemsReason) {
  testing::TempFolder folder;
  const std::u16string missing = folder.WithSeparator() + u"нет";
  const std::u16string inMissing =
      missing + static_cast<char16_t>(std::filesystem::path::preferred_separator) + u"f";
  std::unique_ptr<TemporaryFile> temp;
  // Each call on a file system of its own, which holds no reason of an earlier call.
  const std::unique_ptr<FileSystem> open = NativeFileSystem();
  const std::unique_ptr<FileSystem> temporary = NativeFileSystem();
  const std::unique_ptr<FileSystem> folders = NativeFileSystem();
  ASSERT_EQ(open->OpenForReading(missing), nullptr);
  ASSERT_EQ(temporary->CreateTemporaryBeside(inMissing, {}, false, temp), Made::kFailed);
  ASSERT_EQ(folders->MakeDirectory(inMissing, {}), Made::kFailed);
  for (const FileSystem* files : {open.get(), temporary.get(), folders.get()}) {
#ifdef _WIN32
    // The text is in the language of the system's installation.
    EXPECT_FALSE(files->FailureReason().empty());
#else
    EXPECT_EQ(ToUtf8(files->FailureReason()), "No such file or directory");
#endif
  }
}

#ifndef _WIN32
// Files land in the folders their paths name, even when a folder is replaced between two of them,
// with the mode the umask leaves; a temporary whose commit failed is removed; checking a folder
// outside the destination leaves no descriptor open.
TEST(NativeFileSystem, FilesLandWhereTheirPathsSay) {
  namespace fs = std::filesystem;
  testing::TempFolder folder;
  const fs::path root = folder.path();
  const std::unique_ptr<FileSystem> files = NativeFileSystem();
  const auto create = [&](const char* name, std::unique_ptr<TemporaryFile>& temp) {
    return files->CreateTemporaryBeside(PathFromBytes((root / name).string()),
                                        PathFromBytes(root.string()), true, temp);
  };
  const auto commit = [&](const char* name) {
    std::unique_ptr<TemporaryFile> temp;
    return create(name, temp) == Made::kDone && temp->Close() && temp->Commit();
  };
  fs::create_directories(root / "a");
  fs::create_directories(root / "b");
  const mode_t mask = ::umask(022);
  EXPECT_TRUE(commit("a/1") && commit("b/2"));
  const auto open = std::distance(fs::directory_iterator("/proc/self/fd"), {});
  fs::rename(root / "b", root / "old");  // the folder opened for "b/2" is elsewhere now
  fs::create_directory(root / "b");
  EXPECT_TRUE(commit("b/3"));
  ::umask(mask);
  struct stat made {};
  ASSERT_EQ(::stat((root / "a/1").c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 0777, 0644u);

  testing::WriteFile(root / "c", {});
  std::unique_ptr<TemporaryFile> temp;
  ASSERT_EQ(create("c", temp), Made::kDone);
  fs::remove(root / "c");
  fs::create_directories(root / "c/x");
  EXPECT_FALSE(temp->Commit());
  EXPECT_TRUE(temp->Discard());
  fs::create_directory_symlink("/usr/lib", root / "l");  // two levels below the top: outside
  EXPECT_EQ(create("l/f", temp), Made::kOutside);
  EXPECT_EQ(std::distance(fs::directory_iterator("/proc/self/fd"), {}), open);
  fs::remove(root / "l");

  EXPECT_EQ(testing::ListTree(root),
            (std::vector<std::string>{"a/", "a/1", "b/", "b/3", "c/", "c/x/", "old/", "old/2"}));
}
#endif

}  // namespace
}  // namespace ozr
