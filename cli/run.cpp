// From the command line to a command: usage errors and help before anything is opened.
#include "cli/arguments.h"
#include "cli/commands.h"

namespace ozr::cli {

int RunOzr(const std::vector<std::string>& args, Console& console) {
  const ParsedCommandLine parsed = ParseCommandLine(args);
  if (parsed.kind == ParsedCommandLine::Kind::kHelp) {
    console.Write(Stream::kOutput, parsed.text);
    return kExitSuccess;
  }
  if (parsed.kind == ParsedCommandLine::Kind::kUsageError) {
    console.Write(Stream::kError, parsed.text);
    return kExitUsage;
  }
  const Arguments& arguments = parsed.arguments;
  const std::unique_ptr<FileSystem> files = NativeFileSystem();
  switch (arguments.command) {
    case Command::kList:
      return RunList(arguments, console, *files);
    case Command::kTest:
    case Command::kExtract:
      return RunExtract(arguments, console, *files, CatchInterrupt());
    case Command::kPack:
      return RunPack(arguments, console, *files, ExecutableFolder() + u"unpacker.exe",
                     CatchInterrupt());
  }
  return kExitFailure;
}

}  // namespace ozr::cli
