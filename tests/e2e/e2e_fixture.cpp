// Test folders under the work folder given by OZR_E2E_WORK (or the temporary folder), the
// unpacker given by OZR_UNPACKER (or unpacker.exe beside this program).
#include "e2e/e2e_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/control_ids.h"
#include "e2e/window_probe.h"
#include "support/test_archives.h"

namespace ozr::e2e {

namespace fs = std::filesystem;

namespace {

std::u16string FromWide(const std::wstring& text) { return {text.begin(), text.end()}; }

std::u16string EnvironmentPath(const wchar_t* name, const std::u16string& fallback) {
  const wchar_t* value = _wgetenv(name);
  return value != nullptr && value[0] != L'\0' ? FromWide(value) : fallback;
}

std::u16string OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return FromWide(fs::path(path).parent_path().wstring());
}

std::u16string WorkRoot() {
  return EnvironmentPath(L"OZR_E2E_WORK",
                         FromWide((fs::temp_directory_path() / L"ozr-e2e").wstring()));
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadBytes(const std::u16string& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::u16string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write a test file";
}

void MakeFolder(const std::u16string& path) { fs::create_directories(fs::path(path)); }

bool Exists(const std::u16string& path) { return fs::exists(fs::path(path)); }

std::vector<std::u16string> FilesUnder(const std::u16string& folder) {
  std::vector<std::u16string> names;
  const fs::path root(folder);
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    if (!item.is_directory()) {
      names.push_back(FromWide(item.path().lexically_relative(root).wstring()));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

void UnpackerTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(info->test_suite_name()) + "." + info->name();
  folder_ = WorkRoot() + u"\\" + std::u16string(name.begin(), name.end()) + u" папка";
  std::error_code ignored;
  fs::remove_all(fs::path(folder_), ignored);
  MakeFolder(folder_);
}

const std::vector<uint8_t>& UnpackerTest::UnpackerBytes() {
  static const std::vector<uint8_t> bytes = [] {
    const std::u16string path = EnvironmentPath(L"OZR_UNPACKER", OwnFolder() + u"\\unpacker.exe");
    auto read = ReadBytes(path);
    if (!read) {
      ADD_FAILURE() << "cannot read the unpacker (set OZR_UNPACKER)";
      return std::vector<uint8_t>{};
    }
    return *read;
  }();
  return bytes;
}

std::u16string UnpackerTest::WriteSelfExtracting(const std::u16string& name,
                                                 const std::vector<PackEntry>& entries,
                                                 const PackOptions& options) {
  const std::u16string path = Path(name);
  WriteBytes(path, testing::WriteArchiveToMemory(entries, options, UnpackerBytes()));
  return path;
}

std::u16string UnpackerTest::WriteArchiveFile(const std::u16string& name,
                                              const std::vector<PackEntry>& entries,
                                              const PackOptions& options) {
  const std::u16string path = Path(name);
  WriteBytes(path, testing::WriteArchiveToMemory(entries, options));
  return path;
}

std::u16string UnpackerTest::CopyUnpacker(const std::u16string& name) {
  const std::u16string path = Path(name);
  WriteBytes(path, UnpackerBytes());
  return path;
}

namespace {

struct ControlState {
  ControlId control;
  bool enabledWhenIdle;
  bool enabledWhenBusy;
};

constexpr ControlState kControlStates[] = {
    {kPasswordField, true, false},  {kBrowseButton, true, false},
    {kEntryList, true, false},      {kExtractButton, true, false},
    {kAbortButton, false, true},    {kSelectAllButton, true, false},
    {kCommentBox, true, true},      {kDestinationFolder, true, true},
    {kSummaryLine, true, true},     {kLevelLine, true, true},
    {kProgressEntries, true, true}, {kProgressBytes, true, true},
};

void ExpectControls(UnpackerRun& run, bool busy, bool passwordEnabled) {
  for (const ControlState& state : kControlStates) {
    bool expected = busy ? state.enabledWhenBusy : state.enabledWhenIdle;
    if (state.control == kPasswordField && !busy) expected = passwordEnabled;
    EXPECT_EQ(IsWindowEnabled(run.Control(state.control)) != FALSE, expected)
        << "control " << state.control << (busy ? " while busy" : " while idle");
  }
}

}  // namespace

void ExpectIdle(UnpackerRun& run, bool passwordEnabled) {
  ExpectControls(run, false, passwordEnabled);
}

void ExpectBusy(UnpackerRun& run) { ExpectControls(run, true, false); }

void WaitIdle(UnpackerRun& run) {
  EXPECT_TRUE(WaitUntil([&] {
    return IsWindowEnabled(run.Control(kExtractButton)) &&
           !IsWindowEnabled(run.Control(kAbortButton));
  })) << "the dialog did not become idle";
}

void ExpectMessage(const SeenMessage& message, const std::u16string& text,
                   const std::u16string& caption, HWND owner) {
  EXPECT_EQ(message.text, text);
  EXPECT_EQ(message.caption, caption);
  EXPECT_EQ(message.owner, owner);
}

void ExpectBarsReset(UnpackerRun& run) {
  EXPECT_EQ(ProgressOf(run.Control(kProgressEntries)), (Progress{0, 1, 0}));
  EXPECT_EQ(ProgressOf(run.Control(kProgressBytes)), (Progress{0, 1, 0}));
}

void StartExtraction(UnpackerRun& run, const std::u16string& password,
                     const std::u16string& destination) {
  const HWND list = run.Control(kEntryList);
  Click(run.Control(kSelectAllButton));
  const int count = static_cast<int>(ListItems(list).size());
  EXPECT_TRUE(WaitUntil([&] { return SelectedCount(list) == count; })) << "select all";
  SetText(run.Control(kPasswordField), password);
  SetText(run.Control(kDestinationFolder), destination);
  Click(run.Control(kExtractButton));
}

PackEntry Entry(std::u16string name, std::vector<uint8_t> bytes) {
  return PackEntry{std::move(name), std::move(bytes), {}};
}

}  // namespace ozr::e2e
