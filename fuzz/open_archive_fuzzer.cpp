// Fuzz target: opening an archive from any bytes, as they are and behind a signed program (a PE
// image in front, a signer's padding and certificate table behind). Opening succeeds with a
// catalogue that keeps every limit or fails with the read text; it never writes or shows anything,
// and the list has one item per entry. An archive found in front of a certificate table is
// exactly what those bytes hold on their own.
#include "archive/open_archive.h"
#include "base/failure.h"
#include "fuzz/fuzz_check.h"
#include "support/memory_file_system.h"
#include "support/recording_view.h"
#include "support/test_archives.h"

using ozr::fuzz::Check;

namespace {

struct Opening {
  bool opened = false;
  ozr::ArchiveSession session;
  ozr::testing::RecordingView view;
};

void Open(const std::vector<uint8_t>& bytes, Opening& out) {
  ozr::testing::MemoryFileSystem files(ozr::NameRules::kWindows);
  files.AddFile(u"D:\\in\\archive.ozr", bytes);
  try {
    out.opened = ozr::OpenArchive(u"D:\\in\\archive.ozr", out.session, files, out.view);
    Check(out.opened, "an archive that exists opens or throws");
  } catch (const ozr::Failure& failure) {
    Check(failure.code() == ozr::MessageCode::kArchiveReadFailed, "it fails with the read text");
  }
  Check(files.changedPaths().empty() && out.view.messages.empty() && !out.view.ended,
        "opening writes and shows nothing");
  Check(out.view.items.size() == out.session.catalog.size(), "one list item per entry");
  uint64_t packed = 0;
  uint64_t unpacked = 0;
  uint32_t expectedIndex = 0;
  for (const auto& [index, entry] : out.session.catalog) {
    Check(index == expectedIndex++ && entry.streamOffset == packed,
          "entries count from 0, each stream behind the ones before it");
    Check(
        entry.name.size() <= ozr::kMaxNameLength && entry.name.find(u'\0') == std::u16string::npos,
        "names keep their limit and end at their first NUL");
    Check(entry.record.packedSize != 0 && entry.record.unpackedSize != 0, "sizes are not 0");
    packed += entry.record.packedSize;
    unpacked += entry.record.unpackedSize;
  }
  if (!out.opened) return;
  const ozr::ArchiveHeader& header = out.session.header;
  const uint64_t size = out.session.fileSize;
  Check(out.session.catalog.size() == header.entryCount && packed == header.totalPackedSize &&
            unpacked == header.totalUnpackedSize,
        "every entry is in the catalogue and the totals add up");
  Check(header.commentLength <= ozr::kMaxCommentLength && header.titleLength != 0 &&
            header.titleLength <= ozr::kMaxTitleLength &&
            header.compressionLevel <= ozr::kMaxCompressionLevel,
        "the header keeps its limits");
  Check(size <= bytes.size() &&
            out.session.DataAreaPosition() + packed + out.session.trailer.directoryDistance == size,
        "the data area lies inside the file and ends where the directory starts");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Opening plain;
  Open({data, data + size}, plain);
  std::vector<uint8_t> program = ozr::testing::PeImage();
  program.insert(program.end(), data, data + size);
  const std::vector<uint8_t> signedFile = ozr::testing::Signed(program);
  Opening signedOpening;
  Open(signedFile, signedOpening);
  const auto end = static_cast<ptrdiff_t>(signedOpening.session.fileSize);
  if (!signedOpening.opened || size_t(end) == signedFile.size()) return 0;
  Opening front;
  Open({signedFile.begin(), signedFile.begin() + end}, front);
  Check(front.opened && front.view.calls == signedOpening.view.calls,
        "the archive in front of the table is the one those bytes hold");
  return 0;
}
