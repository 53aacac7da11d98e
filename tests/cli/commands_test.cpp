// `ozr pack` on real files with a recording console: what Ctrl+C leaves, and the stub of a
// self-extracting archive.
#include "cli/commands.h"

#include <gtest/gtest.h>

#include "base/utf.h"
#include "cli/native_path.h"
#include "fake_console.h"
#include "support/temp_folder.h"
#include "support/test_archives.h"

namespace ozr::cli {
namespace {

TEST(RunPack, CtrlCLeavesNeitherArchiveNorTemporaryFile) {
  const testing::TempFolder t;
  testing::WriteFile(t.path() / "a.bin", testing::NoiseContent(300000, 1));
  Arguments arguments;
  arguments.command = Command::kPack;
  arguments.output = PathText(t.path() / "out.ozr");
  arguments.inputs = {PathText(t.path() / "a.bin")};
  testing::FakeConsole console;
  const std::atomic<bool> interrupted{true};
  EXPECT_EQ(RunPack(arguments, console, *NativeFileSystem(), u"", interrupted), 130);
  EXPECT_EQ(console.err + console.out, u"Прервано пользователем.\n");
  EXPECT_EQ(testing::ListTree(t.path()), (std::vector<std::string>{"a.bin"}));
}

TEST(RunPack, SfxDropsTheStubsSignatureAndEndsAtAMultipleOf8) {
  const testing::TempFolder t;
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
  arguments.stub = u"stub.exe";
  arguments.quiet = true;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(t.path());
  testing::FakeConsole console;
  const std::atomic<bool> interrupted{false};
  const int status = RunPack(arguments, console, *NativeFileSystem(), u"", interrupted);
  std::filesystem::current_path(before);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(console.err,
            u"Подпись распаковщика stub.exe удалена: архив за ним сделал бы её "
            u"недействительной. Подпишите готовый файл.\n");
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
