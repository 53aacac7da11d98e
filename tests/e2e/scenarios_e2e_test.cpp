// What only the running Windows program shows: its dialog as its resources build it, start-up
// from its own file or a chosen one, and the worker thread's messages to the dialog.
#include <gtest/gtest.h>

#include <map>

#include "archive/records.h"
#include "base/utf.h"
#include "e2e/driver.h"
#include "support/temp_folder.h"
#include "support/test_archives.h"

namespace ozr::e2e {
namespace {

using testing::Bytes;

// The unpacker is built beside this program.
const std::vector<uint8_t>& UnpackerBytes() {
  static const std::vector<uint8_t> bytes = [] {
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    return testing::ReadFile(std::filesystem::path(own).replace_filename(L"unpacker.exe"));
  }();
  return bytes;
}

// The controls the program drives as a user finds them: kind, caption, enabled when idle / busy.
struct ControlRow {
  int id;
  const char16_t *kind, *text;  // text: nullptr when the program sets it
  bool idle, busy;
};
const ControlRow kControls[] = {{kCommentBox, u"Edit", nullptr, true, true},
                                {kPasswordField, u"Edit", nullptr, true, false},
                                {kDestinationFolder, u"Edit", nullptr, true, true},
                                {kBrowseButton, u"Button", u"...", true, false},
                                {kSummaryLine, u"Static", nullptr, true, true},
                                {kEntryList, u"ListBox", nullptr, true, false},
                                {kLevelLine, u"Static", nullptr, true, true},
                                {kSelectAllButton, u"Button", u"Выбрать все", true, false},
                                {kExtractButton, u"Button", u"Распаковать", true, false},
                                {kAbortButton, u"Button", u"Прервать", false, true},
                                {kProgressEntries, u"msctls_progress32", nullptr, true, true},
                                {kProgressBytes, u"msctls_progress32", nullptr, true, true}};

// Every driven control as the table says, enabled or not as a job runs or not. `passwordIdle` is
// false only before the first extraction of an archive stored unencrypted.
void ExpectControls(UnpackerRun& run, bool busy, bool passwordIdle = true) {
  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(row.id);
    const HWND control = run.Control(row.id);
    EXPECT_EQ(ClassOf(control), row.kind);
    EXPECT_TRUE(row.text == nullptr || TextOf(control) == row.text);
    const bool enabled = busy ? row.busy : row.idle && (row.id != kPasswordField || passwordIdle);
    EXPECT_EQ(IsWindowEnabled(control) != FALSE, enabled) << (busy ? "busy" : "idle");
  }
}

void ExpectBarsReset(UnpackerRun& run) {
  EXPECT_EQ(
      ProgressOf(run.Control(kProgressEntries)) + ", " + ProgressOf(run.Control(kProgressBytes)),
      "0..1 at 0, 0..1 at 0");
}

void ExpectSuccess(UnpackerRun& run) {
  run.ExpectMessage(u"Выбранные файлы успешно распакованы.", u"Успех", run.Dialog(), {IDOK}, IDOK,
                    [&] { ExpectBarsReset(run); });
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(run.Control(kExtractButton)); }));
}

// Selects every entry, types the password and the destination, presses extract.
void StartExtraction(UnpackerRun& run, const std::u16string& password,
                     const std::u16string& destination) {
  Click(run.Control(kSelectAllButton));
  const auto count = static_cast<LRESULT>(ItemsOf(run.Control(kEntryList)).size());
  EXPECT_TRUE(WaitUntil([&] { return Send(run.Control(kEntryList), LB_GETSELCOUNT) == count; }));
  SetText(run.Control(kPasswordField), password);
  SetText(run.Control(kDestinationFolder), destination);
  Click(run.Control(kExtractButton));
}

PackEntry Entry(std::u16string name, std::vector<uint8_t> bytes) {
  return PackEntry{std::move(name), std::move(bytes), {}};
}

// Every record reads well; the header's unpacked total does not match them.
std::vector<uint8_t> Damaged(std::vector<uint8_t> archive) {
  uint8_t* header = archive.data() + archive.size() -
                    ParseTrailer(archive.data() + archive.size() - kTrailerSize).headerDistance;
  ArchiveHeader fields = ParseHeader(header);
  ++fields.totalUnpackedSize;
  const auto bytes = SerializeHeader(fields);
  std::copy(bytes.begin(), bytes.end(), header);
  return archive;
}

using Files = std::map<std::u16string, std::vector<uint8_t>>;

// Every file under `folder` by its relative name, with its content.
Files FilesIn(const std::filesystem::path& folder) {
  Files files;
  for (const auto& item : std::filesystem::recursive_directory_iterator(folder))
    if (!item.is_directory())
      files[item.path().lexically_relative(folder).u16string()] = testing::ReadFile(item.path());
  return files;
}

// A test's own folder, its files, and one run of the program.
struct Stage {
  testing::TempFolder temp;
  std::u16string folder = temp.path().u16string();
  std::u16string output = folder + u"\\вывод\\";
  std::optional<UnpackerRun> run;

  std::u16string Path(const std::u16string& relative) const { return folder + u"\\" + relative; }
  // Starts the program written as `exe`, by default in its own folder.
  UnpackerRun& Start(const std::u16string& exe, const std::vector<uint8_t>& bytes,
                     const std::u16string& currentFolder = u".") {
    testing::WriteFile(Path(exe), bytes);
    std::filesystem::create_directories(output);
    std::filesystem::create_directories(Path(currentFolder));
    return run.emplace(Path(exe), Path(currentFolder));
  }
  UnpackerRun& StartSfx(const std::vector<PackEntry>& entries,
                        const testing::CraftedOptions& options) {
    return Start(u"архив.exe", testing::WriteArchiveToMemory(entries, options, UnpackerBytes()));
  }
};

// A program without a sound archive of its own, started elsewhere, shows the chooser in its own
// folder; the name typed there is opened, or without one the chooser is cancelled.
void StartChooser(Stage& stage, const std::vector<uint8_t>& ownArchive, const char16_t* name) {
  std::vector<uint8_t> program = UnpackerBytes();
  program.insert(program.end(), ownArchive.begin(), ownArchive.end());
  UnpackerRun& run = stage.Start(u"unpacker.exe", program, u"elsewhere");
  const HWND chooser = run.WaitWindow(
      [](HWND window) { return IsDialogClass(window) && TextOf(window) == u"Открыть архив..."; });
  EXPECT_FALSE(run.ShowsMessage()) << "no message before the choice";
  EXPECT_EQ(TextOf(GetDlgItem(chooser, 0x470)), u"Архивные файлы (*.ozr)") << "the first filter";
  if (name != nullptr) SetText(GetDlgItem(chooser, 0x47c), name);  // the file name box
  Click(GetDlgItem(chooser, name != nullptr ? IDOK : IDCANCEL));
}

using Scenario = std::pair<const char*, void (*)(Stage&)>;

void OpensItsOwnArchive(Stage& stage) {
  testing::CraftedOptions options = testing::EncryptedOptions(u"пароль", u"Отчёты\u202Etxt.exe");
  options.comment = u"Годовые отчёты.\r\nПароль\u2066 знает бухгалтерия.";
  options.compressionLevel = 7;
  std::vector<PackEntry> entries = {
      Entry(u"readme.txt", Bytes("Прочтите меня.")),
      Entry(u"длинное имя, шире списка.txt", testing::MixedContent(5000, 3))};
  for (char16_t digit = u'0'; digit <= u'9'; ++digit)
    entries.push_back(Entry(u"файл " + std::u16string(1, digit) + u".txt", {'x'}));
  UnpackerRun& run = stage.StartSfx(entries, options);
  const HWND dialog = run.Dialog();
  for (const char16_t* label :
       {u"Пароль к архиву:", u"Распаковать в папку:", u"Выберите файлы для распаковки:"})
    EXPECT_TRUE(HasChild(dialog, [&](HWND c) { return TextOf(c) == label; })) << ToUtf8(label);
  EXPECT_EQ(TextOf(dialog), u"Отчёты\uFFFDtxt.exe");
  EXPECT_EQ(TextOf(run.Control(kCommentBox)),
            u"Годовые отчёты.\r\nПароль\uFFFD знает бухгалтерия.");
  EXPECT_EQ(TextOf(run.Control(kSummaryLine)),
            u"В архиве файлов: 12, размер в архиве: 1.11 КБ, исходный: 4.92 КБ");
  EXPECT_EQ(TextOf(run.Control(kLevelLine)), u"Степень сжатия: 7");
  EXPECT_EQ(TextOf(run.Control(kDestinationFolder)), stage.folder + u"\\");
  const HWND list = run.Control(kEntryList);
  const std::vector<std::u16string> lines = ItemsOf(list);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], u"readme.txt; размер в архиве: 56 байт, исходный: 26 байт");
  EXPECT_EQ(lines[1],
            u"длинное имя, шире списка.txt; размер в архиве: 840 байт, исходный: 4.88 КБ");
  EXPECT_EQ(lines[11], u"файл 9.txt; размер в архиве: 24 байт, исходный: 1 байт");
  // Scrolled to its end, and sideways as far as its longest line.
  RECT client{};
  GetClientRect(list, &client);
  EXPECT_GT(Send(list, LB_GETHORIZONTALEXTENT), client.right);
  EXPECT_GT(Send(list, LB_GETTOPINDEX), 0);
  EXPECT_EQ(Send(run.Control(kPasswordField), EM_GETLIMITTEXT), 16);
  ExpectControls(run, false);
  Click(run.Control(kExtractButton));
  run.ExpectMessage(u"Выберите файлы для распаковки.", u"Ошибка!", dialog, {IDOK}, IDOK);
  // The folder browser puts the chosen folder with one final backslash.
  Click(run.Control(kBrowseButton));
  const HWND browser = run.WaitWindow([](HWND window) {
    return HasChild(window,
                    [](HWND c) { return TextOf(c) == u"Выберите директорию для распаковки"; });
  });
  EXPECT_EQ(GetWindow(browser, GW_OWNER), run.Dialog());
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(browser, IDOK)); }));
  Click(GetDlgItem(browser, IDOK));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(browser); }));
  const std::u16string chosen = TextOf(run.Control(kDestinationFolder));
  EXPECT_TRUE(chosen.ends_with(u"\\") && !chosen.ends_with(u"\\\\")) << ToUtf8(chosen);
  EXPECT_TRUE(std::filesystem::is_directory(chosen));
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitExit(), 0u);
}

// The job waits for an answer, then takes seconds on its large entry under Wine: small frames make
// it slow while the writer stays quick.
void CloseRefusedWhileBusyThenAbort(Stage& stage) {
  testing::CraftedOptions options = testing::EncryptedOptions(u"секрет");
  options.frameContent = 125;
  UnpackerRun& run = stage.StartSfx({Entry(u"first.txt", Bytes("первый")),
                                     Entry(u"large.bin", testing::MixedContent(40u << 20, 5))},
                                    options);
  testing::WriteFile(stage.output + u"first.txt", Bytes("старый"));
  StartExtraction(run, u"секрет", stage.output);
  run.ExpectMessage(u"Файл " + stage.output + u"first.txt уже существует.\r\nПерезаписать?",
                    u"Ошибка", run.Dialog(), {IDYES, IDNO}, IDYES, [&] {
                      ExpectControls(run, true);
                      EXPECT_EQ(ProgressOf(run.Control(kProgressEntries)), "0..2 at 1");
                      PostMessageW(run.Dialog(), WM_CLOSE, 0, 0);
                      run.ExpectMessage(u"Сначала завершите распаковку.", u"Ошибка", run.Dialog(),
                                        {IDOK}, IDOK);
                    });
  EXPECT_TRUE(WaitUntil([&] { return ProgressOf(run.Control(kProgressEntries)) == "0..2 at 2"; }));
  Click(run.Control(kAbortButton));
  run.ExpectMessage(u"Прервать процесс распаковки?", u"Подтверждение", run.Dialog(), {IDYES, IDNO},
                    IDYES);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(run.Control(kAbortButton)); }));
  EXPECT_FALSE(run.ShowsMessage()) << "an abort shows no message";
  ExpectBarsReset(run);
  EXPECT_TRUE(FilesIn(stage.output) == (Files{{u"first.txt", Bytes("первый")}}));
  PostMessageW(run.Dialog(), WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitExit(), 0u);
}

// Cancelled, or given a file it cannot read, the chooser ends the program without its dialog.
void ChooserEndsWithoutTheDialog(Stage& stage) {
  StartChooser(stage, {}, nullptr);
  EXPECT_EQ(stage.run->WaitExit(), 0u);
  testing::WriteFile(stage.Path(u"не архив.ozr"), Bytes("не архив"));
  StartChooser(stage, {}, u"не архив.ozr");
  stage.run->ExpectMessage(u"Ошибка при чтении архива.", u"Ошибка", nullptr, {IDOK}, IDOK);
  EXPECT_EQ(stage.run->WaitExit(), 0u);
}

void DamagedOwnArchiveFallsBackToTheChosenOne(Stage& stage) {
  testing::WriteFile(stage.Path(u"другой.ozr"),
                     testing::WriteArchiveToMemory({Entry(u"чужой.txt", Bytes("чужой"))},
                                                   testing::PlainOptions(u"Другой архив")));
  StartChooser(stage,
               Damaged(testing::WriteArchiveToMemory({Entry(u"свой.txt", Bytes("свой"))},
                                                     testing::PlainOptions(u"Свой"))),
               u"другой.ozr");
  UnpackerRun& run = *stage.run;
  EXPECT_EQ(TextOf(run.Dialog()), u"Другой архив");
  EXPECT_EQ(
      ItemsOf(run.Control(kEntryList)),
      (std::vector<std::u16string>{u"чужой.txt; размер в архиве: 29 байт, исходный: 10 байт"}));
  EXPECT_EQ(TextOf(run.Control(kDestinationFolder)), stage.folder + u"\\");
  ExpectControls(run, false, false);
  PostMessageW(run.Dialog(), WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitExit(), 0u);
}

// scripts/e2e packs samples/demo as source\ with `ozr pack --sfx` and signs it, in OZR_E2E_SIGNED.
void SignedArchiveExtractsItself(Stage& stage) {
  ASSERT_NE(_wgetenv(L"OZR_E2E_SIGNED"), nullptr) << "scripts/e2e sets OZR_E2E_SIGNED";
  const std::filesystem::path prepared = _wgetenv(L"OZR_E2E_SIGNED");
  UnpackerRun& run = stage.Start(u"подписан.exe", testing::ReadFile(prepared / L"signed.exe"));
  EXPECT_EQ(TextOf(run.Dialog()), u"Подписанный архив");
  StartExtraction(run, u"подпись", stage.output);
  ExpectSuccess(run);
  ExpectControls(run, false);
  EXPECT_TRUE(FilesIn(stage.output + u"source") == FilesIn(prepared / L"source"));
}

const Scenario kScenarios[] = {
    {"OpensItsOwnArchive", OpensItsOwnArchive},
    {"CloseRefusedWhileBusyThenAbort", CloseRefusedWhileBusyThenAbort},
    {"ChooserEndsWithoutTheDialog", ChooserEndsWithoutTheDialog},
    {"DamagedOwnArchiveFallsBackToTheChosenOne", DamagedOwnArchiveFallsBackToTheChosenOne},
    {"SignedArchiveExtractsItself", SignedArchiveExtractsItself}};

class E2e : public ::testing::TestWithParam<Scenario> {};

TEST_P(E2e, Plays) {
  Stage stage;
  GetParam().second(stage);
}

std::string NameOf(const ::testing::TestParamInfo<Scenario>& info) { return info.param.first; }
INSTANTIATE_TEST_SUITE_P(Scenarios, E2e, ::testing::ValuesIn(kScenarios), NameOf);

}  // namespace
}  // namespace ozr::e2e
