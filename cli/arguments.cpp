// CLI11 splits the command line into commands, options and positionals; the checks and every
// message are ours, so that errors read in Russian and name the argument as the user typed it.
#include "cli/arguments.h"

#include <CLI/CLI.hpp>

#include <algorithm>

#include "archive/records.h"
#include "base/fill_in.h"
#include "base/texts.h"
#include "base/utf.h"
#include "cli/cli_texts.h"

namespace ozr::cli {

namespace {

struct UsageError {
  std::u16string message;
};

// What CLI11 collected for one command, before our checks.
struct RawCommandLine {
  bool help = false;
  bool quiet = false;
  bool numbers = false;
  bool sfx = false;
  std::string archive;
  std::vector<std::string> positionals;  // indices (test, extract) or output and inputs (pack)
  std::string outputFolder;
  std::string password;
  std::string overwrite;
  std::string level;
  std::string title;
  std::string comment;
  std::string stub;
};

struct Commands {
  CLI::App* list;
  CLI::App* test;
  CLI::App* extract;
  CLI::App* pack;
};

CLI::App* AddCommand(CLI::App& app, const char* name, RawCommandLine& raw) {
  CLI::App* command = app.add_subcommand(name);
  command->set_help_flag();
  command->allow_extras();
  command->add_flag("-h,--help", raw.help);
  return command;
}

Commands Describe(CLI::App& app, RawCommandLine& raw) {
  app.set_help_flag();
  app.allow_extras();
  // At most one command: once it is chosen, a later "list" or "test" is a file name.
  app.require_subcommand(0, 1);
  app.add_flag("-h,--help", raw.help);
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

  Commands c{};
  c.list = AddCommand(app, "list", raw);
  c.list->add_option("archive", raw.archive);
  c.list->add_flag("-n,--numbers", raw.numbers);

  for (CLI::App* reading :
       {c.test = AddCommand(app, "test", raw), c.extract = AddCommand(app, "extract", raw)}) {
    reading->add_option("archive", raw.archive);
    reading->add_option("indices", raw.positionals);
    reading->add_option("-p,--password", raw.password);
    reading->add_flag("-q,--quiet", raw.quiet);
  }
  c.extract->add_option("-o,--output", raw.outputFolder);
  c.extract->add_option("--overwrite", raw.overwrite);

  c.pack = AddCommand(app, "pack", raw);
  c.pack->add_option("paths", raw.positionals);
  c.pack->add_option("-p,--password", raw.password);
  c.pack->add_option("-l,--level", raw.level);
  c.pack->add_option("--title", raw.title);
  c.pack->add_option("--comment", raw.comment);
  c.pack->add_flag("--sfx", raw.sfx);
  c.pack->add_option("--stub", raw.stub);
  c.pack->add_flag("-q,--quiet", raw.quiet);
  return c;
}

bool Given(const CLI::App* command, const char* option) {
  return command->get_option(option)->count() != 0;
}

// A decimal number not above `maximum`, or nothing.
std::optional<uint32_t> ParseNumber(const std::string& text, uint32_t maximum) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > maximum) return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::vector<int32_t> ParseIndices(const std::vector<std::string>& texts) {
  std::vector<int32_t> indices;
  for (const std::string& text : texts) {
    const std::optional<uint32_t> value = ParseNumber(text, INT32_MAX);
    if (!value) {
      throw UsageError{FillIn(text::kBadIndex, FromUtf8(text))};
    }
    indices.push_back(static_cast<int32_t>(*value));
  }
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  return indices;
}

// The comment box shows a line break only as "\r\n"; a lone "\n" typed in a shell becomes one.
std::u16string CommentText(const std::string& typed) {
  std::u16string comment;
  for (const char16_t unit : FromUtf8(typed)) {
    if (unit == u'\n' && (comment.empty() || comment.back() != u'\r')) comment += u'\r';
    comment += unit;
  }
  return comment;
}

void CheckPassword(const std::u16string& password) {
  if (password.size() > kMaxPasswordLength) throw UsageError{ozr::text::kPackPasswordTooLong};
}

void FillReading(const RawCommandLine& raw, const CLI::App* command, Arguments& arguments) {
  if (raw.archive.empty()) throw UsageError{text::kNoArchive};
  arguments.archive = FromUtf8(raw.archive);
  arguments.quiet = raw.quiet;
  arguments.numbers = raw.numbers;
  if (command->get_name() == "list") return;
  arguments.indices = ParseIndices(raw.positionals);
  if (Given(command, "-p")) {
    arguments.password = FromUtf8(raw.password);
    CheckPassword(*arguments.password);
  }
  if (command->get_name() == "test") return;
  if (Given(command, "-o")) arguments.outputFolder = FromUtf8(raw.outputFolder);
  if (Given(command, "--overwrite")) {
    if (raw.overwrite == "ask") {
      arguments.overwrite = OverwriteMode::kAsk;
    } else if (raw.overwrite == "yes") {
      arguments.overwrite = OverwriteMode::kYes;
    } else if (raw.overwrite == "no") {
      arguments.overwrite = OverwriteMode::kNo;
    } else {
      throw UsageError{FillIn(text::kBadOverwrite, FromUtf8(raw.overwrite))};
    }
  }
}

void FillPack(const RawCommandLine& raw, const CLI::App* command, Arguments& arguments) {
  if (raw.positionals.empty() || raw.positionals.front().empty()) throw UsageError{text::kNoOutput};
  arguments.output = FromUtf8(raw.positionals.front());
  for (size_t i = 1; i < raw.positionals.size(); ++i) {
    arguments.inputs.push_back(FromUtf8(raw.positionals[i]));
  }
  if (arguments.inputs.empty()) throw UsageError{text::kNoInputs};
  arguments.quiet = raw.quiet;
  if (Given(command, "-p")) {
    arguments.password = FromUtf8(raw.password);
    if (arguments.password->empty()) throw UsageError{ozr::text::kEnterPassword};
    CheckPassword(*arguments.password);
  }
  if (Given(command, "-l")) {
    const std::optional<uint32_t> level = ParseNumber(raw.level, kMaxCompressionLevel);
    if (!level) throw UsageError{ozr::text::kPackLevelRange};
    arguments.level = static_cast<uint16_t>(*level);
  }
  if (Given(command, "--title")) {
    arguments.title = FromUtf8(raw.title);
    if (arguments.title->empty() || arguments.title->size() > kMaxTitleLength) {
      throw UsageError{ozr::text::kPackTitleLength};
    }
  }
  arguments.comment = CommentText(raw.comment);
  if (arguments.comment.size() > kMaxCommentLength)
    throw UsageError{ozr::text::kPackCommentTooLong};
  arguments.sfx = raw.sfx;
  if (Given(command, "--stub")) {
    if (!raw.sfx) throw UsageError{text::kStubNeedsSfx};
    arguments.stub = FromUtf8(raw.stub);
  }
}

std::u16string HelpOf(const std::string& command) {
  if (command == "list") return text::kListHelp;
  if (command == "test") return text::kTestHelp;
  if (command == "extract") return text::kExtractHelp;
  if (command == "pack") return text::kPackHelp;
  return text::kHelp;
}

ParsedCommandLine Usage(const std::u16string& message, const std::string& command) {
  const std::u16string more = command.empty() ? std::u16string(text::kSeeGeneralHelp)
                                              : FillIn(text::kSeeHelp, FromUtf8(command));
  return {ParsedCommandLine::Kind::kUsageError, {}, message + u"\n" + more + u"\n"};
}

// CLI11 names the option first in the messages of a missing value: "--output: 1 required …".
std::u16string DescribeParseError(const CLI::ParseError& error) {
  const std::string what = error.what();
  const size_t colon = what.find(':');
  if (error.get_name() == "ArgumentMismatch" && colon != std::string::npos && what[0] == '-') {
    return FillIn(text::kMissingValue, FromUtf8(what.substr(0, colon)));
  }
  return text::kBadCommandLine;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CLI::App app("", "ozr");
  RawCommandLine raw;
  const Commands commands = Describe(app, raw);
  const auto chosenCommand = [&commands]() -> const CLI::App* {
    for (const CLI::App* c : {commands.list, commands.test, commands.extract, commands.pack}) {
      if (c->parsed()) return c;
    }
    return nullptr;
  };
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    const CLI::App* chosen = chosenCommand();
    return Usage(DescribeParseError(error), chosen ? chosen->get_name() : "");
  }
  const CLI::App* chosen = chosenCommand();
  const std::string name = chosen ? chosen->get_name() : "";
  if (raw.help) return {ParsedCommandLine::Kind::kHelp, {}, HelpOf(name)};
  if (chosen == nullptr) {
    const std::vector<std::string> extra = app.remaining();
    if (extra.empty()) return Usage(text::kNoCommand, "");
    const char16_t* pattern =
        extra.front().rfind('-', 0) == 0 ? text::kUnknownArgument : text::kUnknownCommand;
    return Usage(FillIn(pattern, FromUtf8(extra.front())), "");
  }
  for (const std::string& extra : chosen->remaining()) {
    // This CLI11 files the "--" that ends the options among the extras; it is no mistake.
    if (extra != "--") return Usage(FillIn(text::kUnknownArgument, FromUtf8(extra)), name);
  }

  ParsedCommandLine parsed;
  Arguments& arguments = parsed.arguments;
  try {
    if (chosen == commands.pack) {
      arguments.command = Command::kPack;
      FillPack(raw, chosen, arguments);
    } else {
      arguments.command = chosen == commands.list   ? Command::kList
                          : chosen == commands.test ? Command::kTest
                                                    : Command::kExtract;
      FillReading(raw, chosen, arguments);
    }
  } catch (const UsageError& error) {
    return Usage(error.message, name);
  }
  return parsed;
}

}  // namespace ozr::cli
