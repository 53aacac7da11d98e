// The commands that refuse to start an extraction, and the folder browser.
#include <gtest/gtest.h>
#include <windows.h>

#include "base/control_ids.h"
#include "base/texts.h"
#include "e2e/e2e_fixture.h"
#include "e2e/window_probe.h"
#include "support/test_archives.h"

namespace ozr::e2e {
namespace {

using testing::Bytes;

class CommandsTest : public UnpackerTest {
 protected:
  UnpackerRun& Start() {
    const std::u16string exe = WriteSelfExtracting(
        u"архив.exe", {Entry(u"a.txt", Bytes("a")), Entry(u"b.txt", Bytes("b"))},
        testing::EncryptedOptions(u"пароль"));
    run_.emplace(exe, Folder());
    EXPECT_NE(run_->WaitDialog(), nullptr);
    return *run_;
  }

  // Presses extract and expects the one refusal message; the dialog stays idle.
  void ExpectRefusal(const std::u16string& text) {
    Click(run_->Control(kExtractButton));
    const SeenMessage message = run_->WaitMessage();
    ExpectMessage(message, text, text::kCaptionErrorBang, run_->WaitDialog());
    EXPECT_EQ(message.buttons, (std::vector<int>{IDOK}));
    run_->Answer(message, IDOK);
    ExpectIdle(*run_);
  }

 private:
  std::optional<UnpackerRun> run_;
};

TEST_F(CommandsTest, ExtractWithoutSelectionAsksForOne) {
  UnpackerRun& run = Start();
  SetText(run.Control(kPasswordField), u"пароль");
  ExpectRefusal(text::kSelectFiles);
  EXPECT_EQ(FilesUnder(Folder()), (std::vector<std::u16string>{u"архив.exe"}));
}

TEST_F(CommandsTest, DestinationThatIsNoFolderIsRefused) {
  WriteBytes(Path(u"файл.txt"), Bytes("не папка"));
  MakeFolder(Path(u"удалена"));
  UnpackerRun& run = Start();
  Click(run.Control(kSelectAllButton));
  SetText(run.Control(kPasswordField), u"пароль");
  // The folder was chosen, then deleted before extracting.
  RemoveDirectoryW(reinterpret_cast<const wchar_t*>(Path(u"удалена").c_str()));

  for (const std::u16string& destination :
       {Path(u"файл.txt"), Path(u"файл.txt\\"), Path(u"удалена\\"), std::u16string()}) {
    SCOPED_TRACE(std::string(destination.begin(), destination.end()));
    SetText(run.Control(kDestinationFolder), destination);
    ExpectRefusal(text::kInvalidDestination);
  }
  EXPECT_EQ(FilesUnder(Folder()), (std::vector<std::u16string>{u"архив.exe", u"файл.txt"}));
}

TEST_F(CommandsTest, FolderBrowserCancelledKeepsTheDestination) {
  UnpackerRun& run = Start();
  const std::u16string before = TextOf(run.Control(kDestinationFolder));
  Click(run.Control(kBrowseButton));
  const HWND browser = run.WaitFolderBrowser();
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(GetWindow(browser, GW_OWNER), run.WaitDialog());
  bool titled = false;
  for (const HWND child : ChildrenOf(browser))
    titled = titled || TextOf(child) == text::kBrowseTitle;
  EXPECT_TRUE(titled) << "the browser shows its title";

  Click(GetDlgItem(browser, IDCANCEL));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(browser); }));
  EXPECT_EQ(TextOf(run.Control(kDestinationFolder)), before);
  ExpectIdle(run);
}

TEST_F(CommandsTest, FolderBrowserConfirmedPutsAFolderWithOneFinalBackslash) {
  UnpackerRun& run = Start();
  Click(run.Control(kBrowseButton));
  const HWND browser = run.WaitFolderBrowser();
  ASSERT_NE(browser, nullptr);
  const HWND ok = GetDlgItem(browser, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(ok) != FALSE; }));
  Click(ok);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(browser); }));

  const std::u16string chosen = TextOf(run.Control(kDestinationFolder));
  ASSERT_GE(chosen.size(), 3u);
  EXPECT_EQ(chosen.back(), u'\\');
  EXPECT_NE(chosen[chosen.size() - 2], u'\\') << "one backslash, not two";
  const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(chosen.c_str()));
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
}  // namespace ozr::e2e
