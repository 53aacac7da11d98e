// The writer's output and the regions it ends an archive with.
#include "pack/archive_output.h"

#include "base/failure.h"
#include "base/little_endian.h"

namespace ozr {

void ArchiveOutput::Write(const uint8_t* data, size_t count) {
  if (file_.Write(data, count) != count) {
    throw Failure(MessageCode::kWriteFailed, {}, file_.FailureReason());
  }
  position_ += count;
}

void ArchiveOutput::WriteText(const std::u16string& text) {
  std::vector<uint8_t> bytes(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) StoreU16(bytes.data() + 2 * i, text[i]);
  Write(bytes.data(), bytes.size());
}

void WriteHeaderBlock(ArchiveOutput& out, const ArchiveHeader& header,
                      const std::u16string& comment, const std::u16string& title) {
  const auto bytes = SerializeHeader(header);
  out.Write(bytes.data(), bytes.size());
  out.WriteText(comment);
  out.WriteText(title);
}

void WriteDirectory(ArchiveOutput& out, const std::vector<EntryRecord>& records,
                    const std::vector<PackEntry>& entries) {
  std::vector<uint8_t> directory;
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto bytes = SerializeEntryRecord(records[i]);
    directory.insert(directory.end(), bytes.begin(), bytes.end());
    for (const char16_t unit : entries[i].name) {
      directory.push_back(static_cast<uint8_t>(unit));
      directory.push_back(static_cast<uint8_t>(unit >> 8));
    }
  }
  out.Write(directory.data(), directory.size());
}

void WriteEndFiller(ArchiveOutput& out, uint32_t alignment) {
  if (alignment <= 1) return;
  const auto over = static_cast<uint32_t>((out.position() + kTrailerSize) % alignment);
  if (over == 0) return;
  const std::vector<uint8_t> filler(alignment - over, 0);
  out.Write(filler.data(), filler.size());
}

void WriteTrailer(ArchiveOutput& out, uint64_t headerAt, uint64_t directoryAt) {
  const uint64_t end = out.position() + kTrailerSize;
  if (end - headerAt > UINT32_MAX || end - directoryAt > UINT32_MAX) {
    throw Failure(MessageCode::kPackDirectoryTooLarge);
  }
  ArchiveTrailer trailer;
  trailer.headerDistance = static_cast<uint32_t>(end - headerAt);
  trailer.directoryDistance = static_cast<uint32_t>(end - directoryAt);
  const auto bytes = SerializeTrailer(trailer);
  out.Write(bytes.data(), bytes.size());
}

}  // namespace ozr
