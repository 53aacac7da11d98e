// The commands on real files: which files `pack` takes from a folder tree, under which names and
// in which order, what it leaves out or refuses, the stub of a self-extracting archive; and what
// `extract` and `test` make of hostile names and links in the destination.
#include "cli/commands.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>

#include "base/failure.h"
#include "base/utf.h"
#include "cli/native_path.h"
#include "cli/pack_sources.h"
#include "fake_console.h"
#include "support/temp_folder.h"
#include "support/test_archives.h"

namespace ozr::cli {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  for (size_t start = 0, end = 0; start < text.size(); start = end + 1) {
    end = std::min(text.find('|', start), text.size());
    parts.push_back(text.substr(start, end - start));
  }
  return parts;
}

// Runs `step` in a fresh current folder holding `files` ("|" between names, UTF-8 or on POSIX
// any bytes). A file holds one byte, none when its name says "empty"; a name ending in "/" is a
// folder, "pipe" a FIFO, and "a->b" a link a to b.
template <typename Step>
auto InFolder(const std::string& files, Step step) {
  const testing::TempFolder t;
  const fs::path before = fs::current_path();
  fs::current_path(t.path());
  for (const std::string& name : Split(files)) {
    const size_t arrow = name.find("->");
    const fs::path file = NativePath(PathFromBytes(name.substr(0, arrow)));
    if (file.has_parent_path()) fs::create_directories(file.parent_path());
    if (arrow != std::string::npos) {
      fs::create_symlink(name.substr(arrow + 2), file);
    } else if (file.filename() == "pipe") {
#ifndef _WIN32
      ::mkfifo(file.c_str(), 0600);
#endif
    } else if (file.has_filename()) {
      testing::WriteFile(file, std::vector<uint8_t>(name.find("empty") == name.npos ? 1 : 0, 'x'));
    }
  }
  const auto result = step(t.path());
  fs::current_path(before);
  return result;
}

// The entry names CollectSources gives, its sorted warnings and the total size, one a line; or
// the text of its failure.
std::string Sources(const std::string& files, const std::vector<std::u16string>& inputs,
                    const std::u16string& output = u"") {
  return InFolder(files, [&](const fs::path&) {
    std::u16string outcome;
    try {
      SourceList list = CollectSources(inputs, output);
      std::sort(list.warnings.begin(), list.warnings.end());
      for (const PackEntry& entry : list.entries) outcome += entry.name + u"\n";
      for (const std::u16string& warning : list.warnings) outcome += warning + u"\n";
      outcome += FromUtf8(std::to_string(list.totalSize));
    } catch (const Failure& failure) {
      outcome = failure.text();
    }
    return ToUtf8(outcome);
  });
}

TEST(CollectSources, NamesOrderAndRefusals) {
  const std::u16string refused =
      u"Имя файла нельзя записать в архив (в Windows оно недопустимо: "
      u"«:», имя устройства, точка или пробел в конце, знак направления "
      u"письма): ";
  const std::u16string unrepresentable =
      u"Имя файла нельзя записать в архив (в нём есть «\\» или знаки не в UTF-8): ";
  const std::u16string emptyFolder = u"Пустая папка не может быть записана в архив: ";
  const std::u16string emptyFile = u"Пустой файл не может быть записан в архив: ";
  const std::u16string special = u" это не обычный файл и не папка.\n";
  const std::vector<std::pair<std::string, std::u16string>> cases = {
      // Folders under their name, in name order level by level, then files as given.
      {Sources("d/b|d/a b|d/a/z|d/Я|1", {u"d", u"1"}), u"d\\a\\z\nd\\a b\nd\\b\nd\\Я\n1\n5"},
      {Sources("d/f", {u"d/."}), u"d\\f\n1"},
      {Sources("d/f", {u"d/.."}), u"d\\f\n1"},  // "." and "..": the content only
      {Sources("f|e/empty|h/", {u"f", u"e/empty", u"h"}),
       u"f\n" + emptyFolder + u"h.\n" + emptyFile + u"e/empty.\n1"},
      {Sources("", {u"нет"}), u"Не удалось прочитать файл нет."},
      {Sources("x/s", {u"x", u"x"}), u"Имя x\\s встречается в архиве дважды."},
      {Sources("b/a\u202Eb", {u"b/a\u202Eb"}), refused + u"b/a\uFFFDb."},
      // The archive being written, found in a folder being packed, does not pack itself.
      {Sources("p/a|p/self.ozr", {u"p"}, u"p/self.ozr"), u"p\\a\n1"},
#ifndef _WIN32  // names Windows itself cannot create
      {Sources("p/f|p/empty|p/h/", {u"p"}),
       u"p\\f\n" + emptyFolder + u"p/h.\n" + emptyFile + u"p/empty.\n1"},
      // "\" would read as a folder level, and a name not in UTF-8 has no UTF-16 form.
      {Sources("c/a\\b", {u"c"}), unrepresentable + u"c/a\\b."},
      {Sources("c/\xff", {u"c"}), unrepresentable + u"c/\xDCFF."},
      // Links to files are followed, to folders not (they may form cycles); others left out.
      {Sources("t|d/x|r/link->../t|r/dirlink->../d|r/dangling->gone|r/pipe", {u"r"}),
       u"r\\link\nПропущен r/dangling:" + special + u"Пропущен r/pipe:" + special +
           u"Пропущена ссылка на папку r/dirlink.\n1"},
#endif
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, ToUtf8(expected));
}

TEST(RunPack, SfxDropsTheStubsSignatureAndEndsAtAMultipleOf8) {
  std::vector<uint8_t> program = testing::PeImage();
  program.resize(0x405, 0x90);
  program[0xD8] = 0x5A;                                        // CheckSum
  const std::vector<uint8_t> stub = testing::Signed(program);  // its table at 0x408
  testing::FakeConsole console;
  const std::vector<uint8_t> written = InFolder("a", [&](const fs::path& folder) {
    testing::WriteFile(folder / "stub.exe", stub);
    Arguments arguments;
    arguments.command = Command::kPack;
    arguments.output = u"s.exe";
    arguments.inputs = {u"a"};
    arguments.sfx = arguments.quiet = true;
    arguments.stub = u"stub.exe";
    const std::atomic<bool> interrupted{false};
    EXPECT_EQ(RunPack(arguments, console, *NativeFileSystem(), u"", interrupted), 0);
    return testing::ReadFile(folder / "s.exe");
  });
  EXPECT_EQ(console.err,
            u"Подпись распаковщика stub.exe удалена: архив за ним сделал бы её "
            u"недействительной. Подпишите готовый файл.\n");
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

// `extract` into d/out (or `test`, or `list`) of an archive holding `entries` ("name=content",
// "|" between), in a folder holding `files`: the exit status, stdout, stderr and every path there.
std::string Extract(const std::string& files, const std::string& entries,
                    Command command = Command::kExtract) {
  return InFolder(files, [&](const fs::path& folder) {
    std::vector<PackEntry> archive;
    for (const std::string& entry : Split(entries)) {
      const size_t equals = entry.find('=');
      archive.push_back(
          {FromUtf8(entry.substr(0, equals)), testing::Bytes(entry.substr(equals + 1)), {}});
    }
    testing::WriteFile(folder / "a.ozr",
                       testing::WriteArchiveToMemory(archive, testing::PlainOptions()));
    Arguments arguments;
    arguments.command = command;
    arguments.archive = u"a.ozr";
    arguments.outputFolder = u"d/out";
    testing::FakeConsole console;
    const std::atomic<bool> interrupted{false};
    const auto system = NativeFileSystem();
    const int status = command == Command::kList
                           ? RunList(arguments, console, *system)
                           : RunExtract(arguments, console, *system, interrupted);
    std::string paths;
    for (const std::string& path : testing::ListTree(folder)) paths += path + " ";
    return std::to_string(status) + "|" + ToUtf8(console.out + u"|" + console.err) + paths;
  });
}

TEST(RunExtract, HostileNamesAndLinksOutOfTheFolder) {
  const std::string refused = "Недопустимое имя файла в архиве: ";
  const std::string skipped = ".\nПрервать распаковку? нет\n";
  const std::string done = "1|Выбранные файлы успешно распакованы.\n|";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Extract("", "ok=fine|..\\a\u202E=bad"),
       done + refused + "..\\a\uFFFD" + skipped + "a.ozr d/ d/out/ d/out/ok "},
      {Extract("", "ok=fine|..\\a\u202E=bad", Command::kTest),
       "1||" + refused + "..\\a\uFFFD.\na.ozr "},
      {Extract("", "a\nb=x|..\\a\u202E=y", Command::kList),
       "0|Тест\nВ архиве файлов: 2, размер в архиве: 40 байт, исходный: 2 байт\n"
       "Степень сжатия: 6\na\uFFFDb; размер в архиве: 20 байт, исходный: 1 байт\n"
       "..\\a\uFFFD; размер в архиве: 20 байт, исходный: 1 байт\n|a.ozr "},
#ifndef _WIN32
      // Whether an entry goes through the link to a file or to a folder to be made; a link that
      // stays inside is followed.
      {Extract("d/out/real/|outside/|d/out/x->../../outside|d/out/in->real",
               "x\\f=evil|x\\s\\g=evil|in\\z=good"),
       done + refused + "x\\f" + skipped + refused + "x\\s\\g" + skipped +
           "a.ozr d/ d/out/ d/out/real/ d/out/real/ d/out/real/z outside/ outside/ "},
#endif
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace ozr::cli
