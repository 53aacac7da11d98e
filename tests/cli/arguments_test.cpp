// The command line: what each form means, and the exact message of each mistake.
#include "cli/arguments.h"

#include <gtest/gtest.h>

#include "base/utf.h"

namespace ozr::cli {
namespace {

// A run as "command flags indices overwrite level archive|folder|password|output|inputs|title|
// comment|stub" ("-" for an unset option); help and mistakes as their text.
std::u16string Describe(const ParsedCommandLine& parsed) {
  if (parsed.kind != ParsedCommandLine::Kind::kRun) return parsed.text;
  const Arguments& a = parsed.arguments;
  std::string head = std::to_string(static_cast<int>(a.command)) + (a.quiet ? "q" : "") +
                     (a.numbers ? "n" : "") + (a.sfx ? "s" : "") + " ";
  for (const int32_t index : a.indices) head += std::to_string(index) + ",";
  head += " " + (a.overwrite ? std::to_string(static_cast<int>(*a.overwrite)) : "-");
  head += " " + std::to_string(a.level) + " ";
  const auto shown = [](const std::optional<std::u16string>& v) { return v.value_or(u"-"); };
  std::u16string inputs;
  for (const std::u16string& input : a.inputs) inputs += input + u",";
  return FromUtf8(head) + a.archive + u"|" + shown(a.outputFolder) + u"|" + shown(a.password) +
         u"|" + a.output + u"|" + inputs + u"|" + shown(a.title) + u"|" + a.comment + u"|" +
         shown(a.stub);
}

TEST(ParseCommandLine, MeaningOrMistake) {
  const std::u16string usage = u"\nПодробнее: ozr --help\n";
  const std::u16string list = u"\nПодробнее: ozr list --help\n";
  const std::u16string extract = u"\nПодробнее: ozr extract --help\n";
  const std::u16string pack = u"\nПодробнее: ozr pack --help\n";
  const std::u16string tooLong = u"Пароль длиннее 16 знаков.";
  const std::u16string badIndex = u"Номер файла должен быть целым числом от 0: ";
  const std::string emoji8 = "😀😀😀😀😀😀😀😀";  // 16 UTF-16 units
  const std::vector<std::pair<std::vector<std::string>, std::u16string>> cases = {
      {{}, u"Не указана команда." + usage},
      {{"frobnicate"}, u"Неизвестная команда: frobnicate." + usage},
      {{"--verbose"}, u"Неизвестный аргумент: --verbose." + usage},
      {{"list"}, u"Не указан архив." + list},
      {{"list", "a.ozr", "b.ozr"}, u"Неизвестный аргумент: b.ozr." + list},
      {{"list", "a.ozr", "-p", "x"}, u"Неизвестный аргумент: -p." + list},
      {{"extract", "a.ozr", "-o"}, u"Не указано значение параметра --output." + extract},
      {{"extract", "a.ozr", "x1"}, badIndex + u"x1." + extract},
      {{"extract", "a.ozr", "2147483648"}, badIndex + u"2147483648." + extract},
      {{"extract", "a.ozr", "4294967296"}, badIndex + u"4294967296." + extract},
      {{"extract", "a.ozr", "list"}, badIndex + u"list." + extract},
      {{"test", "a.ozr", "--", "-1"}, badIndex + u"-1.\nПодробнее: ozr test --help\n"},
      {{"extract", "a.ozr", "--overwrite", "always"},
       u"Параметр --overwrite принимает значения ask, yes или no: always." + extract},
      {{"extract", "a.ozr", "-p", emoji8 + "😀"}, tooLong + extract},
      {{"pack"}, u"Не указан файл архива, который нужно создать." + pack},
      {{"pack", "x.ozr"}, u"Не указаны файлы или папки для записи в архив." + pack},
      {{"pack", "x", "d", "-l", "10"}, u"Степень сжатия должна быть от 0 до 9." + pack},
      {{"pack", "x", "d", "-l", "5x"}, u"Степень сжатия должна быть от 0 до 9." + pack},
      {{"pack", "x", "d", "--title", ""},
       u"Заголовок архива должен занимать от 1 до 64 знаков." + pack},
      {{"pack", "x", "d", "--title", std::string(65, 't')},
       u"Заголовок архива должен занимать от 1 до 64 знаков." + pack},
      {{"pack", "x", "d", "--comment", std::string(200, 'c') + std::string(28, '\n')},
       u"Комментарий архива длиннее 255 знаков." + pack},
      {{"pack", "x", "d", "-p", ""}, u"Введите пароль." + pack},
      {{"pack", "x", "d", "-p", std::string(17, 'x')}, tooLong + pack},
      {{"pack", "x", "d", "--stub", "u.exe"},
       u"Параметр --stub действует только вместе с --sfx." + pack},
      // Help wins over everything else; each command has its own.
      {{"pack", "--help", "-l", "77"}, u"Использование: ozr pack ВЫХОД"},
      {{"-h"}, u"ozr — просмотр, проверка, распаковка и создание архивов .ozr\n"},
      {{"list", "-h"}, u"Использование: ozr list АРХИВ [-n]\n"},
      {{"extract", "a.ozr", "9", "--help"}, u"Использование: ozr extract АРХИВ"},
      {{"test", "--help"}, u"Использование: ozr test АРХИВ"},
      // Options anywhere; indices sorted, without repeats; a lone "\n" of a comment made "\r\n".
      {{"extract", "-o", "папка", "a.ozr", "3", "2147483647", "3", "--overwrite", "yes", "-q", "-p",
        "пароль", "0"},
       u"2q 0,3,2147483647, 1 6 a.ozr|папка|пароль|||-||-"},
      {{"extract", "a.ozr"}, u"2  - 6 a.ozr|-|-|||-||-"},
      {{"test", "a.ozr", "-p", ""}, u"1  - 6 a.ozr|-||||-||-"},
      {{"list", "a.ozr", "-n"}, u"0n  - 6 a.ozr|-|-|||-||-"},
      {{"pack", "o.exe", "test", "list", "-l", "0", "--title", std::string(64, 't'), "--comment",
        "a\nb\r\nc", "--sfx", "--stub", "u.exe", "-p", emoji8},
       u"3s  - 0 |-|" + FromUtf8(emoji8) + u"|o.exe|test,list,|" + std::u16string(64, u't') +
           u"|a\r\nb\r\nc|u.exe"},
      {{"pack", "o.ozr", "d", "-l", "9"}, u"3  - 9 |-|-|o.ozr|d,|-||-"},
  };
  for (const auto& [args, expected] : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(args);
    const std::u16string described = Describe(parsed);
    // A help text is long: its first words tell which one it is.
    const bool help = parsed.kind == ParsedCommandLine::Kind::kHelp;
    EXPECT_EQ(help ? described.substr(0, expected.size()) : described, expected);
  }
}

}  // namespace
}  // namespace ozr::cli
