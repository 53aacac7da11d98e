// The commands on real files with a recording console: what Ctrl+C leaves behind, and what a
// hostile archive can make the listing print.
#include "cli/commands.h"

#include <gtest/gtest.h>

#include "base/utf.h"
#include "cli/cli_texts.h"
#include "cli/native_path.h"
#include "fake_console.h"
#include "support/temp_folder.h"
#include "support/test_archives.h"

namespace ozr::cli {
namespace {

namespace fs = std::filesystem;
using testing::FakeConsole;
using testing::TempFolder;

const std::u16string kInterruptedLine = std::u16string(text::kInterrupted) + u"\n";

TEST(Commands, CtrlCDuringPackLeavesNeitherArchiveNorTemporaryFile) {
  TempFolder t;
  testing::WriteFile(t.path() / "a.bin", testing::NoiseContent(300000, 1));
  Arguments arguments;
  arguments.command = Command::kPack;
  arguments.output = PathText(t.path() / "out.ozr");
  arguments.inputs = {PathText(t.path() / "a.bin")};
  FakeConsole console;
  const std::atomic<bool> interrupted{true};
  const auto files = NativeFileSystem();
  EXPECT_EQ(RunPack(arguments, console, *files, u"", interrupted), kExitInterrupted);
  EXPECT_EQ(console.err, kInterruptedLine);
  EXPECT_EQ(console.out, u"");
  EXPECT_EQ(testing::ListTree(t.path()), (std::vector<std::string>{"a.bin"}));
}

TEST(Commands, CtrlCDuringExtractRemovesThePartialFile) {
  TempFolder t;
  const std::vector<PackEntry> entries = {{u"big.bin", testing::NoiseContent(400000, 2), {}}};
  testing::WriteFile(t.path() / "a.ozr",
                     testing::WriteArchiveToMemory(entries, testing::PlainOptions()));
  for (const Command command : {Command::kExtract, Command::kTest}) {
    Arguments arguments;
    arguments.command = command;
    arguments.archive = PathText(t.path() / "a.ozr");
    arguments.outputFolder = PathText(t.path() / "out");
    FakeConsole console;
    const std::atomic<bool> interrupted{true};
    const auto files = NativeFileSystem();
    EXPECT_EQ(RunExtract(arguments, console, *files, interrupted), kExitInterrupted);
    EXPECT_EQ(console.err, kInterruptedLine);
    EXPECT_EQ(console.out, u"");
  }
  EXPECT_EQ(testing::ListTree(t.path()), (std::vector<std::string>{"a.ozr", "out/"}));
}

TEST(Commands, ListShowsHostileTextsOneLineEachWithoutControlCharacters) {
  TempFolder t;
  testing::CraftedOptions options = testing::PlainOptions(u"Заголовок\x1b]0;чужой\x07\u202E");
  options.comment = u"строка 1\r\nстрока 2\x1b[2J\u2066";
  const std::vector<PackEntry> entries = {{u"a\nb.txt", testing::Bytes("x"), {}},
                                          {u"invoice\u202Efdp.exe", testing::Bytes("y"), {}}};
  testing::WriteFile(t.path() / "h.ozr", testing::WriteArchiveToMemory(entries, options));
  Arguments arguments;
  arguments.command = Command::kList;
  arguments.archive = PathText(t.path() / "h.ozr");
  arguments.numbers = true;
  FakeConsole console;
  const auto files = NativeFileSystem();
  ASSERT_EQ(RunList(arguments, console, *files), kExitSuccess) << ToUtf8(console.err);
  EXPECT_EQ(console.out,
            u"Заголовок\uFFFD]0;чужой\uFFFD\uFFFD\n"
            u"строка 1\nстрока 2\uFFFD[2J\uFFFD\n"
            u"В архиве файлов: 2, размер в архиве: 40 байт, исходный: 2 байт\n"
            u"Степень сжатия: 6\n"
            u"0\ta\uFFFDb.txt; размер в архиве: 20 байт, исходный: 1 байт\n"
            u"1\tinvoice\uFFFDfdp.exe; размер в архиве: 20 байт, исходный: 1 байт\n");
  EXPECT_EQ(console.err, u"");
}

TEST(Commands, PackSfxDropsTheStubsSignatureAndEndsAtAMultipleOf8) {
  TempFolder t;
  std::vector<uint8_t> program = testing::PeImage();
  program.resize(0x405, 0x90);
  program[0xD8] = 0x5A;                                        // CheckSum
  const std::vector<uint8_t> stub = testing::Signed(program);  // its table at 0x408
  testing::WriteFile(t.path() / "stub.exe", stub);
  testing::WriteFile(t.path() / "a.txt", testing::Bytes("abc"));
  Arguments arguments;
  arguments.command = Command::kPack;
  arguments.output = PathText(t.path() / "s.exe");
  arguments.inputs = {PathText(t.path() / "a.txt")};
  arguments.sfx = true;
  arguments.stub = PathText(t.path() / "stub.exe");
  arguments.quiet = true;
  FakeConsole console;
  const std::atomic<bool> interrupted{false};
  const auto files = NativeFileSystem();
  ASSERT_EQ(RunPack(arguments, console, *files, u"", interrupted), kExitSuccess);
  EXPECT_EQ(console.err, u"Подпись распаковщика " + *arguments.stub +
                             u" удалена: архив за ним сделал бы её недействительной. Подпишите "
                             u"готовый файл.\n");
  const std::vector<uint8_t> written = testing::ReadFile(t.path() / "s.exe");
  std::vector<uint8_t> unsignedStub(stub.begin(), stub.begin() + 0x408);
  std::fill_n(unsignedStub.begin() + 0xD8, 4, 0);   // CheckSum
  std::fill_n(unsignedStub.begin() + 0x118, 8, 0);  // security entry
  ASSERT_GT(written.size(), 0x408u);
  EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.begin() + 0x408), unsignedStub);
  EXPECT_EQ(written.size() % 8, 0u);
  ArchiveSession session;
  testing::OpenFromMemory(written, session);
  EXPECT_EQ(session.DataAreaPosition(), 0x408u) << "the archive right behind the stub";
}

}  // namespace
}  // namespace ozr::cli
