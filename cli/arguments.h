// The command line of `ozr`: which command, on what, with which options, checked before anything
// is opened, so that a mistyped command line never touches a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ozr::cli {

enum class Command { kList, kTest, kExtract, kPack };

// What to answer "Файл … уже существует. Перезаписать?".
enum class OverwriteMode { kAsk, kYes, kNo };

struct Arguments {
  Command command = Command::kList;
  bool quiet = false;

  // list, test, extract
  std::u16string archive;
  std::optional<std::u16string> password;
  std::vector<int32_t> indices;  // ascending, without repeats; empty: every entry
  bool numbers = false;          // list: each entry line starts with its index

  // extract
  std::optional<std::u16string> outputFolder;
  std::optional<OverwriteMode> overwrite;  // unset: ask on a terminal, keep files otherwise

  // pack
  std::u16string output;
  std::vector<std::u16string> inputs;
  uint16_t level = 6;
  std::optional<std::u16string> title;
  std::u16string comment;  // line breaks already in the "\r\n" form the comment box shows
  bool sfx = false;
  std::optional<std::u16string> stub;
};

struct ParsedCommandLine {
  enum class Kind { kRun, kHelp, kUsageError };
  Kind kind = Kind::kRun;
  Arguments arguments;  // for kRun
  // kHelp: the help text (for stdout). kUsageError: the message and where to read more (stderr).
  std::u16string text;
};

// Parses the arguments that follow the program name, given as UTF-8.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace ozr::cli
