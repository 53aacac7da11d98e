// Which files `ozr pack` takes from a real folder tree, under which names, in which order, and
// what it leaves out or refuses.
#include "cli/pack_sources.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>

#include "base/failure.h"
#include "base/utf.h"
#include "cli/native_path.h"
#include "support/temp_folder.h"

namespace ozr::cli {
namespace {

namespace fs = std::filesystem;

// In a fresh current folder holding `files`: the entry names CollectSources gives, its sorted
// warnings and the total size, one a line; or the text of its failure. A file holds one byte,
// none when its name says "empty"; a name ending in "/" is a folder, "pipe" a FIFO, and "a->b" a
// link a to b.
std::u16string Outcome(const std::vector<std::string>& files,
                       const std::vector<std::u16string>& inputs,
                       const std::u16string& output = u"") {
  const testing::TempFolder t;
  const fs::path before = fs::current_path();
  fs::current_path(t.path());
  for (const std::string& name : files) {
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
      const bool empty = name.find("empty") != std::string::npos;
      testing::WriteFile(file, std::vector<uint8_t>(empty ? 0 : 1, 'x'));
    }
  }
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
  fs::current_path(before);
  return outcome;
}

TEST(CollectSources, NamesOrderAndRefusals) {
  struct Case {
    std::vector<std::string> files;  // UTF-8, or bytes as they are on POSIX
    std::vector<std::u16string> inputs;
    std::u16string outcome;
  };
  const std::u16string refused =
      u"Имя файла нельзя записать в архив (в Windows оно недопустимо: «:», имя устройства, точка "
      u"или пробел в конце, знак направления письма): ";
  const std::vector<Case> cases = {
      // Folders under their name, in name order level by level, then files as given.
      {{"d/b.txt", "d/a b.txt", "d/a/z.txt", "d/Я.txt", "one"},
       {u"d", u"one"},
       u"d\\a\\z.txt\nd\\a b.txt\nd\\b.txt\nd\\Я.txt\none\n5"},
      {{"d/f"}, {u"d/"}, u"d\\f\n1"},
      {{"d/f"}, {u"d/."}, u"d\\f\n1"},
      {{"f"}, {u"."}, u"f\n1"},
      {{"d/f"}, {u"d/.."}, u"d\\f\n1"},
      {{"f", "e/empty", "h/"},
       {u"f", u"e/empty", u"h"},
       u"f\nПустая папка не может быть записана в архив: h.\n"
       u"Пустой файл не может быть записан в архив: e/empty.\n1"},
      {{}, {u"нет"}, u"Не удалось прочитать файл нет."},
      {{"x/same.txt", "y/same.txt"},
       {u"x/same.txt", u"y/same.txt"},
       u"Имя same.txt встречается в архиве дважды."},
      {{"x/s"}, {u"x", u"x"}, u"Имя x\\s встречается в архиве дважды."},
      {{"b/invoice\u202Efdp.exe"},
       {u"b/invoice\u202Efdp.exe"},
       refused + u"b/invoice\uFFFDfdp.exe."},
#ifndef _WIN32  // names Windows itself cannot create
      {{"p/f", "p/empty", "p/h/"},
       {u"p"},
       u"p\\f\nПустая папка не может быть записана в архив: p/h.\n"
       u"Пустой файл не может быть записан в архив: p/empty.\n1"},
      {{"c/12:30.log"}, {u"c"}, refused + u"c/12:30.log."},
      {{"c/con.txt"}, {u"c"}, refused + u"c/con.txt."},
      {{"c/report."}, {u"c"}, refused + u"c/report.."},
      {{"c/docs /a"}, {u"c"}, refused + u"c/docs /a."},
      // "\" would read as a folder level, and a name not in UTF-8 has no UTF-16 form.
      {{"c/a\\b"},
       {u"c"},
       u"Имя файла нельзя записать в архив (в нём есть «\\» или знаки не в UTF-8): c/a\\b."},
      // Links to files are followed, to folders not (they may form cycles); others left out.
      {{"t", "d/x", "r/link->../t", "r/dirlink->../d", "r/dangling->gone", "r/pipe"},
       {u"r"},
       u"r\\link\nПропущен r/dangling: это не обычный файл и не папка.\nПропущен r/pipe: это не "
       u"обычный файл и не папка.\nПропущена ссылка на папку r/dirlink.\n1"},
      {{"c/\xff.txt"},
       {u"c"},
       u"Имя файла нельзя записать в архив (в нём есть «\\» или знаки не в UTF-8): c/\xDCFF.txt."},
#endif
  };
  for (const Case& c : cases) EXPECT_EQ(ToUtf8(Outcome(c.files, c.inputs)), ToUtf8(c.outcome));
  // The archive being written, found in a folder being packed, does not pack itself.
  EXPECT_EQ(Outcome({"p/a", "p/self.ozr"}, {u"p"}, u"p/self.ozr"), u"p\\a\n1");
}

}  // namespace
}  // namespace ozr::cli
