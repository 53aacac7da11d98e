// The four commands of `ozr`. Each writes its results and messages to the console and returns the
// exit status.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/console.h"
#include "platform/file_system.h"

namespace ozr::cli {

enum ExitStatus : int {
  kExitSuccess = 0,
  kExitFailure = 1,
  kExitUsage = 2,
  kExitInterrupted = 130,  // what shells report for a program ended by Ctrl+C
};

int RunList(const Arguments& arguments, Console& console, FileSystem& files);

// `extract`, and `test` (the same job writing nothing).
int RunExtract(const Arguments& arguments, Console& console, FileSystem& files,
               const std::atomic<bool>& interrupted);

// `stub` is the unpacker prefixed to a self-extracting archive when no --stub is given.
int RunPack(const Arguments& arguments, Console& console, FileSystem& files,
            const std::u16string& defaultStub, const std::atomic<bool>& interrupted);

// Parses the command line (the arguments after the program name, as UTF-8) and runs the command.
int RunOzr(const std::vector<std::string>& args, Console& console);

}  // namespace ozr::cli
