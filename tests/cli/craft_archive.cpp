// Test helper: writes an archive whose entry names are given verbatim (the writer accepts any
// name, also those no file system would produce), for the command-line tests of hostile archives.
// Usage: craft_archive OUTPUT NAME=CONTENT...   (NAME uses "\" between levels)
#include <fstream>
#include <string>
#include <vector>

#include "base/utf.h"
#include "cli/program_arguments.h"
#include "pack/archive_writer.h"
#include "support/memory_files.h"

namespace {

int Craft(const std::vector<std::string>& args) {
  ozr::PackOptions options;
  options.title = u"crafted";
  std::vector<ozr::PackEntry> entries;
  for (size_t i = 1; i < args.size(); ++i) {
    const size_t equals = args[i].find('=');
    if (equals == std::string::npos) return 2;
    const std::string content = args[i].substr(equals + 1);
    entries.push_back({ozr::FromUtf8(args[i].substr(0, equals)),
                       std::vector<uint8_t>(content.begin(), content.end()),
                       {}});
  }
  std::vector<uint8_t> bytes;
  ozr::testing::MemoryWritableFile file(bytes);
  ozr::WriteArchive(entries, options, nullptr, file);
  std::ofstream out(args.at(0), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return out ? 0 : 1;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return Craft(ozr::cli::ProgramArguments(argc, argv)); }
#else
int main(int argc, char** argv) { return Craft(ozr::cli::ProgramArguments(argc, argv)); }
#endif
