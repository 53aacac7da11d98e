// Archives written by one crypto backend must open and decode with the other. With OZR_CROSS_DIR
// set, each build writes its archives into a folder named after itself and checks those of the
// other build, when present (scripts/test runs the builds in turn).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/test_archives.h"

namespace ozr {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr const char* kSelf = "win32";
constexpr const char* kOther = "posix";
#else
constexpr const char* kSelf = "posix";
constexpr const char* kOther = "win32";
#endif

struct Sample {
  const char* file;
  testing::CraftedOptions options;
};

std::vector<Sample> Samples() {
  testing::CraftedOptions multi = testing::EncryptedOptions(u"Пароль16символов");
  multi.frameContent = 10000;
  testing::CraftedOptions before = testing::EncryptedOptions(u"secret");
  before.headerFirst = true;
  before.comment = u"Комментарий";
  return {{"encrypted-multi.ozr", multi},
          {"encrypted-header-first.ozr", before},
          {"plain.ozr", testing::PlainOptions()}};
}

std::vector<PackEntry> Entries() {
  return {{u"a.txt", testing::MixedContent(70000, 1), {}},
          {u"папка\\b.bin", testing::NoiseContent(300000, 2), {}},
          {u"c", testing::MixedContent(5, 3), {}}};
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(CrossPlatform, ArchivesOfTheOtherBackendDecode) {
  const char* dir = std::getenv("OZR_CROSS_DIR");
  if (dir == nullptr) GTEST_SKIP() << "OZR_CROSS_DIR not set";
  const fs::path self = fs::path(dir) / kSelf;
  const fs::path other = fs::path(dir) / kOther;
  fs::create_directories(self);
  for (const Sample& s : Samples()) {
    const auto bytes = testing::WriteArchiveToMemory(Entries(), s.options);
    std::ofstream(self / s.file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  if (!fs::exists(other)) GTEST_SKIP() << "no archives from the other build yet";
  for (const Sample& s : Samples()) {
    // Same libdeflate, same key, same chaining: the two builds write the very same bytes.
    EXPECT_EQ(ReadAll(other / s.file), ReadAll(self / s.file)) << s.file;
    ArchiveSession session;
    testing::OpenFromMemory(ReadAll(other / s.file), session);
    const auto entries = Entries();
    ASSERT_EQ(session.catalog.size(), entries.size()) << s.file;
    for (uint32_t i = 0; i < entries.size(); ++i) {
      uint32_t sum = 0;
      EXPECT_EQ(testing::DecodeEntry(session, i, s.options.password, &sum), entries[i].bytes)
          << s.file << " entry " << i;
      EXPECT_EQ(sum, session.catalog.at(i).record.entrySum);
    }
  }
}

}  // namespace
}  // namespace ozr
