// What only the running Windows program shows: its dialog as its resources build it, start-up
// from its own file or a chosen one, and the worker thread's messages to the dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <iterator>
#include <tuple>

#include "base/utf.h"
#include "e2e/driver.h"
#include "support/temp_folder.h"
#include "support/test_archives.h"

namespace ozr::e2e {
namespace {

using testing::Bytes;

// The unpacker is built beside this program.
std::vector<uint8_t> UnpackerBytes() {
  wchar_t own[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  return testing::ReadFile(std::filesystem::path(own).replace_filename(L"unpacker.exe"));
}

// What a job switches: which of the password field, browse, list, select all, extract and abort
// are enabled, then both bars as "low..high at position".
std::string StateOf(UnpackerRun& run) {
  std::string state;
  for (const int id :
       {kPasswordField, kBrowseButton, kEntryList, kSelectAllButton, kExtractButton, kAbortButton})
    state += IsWindowEnabled(run.Control(id)) ? '1' : '0';
  for (const HWND bar : {run.Control(kProgressEntries), run.Control(kProgressBytes)}) {
    state += ", " + std::to_string(Send(bar, PBM_GETRANGE, TRUE)) + ".." +
             std::to_string(Send(bar, PBM_GETRANGE, FALSE)) + " at " +
             std::to_string(Send(bar, PBM_GETPOS));
  }
  return state;
}

// Selects every entry, types the password and the destination, presses extract.
void StartExtraction(UnpackerRun& run, const std::u16string& password,
                     const std::u16string& destination) {
  Send(run.Control(kSelectAllButton), BM_CLICK);
  SetText(run.Control(kPasswordField), password);
  SetText(run.Control(kDestinationFolder), destination);
  Click(run.Control(kExtractButton));
}

// A test's own folder, its files, and one run of the program.
struct Stage {
  testing::TempFolder temp;
  std::u16string folder = temp.path().u16string() + u"\\";
  std::u16string output = folder + u"вывод\\";
  std::optional<UnpackerRun> run;

  // Starts the program written as `exe`, in another folder than its own: the output folder.
  UnpackerRun& Start(const std::u16string& exe, const std::vector<uint8_t>& bytes) {
    testing::WriteFile(folder + exe, bytes);
    std::filesystem::create_directories(output);
    return run.emplace(folder + exe, output);
  }
};

// The program without an archive of its own asks for one in its own folder; the name typed there
// is opened, or without one the chooser is cancelled.
void StartChooser(Stage& stage, const std::u16string& name) {
  UnpackerRun& run = stage.Start(u"unpacker.exe", UnpackerBytes());
  const HWND chooser = run.WaitWindow(
      [](HWND window) { return IsDialogClass(window) && TextOf(window) == u"Открыть архив..."; });
  EXPECT_EQ(TextOf(GetDlgItem(chooser, 0x470)), u"Архивные файлы (*.ozr)") << "the first filter";
  SetText(GetDlgItem(chooser, 0x47c), name);  // the file name box
  Click(GetDlgItem(chooser, name.empty() ? IDCANCEL : IDOK));
}

// Its own archive fills the dialog (the list scrolled to its end and sideways); the browser puts
// the chosen folder with one final backslash. The job waits for an answer, then spends long on its
// large entry (many small encrypted frames under Wine): closing is refused, and an abort ends it.
TEST(E2e, OpensItsOwnArchiveAndAborts) {
  Stage stage;
  testing::CraftedOptions options = testing::EncryptedOptions(u"пароль", u"Отчёты\u202Etxt.exe");
  options.comment = u"Годовые отчёты.\r\nПароль\u2066 знает бухгалтерия.";
  options.frameContent = 125;
  std::vector<PackEntry> entries = {
      {u"first.txt", Bytes("первый"), {}},
      {u"длинное имя, шире списка.bin", testing::MixedContent(40u << 20, 5), {}}};
  for (char16_t digit = u'0'; digit <= u'9'; ++digit)
    entries.push_back({u"файл " + std::u16string(1, digit) + u".txt", {'x'}, {}});
  UnpackerRun& run =
      stage.Start(u"архив.exe", testing::WriteArchiveToMemory(entries, options, UnpackerBytes()));
  const HWND dialog = run.Dialog();
  EXPECT_EQ(TextOf(dialog), u"Отчёты\uFFFDtxt.exe");
  // The controls as a user finds them: labels (ID -1), buttons and the program's texts.
  const std::tuple<int, std::u16string, std::u16string> shown[] = {
      {-1, u"Static", u"Пароль к архиву:"},
      {-1, u"Static", u"Распаковать в папку:"},
      {-1, u"Static", u"Выберите файлы для распаковки:"},
      {kBrowseButton, u"Button", u"..."},
      {kSelectAllButton, u"Button", u"Выбрать все"},
      {kExtractButton, u"Button", u"Распаковать"},
      {kAbortButton, u"Button", u"Прервать"},
      {kCommentBox, u"Edit", u"Годовые отчёты.\r\nПароль\uFFFD знает бухгалтерия."},
      {kDestinationFolder, u"Edit", stage.folder},
      {kSummaryLine, u"Static",
       u"В архиве файлов: 12, размер в архиве: 27.69 МБ, исходный: 40.00 МБ"},
      {kLevelLine, u"Static", u"Степень сжатия: 6"}};
  for (const auto& [id, kind, text] : shown)
    EXPECT_TRUE(HasChild(dialog, [&](HWND c) {
      return GetDlgCtrlID(c) == id && ClassOf(c) == kind && TextOf(c) == text;
    })) << ToUtf8(text);
  EXPECT_EQ(StateOf(run), "111110, 0..100 at 0, 0..100 at 0");
  const HWND list = run.Control(kEntryList);
  RECT client{};
  GetClientRect(list, &client);
  EXPECT_GT(Send(list, LB_GETHORIZONTALEXTENT), client.right);
  EXPECT_GT(Send(list, LB_GETTOPINDEX), 0);
  EXPECT_EQ(Send(run.Control(kPasswordField), EM_GETLIMITTEXT), 16);

  Click(run.Control(kBrowseButton));
  const HWND browser = run.WaitWindow([](HWND window) {
    return HasChild(window,
                    [](HWND c) { return TextOf(c) == u"Выберите директорию для распаковки"; });
  });
  EXPECT_EQ(GetWindow(browser, GW_OWNER), dialog);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(browser, IDOK)); }));
  Click(GetDlgItem(browser, IDOK));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(browser); }));
  const std::u16string chosen = TextOf(run.Control(kDestinationFolder));
  EXPECT_TRUE(chosen.ends_with(u"\\") && !chosen.ends_with(u"\\\\")) << ToUtf8(chosen);
  EXPECT_TRUE(std::filesystem::is_directory(chosen));

  testing::WriteFile(stage.output + u"first.txt", Bytes("старый"));
  StartExtraction(run, u"пароль", stage.output);
  run.ExpectMessage(u"Файл " + stage.output + u"first.txt уже существует.\r\nПерезаписать?",
                    u"Ошибка", dialog, IDYES, [&] {
                      EXPECT_EQ(StateOf(run), "000001, 0..12 at 1, 0..1 at 0");
                      PostMessageW(dialog, WM_CLOSE, 0, 0);
                      run.ExpectMessage(u"Сначала завершите распаковку.", u"Ошибка", dialog, IDOK);
                    });
  EXPECT_TRUE(WaitUntil([&] { return StateOf(run).starts_with("000001, 0..12 at 2"); }));
  Click(run.Control(kAbortButton));
  run.ExpectMessage(u"Прервать процесс распаковки?", u"Подтверждение", dialog, IDYES);
  EXPECT_TRUE(WaitUntil([&] { return StateOf(run) == "111110, 0..1 at 0, 0..1 at 0"; }));
  EXPECT_EQ(testing::ReadFile(stage.output + u"first.txt"), Bytes("первый"));
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitExit(), 0u);
}

// Its own archive stored unencrypted leaves the password field disabled. Without an archive of its
// own, the program ends without its dialog when the chooser is cancelled or given a file it cannot
// read. Given a signed self-extracting archive (scripts/e2e packs samples/demo as source\ with
// `ozr pack --sfx` and signs it, in OZR_E2E_SIGNED), the program opens it and extracts all.
TEST(E2e, StartsWithAPlainOrNoArchive) {
  Stage stage;
  ASSERT_NE(_wgetenv(L"OZR_E2E_SIGNED"), nullptr) << "scripts/e2e sets OZR_E2E_SIGNED";
  stage.Start(u"открытый.exe", testing::WriteArchiveToMemory(
                                   {{u"a", {'a'}, {}}}, testing::PlainOptions(), UnpackerBytes()));
  EXPECT_FALSE(IsWindowEnabled(stage.run->Control(kPasswordField)));
  StartChooser(stage, u"");
  EXPECT_EQ(stage.run->WaitExit(), 0u);
  testing::WriteFile(stage.folder + u"не архив.ozr", Bytes("не архив"));
  StartChooser(stage, u"не архив.ozr");
  stage.run->ExpectMessage(u"Ошибка при чтении архива.", u"Ошибка", nullptr, IDOK);
  EXPECT_EQ(stage.run->WaitExit(), 0u);
  const std::filesystem::path prepared = _wgetenv(L"OZR_E2E_SIGNED");
  StartChooser(stage, (prepared / L"signed.exe").u16string());
  UnpackerRun& run = *stage.run;
  StartExtraction(run, u"подпись", stage.output);
  run.ExpectMessage(u"Выбранные файлы успешно распакованы.", u"Успех", run.Dialog(), IDOK);
  EXPECT_TRUE(WaitUntil([&] { return StateOf(run) == "111110, 0..1 at 0, 0..1 at 0"; }));
  const auto extracted = std::filesystem::recursive_directory_iterator(stage.output + u"source");
  EXPECT_EQ(std::distance(begin(extracted), end(extracted)), 6) << "four files, two folders";
}

}  // namespace
}  // namespace ozr::e2e
