// Reads the DOS header, the PE headers and the security directory entry, trusting no offset or
// size before it has been checked against the file.
#include "archive/signed_image.h"

#include <algorithm>

#include "base/little_endian.h"

namespace ozr {

namespace {

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kNewHeaderPointerAt = 0x3C;
constexpr size_t kSignatureSize = 4;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kOptionalHeaderAt = kSignatureSize + kFileHeaderSize;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
// Where the data directories start in the optional header, behind NumberOfRvaAndSizes.
constexpr size_t kPe32Directories = 96;
constexpr size_t kPe32PlusDirectories = 112;
constexpr size_t kSizeOfHeadersAt = 60;
constexpr size_t kCheckSumAt = 64;
constexpr size_t kSecurityIndex = 4;
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kSectionHeaderSize = 40;
// The fixed part of a WIN_CERTIFICATE: dwLength, wRevision, wCertificateType.
constexpr uint32_t kCertificateHeaderSize = 8;
constexpr uint32_t kMaxPadding = 7;

bool ReadAt(ReadableFile& file, uint64_t position, uint8_t* buffer, size_t count) {
  file.Seek(position);
  return file.Read(buffer, count) == count;
}

}  // namespace

std::optional<CertificateTable> FindCertificateTable(ReadableFile& file) {
  const uint64_t size = file.Size();
  uint8_t dos[kDosHeaderSize];
  if (!ReadAt(file, 0, dos, sizeof dos)) return std::nullopt;
  if (dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
  const uint64_t peAt = LoadU32(dos + kNewHeaderPointerAt);

  // Signature, file header and the optional header up to the end of the security entry, which
  // lies furthest out in the PE32+ layout.
  uint8_t pe[kOptionalHeaderAt + kPe32PlusDirectories +
             (kSecurityIndex + 1) * kDirectoryEntrySize] = {};
  if (peAt > size) return std::nullopt;
  file.Seek(peAt);
  const size_t got = file.Read(pe, static_cast<size_t>(std::min<uint64_t>(sizeof pe, size - peAt)));
  if (got < kOptionalHeaderAt + 2) return std::nullopt;
  if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return std::nullopt;
  const uint16_t sectionCount = LoadU16(pe + kSignatureSize + 2);
  const uint16_t optionalSize = LoadU16(pe + kSignatureSize + 16);
  const uint8_t* optional = pe + kOptionalHeaderAt;

  size_t directoriesAt = 0;
  switch (LoadU16(optional)) {
    case kPe32Magic:
      directoriesAt = kPe32Directories;
      break;
    case kPe32PlusMagic:
      directoriesAt = kPe32PlusDirectories;
      break;
    default:
      return std::nullopt;
  }
  const size_t entryAt = directoriesAt + kSecurityIndex * kDirectoryEntrySize;
  if (optionalSize < entryAt + kDirectoryEntrySize) return std::nullopt;
  if (got < kOptionalHeaderAt + entryAt + kDirectoryEntrySize) return std::nullopt;
  if (LoadU32(optional + directoriesAt - 4) <= kSecurityIndex) return std::nullopt;

  const uint64_t sectionTableEnd =
      peAt + kOptionalHeaderAt + optionalSize + uint64_t{sectionCount} * kSectionHeaderSize;
  const uint64_t headersEnd =
      std::max<uint64_t>(LoadU32(optional + kSizeOfHeadersAt), sectionTableEnd);

  CertificateTable table;
  table.offset = LoadU32(optional + entryAt);
  table.size = LoadU32(optional + entryAt + 4);
  // Both halves are 32-bit, so their sum cannot wrap in 64 bits. The headers end behind the
  // DOS header, so the offset is never 0; the first certificate's length bounds the size below.
  if (table.offset % 8 != 0 || table.offset < headersEnd || table.offset + table.size != size) {
    return std::nullopt;
  }
  uint8_t first[kCertificateHeaderSize];
  if (!ReadAt(file, table.offset, first, sizeof first)) return std::nullopt;
  const uint32_t firstLength = LoadU32(first);
  if (firstLength < kCertificateHeaderSize || firstLength > table.size) return std::nullopt;

  table.entryPosition = peAt + kOptionalHeaderAt + entryAt;
  table.checkSumPosition = peAt + kOptionalHeaderAt + kCheckSumAt;
  return table;
}

std::vector<uint64_t> PaddedEnds(ReadableFile& file, const CertificateTable& table) {
  std::vector<uint64_t> ends = {table.offset};
  const auto span = static_cast<uint32_t>(std::min<uint64_t>(kMaxPadding, table.offset));
  uint8_t before[kMaxPadding];
  if (!ReadAt(file, table.offset - span, before, span)) return ends;
  for (uint32_t k = 1; k <= span && before[span - k] == 0; ++k) ends.push_back(table.offset - k);
  return ends;
}

}  // namespace ozr
