// The native file system keeps the operating system's reason for each kind of failed call.
#include <gtest/gtest.h>

#include <functional>

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
  struct Case {
    const char* what;
    std::function<bool(FileSystem&)> fails;
  } cases[] = {
      {"open", [&](FileSystem& f) { return f.OpenForReading(missing) == nullptr; }},
      {"create", [&](FileSystem& f) { return f.CreateForWriting(inMissing) == nullptr; }},
      {"temporary",
       [&](FileSystem& f) {
         std::u16string temp;
         return f.CreateTemporaryBeside(inMissing, temp) == nullptr;
       }},
      {"folder", [&](FileSystem& f) { return !f.MakeDirectory(inMissing); }},
      {"move", [&](FileSystem& f) { return !f.MoveReplacing(missing, inMissing); }},
  };
  for (const Case& c : cases) {
    const std::unique_ptr<FileSystem> files = NativeFileSystem();
    ASSERT_TRUE(c.fails(*files)) << c.what;
#ifdef _WIN32
    // The text is in the language of the system's installation.
    EXPECT_FALSE(files->FailureReason().empty()) << c.what;
#else
    EXPECT_EQ(ToUtf8(files->FailureReason()), "No such file or directory") << c.what;
#endif
  }
#ifndef _WIN32
  // A full disk: the device refuses every write.
  const std::unique_ptr<WritableFile> full = NativeFileSystem()->CreateForWriting(u"/dev/full");
  const uint8_t byte = 0;
  ASSERT_EQ(full->Write(&byte, 1), 0u);
  EXPECT_EQ(ToUtf8(full->FailureReason()), "No space left on device");
#endif
}

}  // namespace
}  // namespace ozr
