// Helpers for tests: archives made by the writer, opened from memory, and decoded whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/session.h"
#include "pack/archive_writer.h"
#include "platform/file_system.h"

namespace ozr::testing {

std::vector<uint8_t> Bytes(std::string_view text);
// Deterministic content that compresses somewhat, like real files.
std::vector<uint8_t> MixedContent(size_t size, uint32_t seed);
// Content zlib cannot shrink.
std::vector<uint8_t> NoiseContent(size_t size, uint32_t seed);

// An unsigned PE32 image of 0x400 bytes: PE headers at 0x80, the optional header at 0x98, its
// security entry at 0x118, SizeOfHeaders 0x200, one section.
std::vector<uint8_t> PeImage();
// `file`, which starts with PeImage(), as a signer leaves it: zero bytes up to a multiple of 8 and
// a 16-byte certificate table behind them, which the security entry names.
std::vector<uint8_t> Signed(std::vector<uint8_t> file);

PackOptions PlainOptions(std::u16string title = u"Тест");
PackOptions EncryptedOptions(std::u16string password, std::u16string title = u"Тест");

// A file system that knows one file, "archive.ozr", holding the given bytes.
class OneFileSystem : public FileSystem {
 public:
  explicit OneFileSystem(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::unique_ptr<ReadableFile> OpenForReading(const std::u16string& path) override;
  std::unique_ptr<WritableFile> CreateForWriting(const std::u16string&) override { return nullptr; }
  std::unique_ptr<WritableFile> CreateTemporaryBeside(const std::u16string&,
                                                      std::u16string&) override {
    return nullptr;
  }
  PathKind QueryPath(const std::u16string&) override { return PathKind::kMissing; }
  bool MakeDirectory(const std::u16string&) override { return false; }
  bool RemoveFile(const std::u16string&) override { return false; }
  bool MoveReplacing(const std::u16string&, const std::u16string&) override { return false; }
  std::u16string JoinEntryPath(const std::u16string& folder,
                               const std::u16string& name) const override {
    return folder + name;
  }
  NameRules Rules() const override { return NameRules::kWindows; }

 private:
  std::vector<uint8_t> bytes_;
};

// Opens archive bytes into `session`; throws what OpenArchive throws.
void OpenFromMemory(const std::vector<uint8_t>& archive, ArchiveSession& session);

// Decodes every frame of catalog entry `index`, returning its content; throws Failure.
// `outputSum` receives the chained checksum of the content.
std::vector<uint8_t> DecodeEntry(ArchiveSession& session, uint32_t index,
                                 const std::u16string& password, uint32_t* outputSum = nullptr);

}  // namespace ozr::testing
