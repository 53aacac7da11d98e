// Start-up as the user meets it: a self-extracting archive opens itself; the plain unpacker asks
// for an archive, and cancelling, a damaged file or a locked file end it without a dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include "base/control_ids.h"
#include "base/size_text.h"
#include "base/texts.h"
#include "e2e/e2e_fixture.h"
#include "e2e/window_probe.h"
#include "support/test_archives.h"

namespace ozr::e2e {
namespace {

using testing::MixedContent;
using testing::NoiseContent;

// Controls of the open-file dialog: the file-type list and the name box.
constexpr int kFileTypeList = 0x470;
constexpr int kFileNameCombo = 0x47c;
constexpr int kFileNameEdit = 0x480;

HWND FileNameBox(HWND fileDialog) {
  const HWND combo = GetDlgItem(fileDialog, kFileNameCombo);
  return combo != nullptr ? combo : GetDlgItem(fileDialog, kFileNameEdit);
}

// Types a name into the open-file dialog and presses Open.
void ChooseFile(HWND fileDialog, const std::u16string& name) {
  const HWND box = FileNameBox(fileDialog);
  ASSERT_NE(box, nullptr);
  SetText(box, name);
  Click(GetDlgItem(fileDialog, IDOK));
}

// The archive with its header's unpacked total off by one: every record reads well, the
// totals check at the end fails.
std::vector<uint8_t> WithWrongTotals(std::vector<uint8_t> archive) {
  const size_t end = archive.size();
  const uint32_t headerDistance = archive[end - 8] | archive[end - 7] << 8 |
                                  archive[end - 6] << 16 | uint32_t{archive[end - 5]} << 24;
  archive[end - headerDistance + 8] ^= 1;  // low byte of totalUnpackedSize
  return archive;
}

HWND HiddenMainDialog(const UnpackerRun& run) {
  for (const HWND window : TopLevelWindowsOf(run.processId())) {
    if (IsMainDialog(window)) return window;
  }
  return nullptr;
}

std::vector<PackEntry> CatalogueEntries() {
  std::vector<PackEntry> entries = {
      Entry(u"readme.txt", testing::Bytes("Прочтите меня.\r\n")),
      Entry(u"документы\\отчёт за 2024 год.txt", MixedContent(300000, 1)),
      Entry(u"data\\noise.bin", NoiseContent(70000, 2)),
      Entry(u"очень длинное имя файла, которое не помещается в список по ширине и требует "
            u"горизонтальной прокрутки.txt",
            MixedContent(5000, 3)),
  };
  for (int i = 1; i <= 26; ++i) {
    const std::string digits = std::to_string(100 + i).substr(1);
    entries.push_back(Entry(u"файл " + std::u16string(digits.begin(), digits.end()) + u".txt",
                            MixedContent(1000u * i, i)));
  }
  return entries;
}

TEST_F(UnpackerTest, SelfExtractingArchiveShowsItsCatalogue) {
  testing::CraftedOptions options = testing::EncryptedOptions(u"пароль", u"Отчёты за 2024 год");
  options.comment = u"Годовые отчёты.\r\nПароль знает бухгалтерия.";
  options.compressionLevel = 7;
  const std::vector<PackEntry> entries = CatalogueEntries();
  const std::u16string exe = WriteSelfExtracting(u"отчёты.exe", entries, options);
  ArchiveSession expected;
  testing::OpenFromMemory(testing::WriteArchiveToMemory(entries, options), expected);

  UnpackerRun run(exe, Folder());
  const HWND dialog = run.WaitDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(TextOf(dialog), u"Отчёты за 2024 год");
  EXPECT_EQ(TextOf(run.Control(kCommentBox)), options.comment);
  EXPECT_EQ(TextOf(run.Control(kSummaryLine)),
            FormatSummaryLine(static_cast<uint32_t>(entries.size()),
                              expected.header.totalUnpackedSize, expected.header.totalPackedSize));
  EXPECT_EQ(TextOf(run.Control(kLevelLine)), u"Степень сжатия: 7");
  EXPECT_EQ(TextOf(run.Control(kDestinationFolder)), Folder() + u"\\");
  // The template's own texts, as shown.
  std::vector<std::u16string> labels;
  for (const HWND child : ChildrenOf(dialog)) {
    const int id = GetDlgCtrlID(child);
    if (id == -1 || id == 0xFFFF) labels.push_back(TextOf(child));
  }
  EXPECT_EQ(labels, (std::vector<std::u16string>{u"Пароль к архиву:", u"Распаковать в папку:",
                                                 u"Выберите файлы для распаковки:"}));
  EXPECT_EQ(TextOf(run.Control(kBrowseButton)), u"...");
  EXPECT_EQ(TextOf(run.Control(kSelectAllButton)), u"Выбрать все");
  EXPECT_EQ(TextOf(run.Control(kExtractButton)), u"Распаковать");
  EXPECT_EQ(TextOf(run.Control(kAbortButton)), u"Прервать");

  std::vector<std::u16string> lines;
  for (const auto& [index, entry] : expected.catalog) {
    lines.push_back(
        FormatEntryLine(entry.name, entry.record.unpackedSize, entry.record.packedSize));
  }
  const HWND list = run.Control(kEntryList);
  EXPECT_EQ(ListItems(list), lines);
  EXPECT_EQ(SelectedCount(list), 0);
  // The list is scrolled to its end and can scroll sideways to the end of its longest line.
  RECT client{};
  GetClientRect(list, &client);
  EXPECT_GT(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0), client.right);
  EXPECT_GT(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);

  const HWND password = run.Control(kPasswordField);
  EXPECT_EQ(SendMessageW(password, EM_GETLIMITTEXT, 0, 0), 16);
  Type(password, u"абвгдеёжзийклмнопрст");
  EXPECT_EQ(SendMessageW(password, WM_GETTEXTLENGTH, 0, 0), 16);
  ExpectIdle(run);
  EXPECT_FALSE(run.FindMessage().has_value());

  // Neither Esc nor Enter closes the dialog, nor do the commands the dialog manager makes of them.
  PressKey(list, VK_ESCAPE);
  PressKey(list, VK_RETURN);
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  Click(run.Control(kSelectAllButton));  // served after the keys: proves they were handled
  EXPECT_TRUE(WaitUntil([&] { return SelectedCount(list) == static_cast<int>(lines.size()); }));
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_FALSE(run.FindMessage().has_value());

  PostMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitExit(), 0u);
}

TEST_F(UnpackerTest, DirectionalAndControlCharactersAreShownVisibly) {
  testing::CraftedOptions options = testing::PlainOptions(u"Счёт\u202Etxt.exe");
  options.comment = u"Строка 1\r\nСтрока\u2066 2\x07\u200F";
  const std::u16string exe = WriteSelfExtracting(
      u"счёт.exe", {Entry(u"invoice\u202Efdp.exe", {'x'}), Entry(u"a\r\nb\u061C.txt", {'y'})},
      options);

  UnpackerRun run(exe, Folder());
  const HWND dialog = run.WaitDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(TextOf(dialog), u"Счёт\uFFFDtxt.exe");
  EXPECT_EQ(TextOf(run.Control(kCommentBox)), u"Строка 1\r\nСтрока\uFFFD 2\uFFFD\uFFFD");
  EXPECT_EQ(ListItems(run.Control(kEntryList)),
            (std::vector<std::u16string>{
                u"invoice\uFFFDfdp.exe; размер в архиве: 20 байт, исходный: 1 байт",
                u"a\uFFFD\uFFFDb\uFFFD.txt; размер в архиве: 20 байт, исходный: 1 байт"}));
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitExit(), 0u);
}

TEST_F(UnpackerTest, PlainUnpackerAsksForAnArchiveAndCancelEndsIt) {
  const std::u16string exe = CopyUnpacker(u"unpacker.exe");
  MakeFolder(Path(u"elsewhere"));
  UnpackerRun run(exe, Path(u"elsewhere"));

  const HWND chooser = run.WaitOpenFileDialog();
  ASSERT_NE(chooser, nullptr);
  EXPECT_FALSE(run.FindMessage().has_value()) << "no message before the choice";
  EXPECT_EQ(TextOf(FileNameBox(chooser)), u"");
  const HWND types = GetDlgItem(chooser, kFileTypeList);
  EXPECT_EQ(ComboItems(types),
            (std::vector<std::u16string>{text::kFilterArchives, text::kFilterSelfExtracting,
                                         text::kFilterAllFiles}));
  EXPECT_EQ(SendMessageW(types, CB_GETCURSEL, 0, 0), 0);

  Click(GetDlgItem(chooser, IDCANCEL));
  EXPECT_EQ(run.WaitExit(), 0u);
  EXPECT_FALSE(run.DialogWasShown());
  EXPECT_FALSE(run.FindMessage().has_value());
}

TEST_F(UnpackerTest, ChosenDamagedArchiveIsReportedAndEndsTheProgram) {
  const std::u16string exe = CopyUnpacker(u"unpacker.exe");
  WriteBytes(Path(u"повреждён.ozr"),
             WithWrongTotals(testing::WriteArchiveToMemory({Entry(u"a.txt", MixedContent(100, 1))},
                                                           testing::PlainOptions())));
  MakeFolder(Path(u"elsewhere"));
  UnpackerRun run(exe, Path(u"elsewhere"));

  // A bare name is found only in the folder the chooser starts in: the unpacker's own.
  ChooseFile(run.WaitOpenFileDialog(), u"повреждён.ozr");
  const SeenMessage message = run.WaitMessage();
  ExpectMessage(message, text::kArchiveReadFailed, text::kCaptionError, nullptr);
  run.Answer(message, IDOK);
  EXPECT_EQ(run.WaitExit(), 0u);
  EXPECT_FALSE(run.DialogWasShown());
}

TEST_F(UnpackerTest, ChosenFileThatCannotBeOpenedIsReported) {
  const std::u16string exe = CopyUnpacker(u"unpacker.exe");
  const std::u16string archive = WriteArchiveFile(
      u"занят.ozr", {Entry(u"a.txt", MixedContent(100, 1))}, testing::PlainOptions());
  // Held open without sharing, as another program might.
  const HANDLE held = CreateFileW(reinterpret_cast<const wchar_t*>(archive.c_str()), GENERIC_READ,
                                  0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  UnpackerRun run(exe, Folder());

  ChooseFile(run.WaitOpenFileDialog(), archive);
  const SeenMessage message = run.WaitMessage();
  ExpectMessage(message, text::kOpenFailed, text::kCaptionError, nullptr);
  run.Answer(message, IDOK);
  EXPECT_EQ(run.WaitExit(), 0u);
  EXPECT_FALSE(run.DialogWasShown());
  CloseHandle(held);
}

TEST_F(UnpackerTest, DamagedSelfExtractingArchiveFallsBackToTheChosenOne) {
  const std::vector<PackEntry> own = {Entry(u"свой 1.txt", MixedContent(100, 1)),
                                      Entry(u"свой 2.txt", MixedContent(200, 2))};
  const std::u16string exe = Path(u"испорчен.exe");
  std::vector<uint8_t> sfx = UnpackerBytes();
  const std::vector<uint8_t> tail =
      WithWrongTotals(testing::WriteArchiveToMemory(own, testing::PlainOptions(u"Свой")));
  sfx.insert(sfx.end(), tail.begin(), tail.end());
  WriteBytes(exe, sfx);
  MakeFolder(Path(u"архивы"));
  const std::vector<PackEntry> chosen = {Entry(u"чужой.txt", MixedContent(300, 3))};
  const std::u16string archive =
      WriteArchiveFile(u"архивы\\другой.ozr", chosen, testing::PlainOptions(u"Другой архив"));

  UnpackerRun run(exe, Folder());
  const HWND chooser = run.WaitOpenFileDialog();
  EXPECT_FALSE(run.FindMessage().has_value()) << "the damaged archive is dropped silently";
  const HWND hidden = HiddenMainDialog(run);
  ASSERT_NE(hidden, nullptr);
  EXPECT_TRUE(ListItems(GetDlgItem(hidden, kEntryList)).empty()) << "the failed attempt's items";

  ChooseFile(chooser, archive);
  ASSERT_NE(run.WaitDialog(), nullptr);
  EXPECT_EQ(TextOf(run.WaitDialog()), u"Другой архив");
  EXPECT_EQ(ListItems(run.Control(kEntryList)),
            (std::vector<std::u16string>{FormatEntryLine(u"чужой.txt", 300, [&] {
              ArchiveSession session;
              testing::OpenFromMemory(
                  testing::WriteArchiveToMemory(chosen, testing::PlainOptions()), session);
              return session.catalog.at(0).record.packedSize;
            }())}));
  EXPECT_EQ(TextOf(run.Control(kDestinationFolder)), Path(u"архивы\\"));
  PostMessageW(run.WaitDialog(), WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitExit(), 0u);
}

}  // namespace
}  // namespace ozr::e2e
