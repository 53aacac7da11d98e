// Helpers for tests: archives made by the writer (and unusual ones it never makes), opened from
// memory, and decoded whole.
#pragma once

#include <cstdint>
#include <functional>
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

// The writer's options, and shapes of archives that other writers make or could make, which a
// reader must take all the same.
struct CraftedOptions : PackOptions {
  // Implicit: the writer's own options are crafted options of no particular shape.
  CraftedOptions(PackOptions options = {}) : PackOptions(std::move(options)) {}

  uint32_t frameContent = 0;  // content bytes per frame, which must fit; 0: as the writer chooses
};

CraftedOptions PlainOptions(std::u16string title = u"Тест");
CraftedOptions EncryptedOptions(std::u16string password, std::u16string title = u"Тест");

// The archive as bytes behind `prefix`; entries must be given in memory. With none of the crafted
// shapes asked for, these are the writer's very bytes.
std::vector<uint8_t> WriteArchiveToMemory(const std::vector<PackEntry>& entries,
                                          const CraftedOptions& options,
                                          const std::vector<uint8_t>& prefix = {});

// A file system that knows one file, "archive.ozr", holding the given bytes.
class OneFileSystem : public FileSystem {
 public:
  explicit OneFileSystem(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::unique_ptr<ReadableFile> OpenForReading(const std::u16string& path) override;
  Made CreateTemporaryBeside(const std::u16string&, const std::u16string&, bool,
                             std::unique_ptr<TemporaryFile>&) override {
    return Made::kFailed;
  }
  PathKind QueryPath(const std::u16string&) override { return PathKind::kMissing; }
  Made MakeDirectory(const std::u16string&, const std::u16string&) override {
    return Made::kFailed;
  }
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

// Rewrites a record of archive bytes through its parsed fields: the header, or the EntryRecord of
// entry `index`; each is found as a reader finds it, from the end of the file.
void EditHeader(std::vector<uint8_t>& archive, const std::function<void(ArchiveHeader&)>& edit);
void EditRecord(std::vector<uint8_t>& archive, uint32_t index,
                const std::function<void(EntryRecord&)>& edit);

// Decodes every frame of catalog entry `index`, returning its content; throws Failure.
// `outputSum` receives the chained checksum of the content.
std::vector<uint8_t> DecodeEntry(ArchiveSession& session, uint32_t index,
                                 const std::u16string& password, uint32_t* outputSum = nullptr);

}  // namespace ozr::testing
