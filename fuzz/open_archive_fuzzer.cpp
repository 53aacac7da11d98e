// Fuzz target: opening an archive from any bytes, as they are and behind a signed program (a PE
// image in front, a signer's padding and certificate table behind). Opening either succeeds with a
// catalogue that keeps every limit, or fails with the read text; it never writes, and the list
// always has one item per catalogue entry. An archive found in front of a certificate table is
// exactly what those bytes hold on their own.
#include <cstdint>

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
  const std::u16string path = u"D:\\in\\archive.ozr";
  try {
    out.opened = ozr::OpenArchive(path, out.session, files, out.view);
    Check(out.opened, "an archive that exists opens or throws");
  } catch (const ozr::Failure& failure) {
    Check(failure.code() == ozr::MessageCode::kArchiveReadFailed,
          "opening fails with the read text");
  }
  Check(out.view.calls.front() == u"folder D:\\in\\", "the destination is the archive's folder");
  Check(files.changedPaths().empty(), "opening writes nothing");
  Check(out.view.messages.empty() && !out.view.ended, "a failure is raised, not shown");
  Check(out.view.items.size() == out.session.catalog.size(), "one list item per catalogue entry");

  uint64_t packed = 0;
  uint64_t unpacked = 0;
  uint32_t expectedIndex = 0;
  for (const auto& [index, entry] : out.session.catalog) {
    Check(index == expectedIndex++, "catalogue keys count from 0 without gaps");
    Check(entry.streamOffset == packed, "each stream starts behind the ones before it");
    Check(entry.name.size() <= ozr::kMaxNameLength, "names keep their limit");
    Check(entry.name.find(u'\0') == std::u16string::npos, "names end at their first NUL");
    Check(entry.record.packedSize != 0 && entry.record.unpackedSize != 0, "sizes are not 0");
    packed += entry.record.packedSize;
    unpacked += entry.record.unpackedSize;
  }
  if (!out.opened) return;
  const ozr::ArchiveSession& session = out.session;
  const ozr::ArchiveHeader& header = session.header;
  const uint64_t size = session.fileSize;
  Check(session.catalog.size() == header.entryCount, "every entry is in the catalogue");
  Check(packed == header.totalPackedSize && unpacked == header.totalUnpackedSize,
        "the totals add up");
  Check(header.commentLength <= ozr::kMaxCommentLength &&
            header.titleLength <= ozr::kMaxTitleLength && header.titleLength != 0 &&
            header.compressionLevel <= ozr::kMaxCompressionLevel,
        "the header keeps its limits");
  Check(size <= bytes.size() && session.file->Size() == size,
        "the size is the file's, or where its archive ends");
  Check(session.trailer.directoryDistance <= size &&
            header.totalPackedSize <= size - session.trailer.directoryDistance,
        "the data area lies inside the file");
  Check(session.DataAreaPosition() + header.totalPackedSize + session.trailer.directoryDistance ==
            size,
        "the data area ends where the directory starts");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> input(data, data + size);
  Opening plain;
  Open(input, plain);

  std::vector<uint8_t> program = ozr::testing::PeImage();
  program.insert(program.end(), input.begin(), input.end());
  const std::vector<uint8_t> signedFile = ozr::testing::Signed(program);
  Opening signedOpening;
  Open(signedFile, signedOpening);
  const uint64_t end = signedOpening.session.fileSize;
  if (!signedOpening.opened || end == signedFile.size()) return 0;
  Opening front;
  Open(std::vector<uint8_t>(signedFile.begin(), signedFile.begin() + static_cast<ptrdiff_t>(end)),
       front);
  Check(front.opened && front.view.calls == signedOpening.view.calls,
        "the archive in front of the table is the one those bytes hold");
  return 0;
}
