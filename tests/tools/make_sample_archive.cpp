// Packs a folder into an encrypted archive behind a copy of the unpacker: the sample
// self-extracting archive that scripts/demo opens.
// Usage: make_sample_archive UNPACKER.exe FOLDER PASSWORD TITLE COMMENT OUTPUT.exe
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "archive/failure.h"
#include "pack/archive_writer.h"
#include "ui/utf.h"

namespace fs = std::filesystem;

namespace {

std::optional<std::vector<uint8_t>> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Every file under `folder`, named as archives name entries ("\"-separated), sorted by name.
std::vector<ozr::PackEntry> FolderEntries(const fs::path& folder) {
  std::vector<ozr::PackEntry> entries;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    if (!item.is_regular_file()) continue;
    std::u16string name = ozr::FromUtf8(item.path().lexically_relative(folder).generic_string());
    std::replace(name.begin(), name.end(), u'/', u'\\');
    entries.push_back({name, ReadFile(item.path()).value_or(std::vector<uint8_t>{}), {}});
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  return entries;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: %s UNPACKER.exe FOLDER PASSWORD TITLE COMMENT OUTPUT\n", argv[0]);
    return 2;
  }
  const std::optional<std::vector<uint8_t>> program = ReadFile(argv[1]);
  if (!program) {
    std::fprintf(stderr, "make_sample_archive: cannot read %s\n", argv[1]);
    return 1;
  }
  ozr::PackOptions options;
  options.notEncrypted = 0;
  options.password = ozr::FromUtf8(argv[3]);
  options.title = ozr::FromUtf8(argv[4]);
  options.comment = ozr::FromUtf8(argv[5]);
  options.compressionLevel = 9;
  std::vector<uint8_t> bytes;
  try {
    bytes = ozr::WriteArchiveToMemory(FolderEntries(argv[2]), options, *program);
  } catch (const ozr::Failure& failure) {
    std::fprintf(stderr, "make_sample_archive: %s\n", ozr::ToUtf8(failure.text()).c_str());
    return 1;
  }
  std::ofstream out(argv[6], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "make_sample_archive: cannot write %s\n", argv[6]);
    return 1;
  }
  return 0;
}
