// Validation of an archive's trailer, header block and directory, in the order the dialog's
// texts are filled, counting every region back from the end of the file.
#include "archive/open_archive.h"

#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "archive/signed_image.h"
#include "base/failure.h"
#include "base/little_endian.h"
#include "base/shown_text.h"
#include "base/size_text.h"
#include "base/texts.h"
#include "platform/file_prefix.h"
#include "platform/sequential_reader.h"

namespace ozr {

namespace {

[[noreturn]] void FailRead() { throw Failure(MessageCode::kArchiveReadFailed); }

void ReadExactly(ReadableFile& file, uint8_t* buffer, size_t count) {
  if (file.Read(buffer, count) != count) FailRead();
}

// Reads `length` UTF-16LE units; the text ends at its first NUL unit, as a C string would.
std::u16string ReadText(ReadableFile& file, uint32_t length) {
  std::vector<uint8_t> bytes(size_t{length} * 2);
  ReadExactly(file, bytes.data(), bytes.size());
  std::u16string text;
  text.reserve(length);
  for (uint32_t i = 0; i < length; ++i) {
    const char16_t unit = LoadU16(bytes.data() + 2 * size_t{i});
    if (unit == 0) break;
    text += unit;
  }
  return text;
}

// A 64-bit running sum that refuses to wrap: a crafted archive must not meet the totals by
// overflow.
void AddChecked(uint64_t& sum, uint64_t value) {
  if (sum + value < sum) FailRead();
  sum += value;
}

// The last 8 bytes: the distances of the header and the directory from the end of the file.
void ReadTrailer(ReadableFile& file, ArchiveSession& session) {
  const uint64_t size = session.fileSize;
  uint8_t bytes[kTrailerSize];
  file.Seek(size - kTrailerSize);  // wraps for a tiny file; the read then comes up short
  ReadExactly(file, bytes, kTrailerSize);
  session.trailer = ParseTrailer(bytes);
  if (session.trailer.headerDistance > size || session.trailer.directoryDistance > size) FailRead();
}

// The header, then the comment and the title behind it; the dialog gets its four texts.
void ReadHeaderBlock(ReadableFile& file, ArchiveSession& session, ArchiveView& view) {
  uint8_t bytes[kHeaderSize];
  file.Seek(session.fileSize - session.trailer.headerDistance);
  ReadExactly(file, bytes, kHeaderSize);
  session.header = ParseHeader(bytes);
  const ArchiveHeader& header = session.header;
  if (header.commentLength > kMaxCommentLength) FailRead();
  // Compares a count of units with a count of bytes, as archives have always been checked.
  if (header.commentLength > session.trailer.headerDistance) FailRead();
  if (header.compressionLevel > kMaxCompressionLevel) FailRead();
  if (header.titleLength > kMaxTitleLength || header.titleLength == 0) FailRead();
  if (header.totalPackedSize == 0 || header.totalUnpackedSize == 0) FailRead();

  view.ShowComment(ShownMultilineText(ReadText(file, header.commentLength)));
  view.ShowTitle(ShownText(ReadText(file, header.titleLength)));
  view.ShowSummary(
      FormatSummaryLine(header.entryCount, header.totalUnpackedSize, header.totalPackedSize));
  view.ShowLevel(FormatLevelLine(header.compressionLevel));
}

// Sizes summed over the directory, for the check against the header's totals.
struct DirectoryTotals {
  uint64_t packed = 0;
  uint64_t unpacked = 0;
};

// Every EntryRecord and name into the catalogue, one list line each.
DirectoryTotals ReadDirectory(ReadableFile& file, ArchiveSession& session, ArchiveView& view) {
  file.Seek(session.fileSize - session.trailer.directoryDistance);
  DirectoryTotals totals;
  for (uint32_t i = 0; i < session.header.entryCount; ++i) {
    uint8_t bytes[kEntryRecordSize];
    ReadExactly(file, bytes, kEntryRecordSize);
    const EntryRecord record = ParseEntryRecord(bytes);
    if (record.nameLength > kMaxNameLength) FailRead();
    if (record.packedSize == 0 || record.unpackedSize == 0) FailRead();
    CatalogEntry entry{ReadText(file, record.nameLength), record, totals.packed};
    const std::u16string line =
        FormatEntryLine(ShownText(entry.name), record.unpackedSize, record.packedSize);
    // Summed before the entry is stored, so that a failure leaves entries and items equal.
    AddChecked(totals.packed, record.packedSize);
    AddChecked(totals.unpacked, record.unpackedSize);
    session.catalog.emplace(i, std::move(entry));
    view.AppendEntryLine(line);
  }
  return totals;
}

void CheckTotals(const ArchiveSession& session, const DirectoryTotals& totals) {
  const ArchiveHeader& header = session.header;
  if (totals.packed != header.totalPackedSize || totals.unpacked != header.totalUnpackedSize) {
    FailRead();
  }
  // The data area must lie inside the file, or entries would be read from wrapped positions.
  if (header.totalPackedSize > session.fileSize - session.trailer.directoryDistance) FailRead();
}

// Steps from the file size on: trailer, header block, directory, totals.
void ReadRegions(ReadableFile& file, ArchiveSession& session, ArchiveView& view) {
  session.fileSize = file.Size();
  ReadTrailer(file, session);
  ReadHeaderBlock(file, session, view);
  CheckTotals(session, ReadDirectory(file, session, view));
  // Only the value 1 disables the field; archives with other nonzero values have always left it
  // enabled, although they are not encrypted either.
  if (session.header.notEncrypted == 1) view.DisablePassword();
}

// Whether the first `end` bytes of `file` hold an archive that opens completely.
bool OpensAsArchive(ReadableFile& file, uint64_t end) {
  FilePrefix prefix(file, end);
  ArchiveSession scratch;
  DiscardingView view;
  try {
    ReadRegions(prefix, scratch, view);
    return true;
  } catch (const Failure&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// Where the archive of a signed executable ends: in front of the certificate table and the zero
// bytes a signer may have padded with. The trailer's own last bytes are often zero too, so each
// candidate end is tried, and one is taken only when no other also opens. Nothing for a file
// without a sound certificate table.
std::optional<uint64_t> SignedArchiveEnd(ReadableFile& file) {
  const std::optional<CertificateTable> table = FindCertificateTable(file);
  if (!table) return std::nullopt;
  // One buffer serves every candidate: they read the same regions, give or take a few bytes.
  SequentialReader buffered(file);
  std::optional<uint64_t> found;
  for (const uint64_t end : PaddedEnds(file, *table)) {
    if (!OpensAsArchive(buffered, end)) continue;
    if (found) return std::nullopt;
    found = end;
  }
  return found;
}

}  // namespace

bool OpenArchive(const std::u16string& path, ArchiveSession& session, FileSystem& files,
                 ArchiveView& view) {
  session.file = files.OpenForReading(path);
  if (!session.file) {
    Message message(MessageCode::kOpenFailed, text::kCaptionError, kMbIconError);
    message.ownedByDialog = false;
    message.detail = files.FailureReason();
    view.ShowMessage(message);
    view.EndDialog(0);
    return false;
  }
  const size_t slash = path.rfind(u'\\');
  if (slash != std::u16string::npos) view.ShowDestinationFolder(path.substr(0, slash + 1));

  // A signed executable's archive is read as if the file ended there, the extraction included.
  if (const std::optional<uint64_t> end = SignedArchiveEnd(*session.file)) {
    session.file = std::make_unique<FilePrefix>(std::move(session.file), *end);
  }
  // The regions are read through a buffer: the directory is many small reads in a row.
  SequentialReader file(*session.file);
  try {
    ReadRegions(file, session, view);
  } catch (const std::bad_alloc&) {
    // A directory too large for memory is no archive this program can show.
    FailRead();
  }
  return true;
}

}  // namespace ozr
