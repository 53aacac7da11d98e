// The command line as UTF-8 strings: from the UTF-16 command line on Windows (so that no name
// passes through a code page), as given elsewhere. Shared by the programs' entry points.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "base/utf.h"

namespace ozr::cli {

#ifdef _WIN32
inline std::vector<std::string> ProgramArguments(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(ToUtf8(std::u16string(argv[i], argv[i] + std::wcslen(argv[i]))));
  }
  return args;
}
#else
inline std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}
#endif

}  // namespace ozr::cli
