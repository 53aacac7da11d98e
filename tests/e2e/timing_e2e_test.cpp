// Not a test: the bench's measurement of the dialog's own speed. Run only when asked for
// (--gtest_also_run_disabled_tests), with OZR_TIMING_SFX naming a self-extracting archive,
// OZR_TIMING_PASSWORD its password and OZR_TIMING_DESTINATION an empty folder; prints the seconds
// from the click on the extract button to the success message.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "base/control_ids.h"
#include "base/texts.h"
#include "e2e/e2e_fixture.h"
#include "e2e/window_probe.h"

namespace ozr::e2e {
namespace {

// Read as UTF-16: the narrow environment is in the ANSI code page.
std::u16string Variable(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value == nullptr ? std::u16string() : std::u16string(value, value + wcslen(value));
}

TEST(Timing, DISABLED_FromTheClickToTheSuccessMessage) {
  const std::u16string sfx = Variable(L"OZR_TIMING_SFX");
  const std::u16string destination = Variable(L"OZR_TIMING_DESTINATION");
  ASSERT_FALSE(sfx.empty() || destination.empty()) << "OZR_TIMING_SFX, OZR_TIMING_DESTINATION";
  UnpackerRun run(sfx, destination);
  ASSERT_NE(run.WaitDialog(), nullptr);
  // Everything but the click first, as a person would have it ready.
  const HWND list = run.Control(kEntryList);
  Click(run.Control(kSelectAllButton));
  const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  ASSERT_TRUE(WaitUntil([&] { return SelectedCount(list) == count; })) << "select all";
  SetText(run.Control(kPasswordField), Variable(L"OZR_TIMING_PASSWORD"));
  SetText(run.Control(kDestinationFolder), destination + u"\\");
  const ULONGLONG start = GetTickCount64();
  Click(run.Control(kExtractButton));
  // One cheap look for the success box now and then: under Wine every look at the windows is a
  // request to the server that the unpacker's own file operations wait behind.
  const auto* caption = reinterpret_cast<const wchar_t*>(text::kCaptionSuccess);
  while (FindWindowW(L"#32770", caption) == nullptr) {
    ASSERT_LT(GetTickCount64() - start, 3600000u) << "no success message within an hour";
    Sleep(20);
  }
  const ULONGLONG end = GetTickCount64();
  // The box may still be filling itself in.
  const SeenMessage success = run.WaitMessage();
  EXPECT_EQ(success.text, text::kExtractionSucceeded);
  std::printf("dialog seconds: %.3f\n", static_cast<double>(end - start) / 1000);
  run.Answer(success, IDOK);
}

}  // namespace
}  // namespace ozr::e2e
