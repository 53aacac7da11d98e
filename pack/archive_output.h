// Where the writer puts an archive: a file and the position reached in it, and the regions behind
// the data area that a reader counts back from the end (directory, header block, trailer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/records.h"
#include "pack/archive_writer.h"
#include "platform/file_system.h"

namespace ozr {

// Writes at the file's position, which is `position` bytes into the file when made. A short write
// throws the write failure with the system's reason.
class ArchiveOutput {
 public:
  ArchiveOutput(WritableFile& file, uint64_t position) : file_(file), position_(position) {}

  void Write(const uint8_t* data, size_t count);
  // UTF-16LE units, no terminator.
  void WriteText(const std::u16string& text);
  uint64_t position() const { return position_; }

 private:
  WritableFile& file_;
  uint64_t position_;
};

// The header, then the comment and the title.
void WriteHeaderBlock(ArchiveOutput& out, const ArchiveHeader& header,
                      const std::u16string& comment, const std::u16string& title);

// Each entry's record followed by its name, in one write.
void WriteDirectory(ArchiveOutput& out, const std::vector<EntryRecord>& records,
                    const std::vector<PackEntry>& entries);

// Zero bytes that make the trailer written next end at a multiple of `alignment` (nothing when it
// is 0 or 1). Signers pad a file to a multiple of 8 in front of its certificate table; an archive
// that already ends there is signed without padding behind its trailer.
void WriteEndFiller(ArchiveOutput& out, uint32_t alignment);

// The trailer of an archive whose header block and directory start at `headerAt` and
// `directoryAt`; it ends the archive. Throws "Каталог архива не помещается…" when a distance does
// not fit its 32 bits.
void WriteTrailer(ArchiveOutput& out, uint64_t headerAt, uint64_t directoryAt);

}  // namespace ozr
