// Finding the certificate table that signing appends to a Windows executable, so that an archive
// in front of it can still be found from its end.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/file_system.h"

namespace ozr {

// Where a signed executable keeps its signature.
struct CertificateTable {
  // The table's first byte: everything the signature covers lies in front of it.
  uint64_t offset = 0;
  uint32_t size = 0;
  // The security entry of the data directories (table offset and size, 8 bytes).
  uint64_t entryPosition = 0;
  // The optional header's CheckSum field (4 bytes).
  uint64_t checkSumPosition = 0;
};

// The certificate table of `file` when it is a PE image whose security directory entry is sound:
// inside the file behind the headers, 8-aligned, ending exactly at the end of the file, with a
// plausible first certificate. Nothing otherwise, also for any file that is no PE image. Reads only
// inside the file; moves its read position.
std::optional<CertificateTable> FindCertificateTable(ReadableFile& file);

// The ends an archive in front of `table` may have: the table's offset, and each position up to 7
// bytes before it from which only zero bytes (a signer's padding) lead to the table. Nearest first.
std::vector<uint64_t> PaddedEnds(ReadableFile& file, const CertificateTable& table);

}  // namespace ozr
