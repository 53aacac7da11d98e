// Program entry of `ozr`: the arguments as UTF-8 (from the UTF-16 command line on Windows, so
// that no name passes through a code page), then the command.
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/utf.h"
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/program_arguments.h"

namespace {

int Run(const std::vector<std::string>& args) {
  const std::unique_ptr<ozr::cli::Console> console = ozr::cli::NativeConsole();
  try {
    return ozr::cli::RunOzr(args, *console);
  } catch (const std::bad_alloc&) {
    console->Write(ozr::cli::Stream::kError, std::u16string(ozr::cli::text::kOutOfMemory) + u"\n");
    return ozr::cli::kExitFailure;
  }
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return Run(ozr::cli::ProgramArguments(argc, argv)); }
#else
int main(int argc, char** argv) { return Run(ozr::cli::ProgramArguments(argc, argv)); }
#endif
