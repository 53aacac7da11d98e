// The native file system keeps the operating system's reason for each kind of failed call.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#ifndef _WIN32
#include <sys/resource.h>
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
  const std::pair<const char*, std::function<bool(FileSystem&)>> cases[] = {
      {"open", [&](FileSystem& f) { return f.OpenForReading(missing) == nullptr; }},
      {"temporary",
       [&](FileSystem& f) {
         return f.CreateTemporaryBeside(inMissing, {}, false, temp) == Made::kFailed;
       }},
      {"folder", [&](FileSystem& f) { return f.MakeDirectory(inMissing, {}) == Made::kFailed; }},
  };
  for (const auto& [what, fails] : cases) {
    const std::unique_ptr<FileSystem> files = NativeFileSystem();
    ASSERT_TRUE(fails(*files)) << what;
#ifdef _WIN32
    // The text is in the language of the system's installation.
    EXPECT_FALSE(files->FailureReason().empty()) << what;
#else
    EXPECT_EQ(ToUtf8(files->FailureReason()), "No such file or directory") << what;
#endif
  }
#ifndef _WIN32
  // A write past the largest file the process may make fails, as on a full disk.
  ASSERT_EQ(NativeFileSystem()->CreateTemporaryBeside(missing, {}, false, temp), Made::kDone);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit none = saved;
  none.rlim_cur = 0;
  std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &none);
  const uint8_t byte = 0;
  const size_t written = temp->Write(&byte, 1);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(ToUtf8(temp->FailureReason()), "File too large");
#endif
}

}  // namespace
}  // namespace ozr
