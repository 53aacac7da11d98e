// Finding the program's windows by its process and by what they contain.
#include "e2e/unpacker_run.h"

#include <gtest/gtest.h>

#include "base/texts.h"
#include "e2e/window_probe.h"

namespace ozr::e2e {

namespace {

constexpr char16_t kDialogClass[] = u"#32770";
constexpr int kEntryListId = 1011;

bool IsDialogClass(HWND window) { return ClassOf(window) == kDialogClass; }

std::wstring AsWide(const std::u16string& text) { return {text.begin(), text.end()}; }

}  // namespace

bool IsMainDialog(HWND window) {
  return IsDialogClass(window) && GetDlgItem(window, kEntryListId) != nullptr;
}

// A message box has only static texts and buttons, among them OK, Yes or No.
bool IsMessageBox(HWND window) {
  if (!IsDialogClass(window)) return false;
  bool answerButton = false;
  for (const HWND child : ChildrenOf(window)) {
    const std::u16string kind = ClassOf(child);
    if (kind == u"Button") {
      const int id = GetDlgCtrlID(child);
      answerButton = answerButton || id == IDOK || id == IDYES || id == IDNO;
    } else if (kind != u"Static") {
      return false;
    }
  }
  return answerButton;
}

bool IsOpenFileDialog(HWND window) {
  return IsDialogClass(window) && TextOf(window) == text::kOpenArchiveTitle;
}

bool IsFolderBrowser(HWND window) {
  if (!IsDialogClass(window)) return false;
  for (const HWND child : ChildrenOf(window)) {
    if (ClassOf(child) == u"SysTreeView32") return true;
  }
  return false;
}

UnpackerRun::UnpackerRun(const std::u16string& exePath, const std::u16string& currentFolder) {
  std::wstring commandLine = L"\"" + AsWide(exePath) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  const std::wstring exe = AsWide(exePath);
  const std::wstring folder = AsWide(currentFolder);
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process_)) {
    ADD_FAILURE() << "the unpacker could not be started, error " << GetLastError();
    process_ = {};
  }
}

UnpackerRun::~UnpackerRun() {
  if (process_.hProcess == nullptr) return;
  if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, kPatienceMs);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

std::vector<HWND> UnpackerRun::ShownWindows() {
  std::vector<HWND> shown;
  for (const HWND window : TopLevelWindowsOf(process_.dwProcessId)) {
    if (!IsWindowVisible(window)) continue;
    shown.push_back(window);
    if (IsMainDialog(window)) dialogShown_ = true;
  }
  return shown;
}

HWND UnpackerRun::WaitDialog() {
  if (dialog_ != nullptr) return dialog_;
  WaitUntil([&] {
    for (const HWND window : ShownWindows()) {
      if (IsMainDialog(window)) dialog_ = window;
    }
    return dialog_ != nullptr;
  });
  if (dialog_ == nullptr) ADD_FAILURE() << "the unpacker's dialog did not appear";
  return dialog_;
}

HWND UnpackerRun::Control(int id) const { return GetDlgItem(dialog_, id); }

std::optional<SeenMessage> UnpackerRun::FindMessage() {
  for (const HWND window : ShownWindows()) {
    if (!IsMessageBox(window)) continue;
    SeenMessage seen;
    seen.window = window;
    seen.owner = GetWindow(window, GW_OWNER);
    seen.caption = TextOf(window);
    for (const HWND child : ChildrenOf(window)) {
      const std::u16string kind = ClassOf(child);
      if (kind == u"Button") seen.buttons.push_back(GetDlgCtrlID(child));
      if (kind == u"Static" && seen.text.empty()) seen.text = TextOf(child);
    }
    return seen;
  }
  return std::nullopt;
}

SeenMessage UnpackerRun::WaitMessage() {
  std::optional<SeenMessage> seen;
  WaitUntil([&] { return (seen = FindMessage()).has_value(); });
  if (!seen) {
    ADD_FAILURE() << "no message box appeared";
    return {};
  }
  return *seen;
}

void UnpackerRun::Answer(const SeenMessage& message, int buttonId) {
  const HWND button = GetDlgItem(message.window, buttonId);
  ASSERT_NE(button, nullptr) << "the message box has no button " << buttonId;
  Click(button);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(message.window); }))
      << "the message box stayed after its button " << buttonId << " was clicked";
}

HWND UnpackerRun::WaitOpenFileDialog() {
  HWND found = nullptr;
  WaitUntil([&] {
    for (const HWND window : ShownWindows()) {
      if (IsOpenFileDialog(window)) found = window;
    }
    return found != nullptr;
  });
  if (found == nullptr) ADD_FAILURE() << "the open-file dialog did not appear";
  return found;
}

HWND UnpackerRun::WaitFolderBrowser() {
  HWND found = nullptr;
  WaitUntil([&] {
    for (const HWND window : ShownWindows()) {
      if (IsFolderBrowser(window)) found = window;
    }
    return found != nullptr;
  });
  if (found == nullptr) ADD_FAILURE() << "the folder browser did not appear";
  return found;
}

std::optional<DWORD> UnpackerRun::WaitExit() {
  const bool ended = WaitUntil([&] {
    ShownWindows();
    return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
  });
  if (!ended) {
    ADD_FAILURE() << "the unpacker did not end";
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

}  // namespace ozr::e2e
