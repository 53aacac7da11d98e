// What only the running Windows program shows: its dialog as its resources build it, start-up
// from its own file or a chosen one, and the worker thread's messages to the dialog.
#include <gtest/gtest.h>

#include <map>

#include "archive/records.h"
#include "e2e/driver.h"
#include "support/temp_folder.h"
#include "support/test_archives.h"

namespace ozr::e2e {
namespace {

using testing::Bytes;
using testing::MixedContent;
using testing::PlainOptions;

// OZR_UNPACKER, or unpacker.exe beside this program.
const std::vector<uint8_t>& UnpackerBytes() {
  static const std::vector<uint8_t> bytes = [] {
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    const wchar_t* given = _wgetenv(L"OZR_UNPACKER");
    return testing::ReadFile(given != nullptr
                                 ? std::filesystem::path(given)
                                 : std::filesystem::path(own).replace_filename(L"unpacker.exe"));
  }();
  return bytes;
}

// The controls the program drives as a user finds them: kind, caption, the style bits a user
// notices (a masked password, read-only texts, many lines to select), enabled when idle / busy.
struct ControlRow {
  int id;
  const char16_t* kind;
  const char16_t* text;  // nullptr: set by the program
  LONG style;
  bool idle, busy;
};
const ControlRow kControls[] = {
    {kCommentBox, u"Edit", nullptr, ES_MULTILINE | ES_READONLY, true, true},
    {kPasswordField, u"Edit", nullptr, ES_PASSWORD, true, false},
    {kDestinationFolder, u"Edit", nullptr, ES_READONLY, true, true},
    {kBrowseButton, u"Button", u"...", 0, true, false},
    {kSummaryLine, u"Static", nullptr, 0, true, true},
    {kEntryList, u"ListBox", nullptr, LBS_EXTENDEDSEL | WS_HSCROLL, true, false},
    {kLevelLine, u"Static", nullptr, 0, true, true},
    {kSelectAllButton, u"Button", u"Выбрать все", 0, true, false},
    {kExtractButton, u"Button", u"Распаковать", 0, true, false},
    {kAbortButton, u"Button", u"Прервать", 0, false, true},
    {kProgressEntries, u"msctls_progress32", nullptr, 0, true, true},
    {kProgressBytes, u"msctls_progress32", nullptr, 0, true, true},
};

// `passwordIdle` is false only before the first extraction of an archive stored unencrypted.
void ExpectState(UnpackerRun& run, bool busy, bool passwordIdle = true) {
  for (const ControlRow& row : kControls) {
    const bool enabled = busy ? row.busy : row.idle && (row.id != kPasswordField || passwordIdle);
    EXPECT_EQ(IsWindowEnabled(run.Control(row.id)) != FALSE, enabled)
        << "control " << row.id << (busy ? " while busy" : " while idle");
  }
}

void ExpectBarsReset(UnpackerRun& run) {
  EXPECT_EQ(ProgressOf(run.Control(kProgressEntries)), "0..1 at 0");
  EXPECT_EQ(ProgressOf(run.Control(kProgressBytes)), "0..1 at 0");
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

// A test's own folder, its files, and one run of the program.
struct Stage {
  testing::TempFolder temp;
  std::u16string folder = temp.path().u16string();
  std::u16string output = folder + u"\\вывод\\";
  std::optional<UnpackerRun> run;

  std::u16string Path(const std::u16string& relative) const { return folder + u"\\" + relative; }
  void Write(const std::u16string& relative, const std::vector<uint8_t>& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
    testing::WriteFile(Path(relative), bytes);
  }
  // Starts the program written as `exe`, by default in its own folder.
  UnpackerRun& Start(const std::u16string& exe, const std::vector<uint8_t>& bytes,
                     const std::u16string& currentFolder = u".") {
    Write(exe, bytes);
    std::filesystem::create_directories(output);
    std::filesystem::create_directories(Path(currentFolder));
    return run.emplace(Path(exe), Path(currentFolder));
  }
  UnpackerRun& StartSfx(const std::vector<PackEntry>& entries,
                        const testing::CraftedOptions& options) {
    return Start(u"архив.exe", testing::WriteArchiveToMemory(entries, options, UnpackerBytes()));
  }
  void ExpectOutput(const std::map<std::u16string, std::vector<uint8_t>>& files) const {
    std::vector<std::u16string> names, found;
    for (const auto& [name, bytes] : files) {
      names.push_back(name);
      EXPECT_EQ(testing::ReadFile(output + name), bytes) << "content of an extracted file";
    }
    for (const auto& item : std::filesystem::recursive_directory_iterator(output)) {
      if (!item.is_directory()) found.push_back(item.path().lexically_relative(output).u16string());
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, names) << "no other file, no temporary file";
  }
};

void OpensItsOwnArchive(Stage& stage) {
  testing::CraftedOptions options = testing::EncryptedOptions(u"пароль", u"Отчёты\u202Etxt.exe");
  options.comment = u"Годовые отчёты.\r\nПароль\u2066 знает бухгалтерия.";
  options.compressionLevel = 7;
  std::vector<PackEntry> entries = {
      Entry(u"readme.txt", Bytes("Прочтите меня.")),
      Entry(u"очень длинное имя, которое требует прокрутки списка по ширине.txt",
            MixedContent(5000, 3))};
  std::vector<std::u16string> lines = {
      u"readme.txt; размер в архиве: 56 байт, исходный: 26 байт",
      u"очень длинное имя, которое требует прокрутки списка по ширине.txt; размер в архиве: 840 "
      u"байт, исходный: 4.88 КБ"};
  for (char16_t digit = u'0'; digit <= u'9'; ++digit) {
    entries.push_back(Entry(u"файл " + std::u16string(1, digit) + u".txt", {'x'}));
    lines.push_back(u"файл " + std::u16string(1, digit) +
                    u".txt; размер в архиве: 24 байт, исходный: 1 байт");
  }
  UnpackerRun& run = stage.StartSfx(entries, options);
  const HWND dialog = run.Dialog();
  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(row.id);
    EXPECT_EQ(ClassOf(run.Control(row.id)), row.kind);
    if (row.text != nullptr) EXPECT_EQ(TextOf(run.Control(row.id)), row.text);
    EXPECT_EQ(GetWindowLongW(run.Control(row.id), GWL_STYLE) & row.style, row.style);
  }
  std::vector<std::u16string> labels;
  for (const HWND child : ChildrenOf(dialog)) {
    if (static_cast<uint16_t>(GetDlgCtrlID(child)) == 0xFFFF) labels.push_back(TextOf(child));
  }
  EXPECT_EQ(labels, (std::vector<std::u16string>{u"Пароль к архиву:", u"Распаковать в папку:",
                                                 u"Выберите файлы для распаковки:"}));
  EXPECT_EQ(TextOf(dialog), u"Отчёты\uFFFDtxt.exe");
  EXPECT_EQ(TextOf(run.Control(kCommentBox)),
            u"Годовые отчёты.\r\nПароль\uFFFD знает бухгалтерия.");
  EXPECT_EQ(TextOf(run.Control(kSummaryLine)),
            u"В архиве файлов: 12, размер в архиве: 1.11 КБ, исходный: 4.92 КБ");
  EXPECT_EQ(TextOf(run.Control(kLevelLine)), u"Степень сжатия: 7");
  EXPECT_EQ(TextOf(run.Control(kDestinationFolder)), stage.folder + u"\\");
  const HWND list = run.Control(kEntryList);
  EXPECT_EQ(ItemsOf(list), lines);
  // Scrolled to its end, and sideways as far as its longest line.
  RECT client{};
  GetClientRect(list, &client);
  EXPECT_GT(Send(list, LB_GETHORIZONTALEXTENT), client.right);
  EXPECT_GT(Send(list, LB_GETTOPINDEX), 0);
  EXPECT_EQ(Send(run.Control(kPasswordField), EM_GETLIMITTEXT), 16);
  ExpectState(run, false);

  Click(run.Control(kExtractButton));
  run.ExpectMessage(u"Выберите файлы для распаковки.", u"Ошибка!", dialog, {IDOK}, IDOK);
  // What the dialog manager makes of Esc and Enter closes nothing; the click is served after.
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  Click(run.Control(kSelectAllButton));
  EXPECT_TRUE(WaitUntil([&] { return Send(list, LB_GETSELCOUNT) == 12; }));
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_FALSE(run.ShowsMessage());
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitExit(), 0u);
}

void ExtractsAfterTheOverwriteQuestion(Stage& stage) {
  const std::map<std::u16string, std::vector<uint8_t>> files = {
      {u"readme.txt", Bytes("Новый текст.\r\n")},
      {u"noise.bin", testing::NoiseContent(200000, 1)},
      {u"папка\\вложенная\\данные.bin", MixedContent(700000, 2)}};
  stage.Write(u"вывод\\readme.txt", Bytes("Старый текст."));
  UnpackerRun& run = stage.StartSfx(
      {Entry(u"readme.txt", files.at(u"readme.txt")),
       Entry(u"папка\\вложенная\\данные.bin", files.at(u"папка\\вложенная\\данные.bin")),
       Entry(u"noise.bin", files.at(u"noise.bin"))},
      PlainOptions());
  ExpectState(run, false, false);
  StartExtraction(run, u"", stage.output);
  run.ExpectMessage(u"Файл " + stage.output + u"readme.txt уже существует.\r\nПерезаписать?",
                    u"Ошибка", run.Dialog(), {IDYES, IDNO}, IDYES, [&] {
                      ExpectState(run, true);
                      EXPECT_EQ(ProgressOf(run.Control(kProgressEntries)), "0..3 at 1");
                    });
  ExpectSuccess(run);
  ExpectState(run, false);
  ExpectBarsReset(run);
  stage.ExpectOutput(files);
}

// Closing is refused while the job runs, then an abort stops it between two frames of a long
// entry: small frames make the job take seconds under Wine while the writer stays quick.
void CloseRefusedThenAbort(Stage& stage) {
  static const std::vector<uint8_t> first = MixedContent(50000, 4);
  testing::CraftedOptions options = testing::EncryptedOptions(u"секрет");
  options.frameContent = 250;
  UnpackerRun& run = stage.StartSfx(
      {Entry(u"first.txt", first), Entry(u"large.bin", MixedContent(40u << 20, 5))}, options);
  StartExtraction(run, u"секрет", stage.output);
  EXPECT_TRUE(WaitUntil([&] { return ProgressOf(run.Control(kProgressEntries)) == "0..2 at 2"; }));
  PostMessageW(run.Dialog(), WM_CLOSE, 0, 0);
  run.ExpectMessage(u"Сначала завершите распаковку.", u"Ошибка", run.Dialog(), {IDOK}, IDOK);
  ExpectState(run, true);
  Click(run.Control(kAbortButton));
  run.ExpectMessage(u"Прервать процесс распаковки?", u"Подтверждение", run.Dialog(), {IDYES, IDNO},
                    IDYES);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(run.Control(kAbortButton)); }));
  EXPECT_FALSE(run.ShowsMessage()) << "an abort shows no message";
  ExpectBarsReset(run);
  stage.ExpectOutput({{u"first.txt", first}});
  PostMessageW(run.Dialog(), WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitExit(), 0u);
}

void FolderBrowserSetsTheDestination(Stage& stage) {
  UnpackerRun& run = stage.StartSfx({Entry(u"a.txt", Bytes("a"))}, PlainOptions());
  Click(run.Control(kBrowseButton));
  const HWND browser = run.WaitWindow([](HWND window) {
    return HasChild(window, [](HWND c) { return ClassOf(c) == u"SysTreeView32"; });
  });
  EXPECT_EQ(GetWindow(browser, GW_OWNER), run.Dialog());
  EXPECT_TRUE(
      HasChild(browser, [](HWND c) { return TextOf(c) == u"Выберите директорию для распаковки"; }));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(browser, IDOK)); }));
  Click(GetDlgItem(browser, IDOK));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(browser); }));
  const std::u16string chosen = TextOf(run.Control(kDestinationFolder));
  ASSERT_GE(chosen.size(), 3u);
  EXPECT_EQ(chosen.back(), u'\\');
  EXPECT_NE(chosen[chosen.size() - 2], u'\\') << "one final backslash, not two";
  EXPECT_TRUE(std::filesystem::is_directory(chosen));
}

// A copy of the program whose own archive is missing or damaged, started in another folder: the
// open-file chooser, which starts in the program's folder.
HWND StartChooser(Stage& stage, const std::vector<uint8_t>& ownArchive = {}) {
  std::vector<uint8_t> program = UnpackerBytes();
  program.insert(program.end(), ownArchive.begin(), ownArchive.end());
  UnpackerRun& run = stage.Start(u"unpacker.exe", program, u"elsewhere");
  const HWND chooser = run.WaitWindow(
      [](HWND window) { return IsDialogClass(window) && TextOf(window) == u"Открыть архив..."; });
  EXPECT_FALSE(run.ShowsMessage()) << "no message before the choice";
  const HWND types = GetDlgItem(chooser, 0x470);
  EXPECT_EQ(ItemsOf(types), (std::vector<std::u16string>{u"Архивные файлы (*.ozr)",
                                                         u"Самораспаковывающиеся архивы (*.exe)",
                                                         u"Все файлы (*.*)"}));
  EXPECT_EQ(Send(types, CB_GETCURSEL), 0);
  return chooser;
}

void Choose(HWND chooser, const std::u16string& name) {
  const HWND combo = GetDlgItem(chooser, 0x47c);
  SetText(combo != nullptr ? combo : GetDlgItem(chooser, 0x480), name);
  Click(GetDlgItem(chooser, IDOK));
}

void ChooserCancelledEndsQuietly(Stage& stage) {
  Click(GetDlgItem(StartChooser(stage), IDCANCEL));
  EXPECT_EQ(stage.run->WaitExit(), 0u);
  EXPECT_FALSE(stage.run->DialogWasShown());
  EXPECT_FALSE(stage.run->ShowsMessage());
}

void ChosenDamagedArchiveEndsWithAMessage(Stage& stage) {
  stage.Write(u"повреждён.ozr", Damaged(testing::WriteArchiveToMemory({Entry(u"a.txt", Bytes("a"))},
                                                                      PlainOptions())));
  Choose(StartChooser(stage), u"повреждён.ozr");
  stage.run->ExpectMessage(u"Ошибка при чтении архива.", u"Ошибка", nullptr, {IDOK}, IDOK);
  EXPECT_EQ(stage.run->WaitExit(), 0u);
  EXPECT_FALSE(stage.run->DialogWasShown());
}

void DamagedOwnArchiveFallsBackToTheChosenOne(Stage& stage) {
  stage.Write(u"архивы\\другой.ozr",
              testing::WriteArchiveToMemory({Entry(u"чужой.txt", Bytes("чужой"))},
                                            PlainOptions(u"Другой архив")));
  Choose(StartChooser(stage, Damaged(testing::WriteArchiveToMemory(
                                 {Entry(u"свой.txt", Bytes("свой"))}, PlainOptions(u"Свой")))),
         u"архивы\\другой.ozr");
  UnpackerRun& run = *stage.run;
  EXPECT_EQ(TextOf(run.Dialog()), u"Другой архив");
  EXPECT_EQ(
      ItemsOf(run.Control(kEntryList)),
      (std::vector<std::u16string>{u"чужой.txt; размер в архиве: 29 байт, исходный: 10 байт"}));
  EXPECT_EQ(TextOf(run.Control(kDestinationFolder)), stage.Path(u"архивы\\"));
  PostMessageW(run.Dialog(), WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitExit(), 0u);
}

// scripts/e2e packs a folder with `ozr pack --sfx` and signs the result; the folder named by
// OZR_E2E_SIGNED holds signed.exe and the packed folder, source\.
void SignedArchiveExtractsItself(Stage& stage) {
  const wchar_t* prepared = _wgetenv(L"OZR_E2E_SIGNED");
  ASSERT_NE(prepared, nullptr) << "OZR_E2E_SIGNED is not set (scripts/e2e sets it)";
  const std::filesystem::path source = std::filesystem::path(prepared) / L"source";
  UnpackerRun& run = stage.Start(
      u"подписан.exe", testing::ReadFile(std::filesystem::path(prepared) / L"signed.exe"));
  EXPECT_EQ(TextOf(run.Dialog()), u"Подписанный архив");
  StartExtraction(run, u"подпись", stage.output);
  ExpectSuccess(run);
  std::map<std::u16string, std::vector<uint8_t>> files;
  for (const auto& item : std::filesystem::recursive_directory_iterator(source)) {
    if (!item.is_directory())
      files[u"source\\" + item.path().lexically_relative(source).u16string()] =
          testing::ReadFile(item.path());
  }
  EXPECT_EQ(files.size(), 4u);
  stage.ExpectOutput(files);
}

struct Scenario {
  const char* name;
  void (*play)(Stage&);
};
void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

class E2e : public ::testing::TestWithParam<Scenario> {};

TEST_P(E2e, Plays) {
  Stage stage;
  GetParam().play(stage);
}

#define SCENARIO(play) \
  Scenario { #play, play }
INSTANTIATE_TEST_SUITE_P(
    Scenarios, E2e,
    ::testing::Values(SCENARIO(OpensItsOwnArchive), SCENARIO(ExtractsAfterTheOverwriteQuestion),
                      SCENARIO(CloseRefusedThenAbort), SCENARIO(FolderBrowserSetsTheDestination),
                      SCENARIO(ChooserCancelledEndsQuietly),
                      SCENARIO(ChosenDamagedArchiveEndsWithAMessage),
                      SCENARIO(DamagedOwnArchiveFallsBackToTheChosenOne),
                      SCENARIO(SignedArchiveExtractsItself)),
    [](const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; });

}  // namespace
}  // namespace ozr::e2e
