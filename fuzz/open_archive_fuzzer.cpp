// Fuzz target: opening an archive from any bytes. Opening either succeeds with a catalogue that
// keeps every limit, or fails with the read text; it never writes, and the list always has one
// item per catalogue entry.
#include <cstdint>

#include "archive/open_archive.h"
#include "base/failure.h"
#include "fuzz/fuzz_check.h"
#include "support/memory_file_system.h"
#include "support/recording_view.h"

using ozr::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ozr::testing::MemoryFileSystem files(ozr::NameRules::kWindows);
  files.AddFile(u"D:\\in\\archive.ozr", std::vector<uint8_t>(data, data + size));
  ozr::ArchiveSession session;
  ozr::testing::RecordingView view;
  const std::u16string path = u"D:\\in\\archive.ozr";
  bool opened = false;
  try {
    opened = ozr::OpenArchive(path, session, files, view);
    Check(opened, "an archive that exists opens or throws");
  } catch (const ozr::Failure& failure) {
    Check(failure.code() == ozr::MessageCode::kArchiveReadFailed,
          "opening fails with the read text");
  }
  Check(view.calls.front() == u"folder D:\\in\\", "the destination is the archive's folder");
  Check(files.changedPaths().empty(), "opening writes nothing");
  Check(view.messages.empty() && !view.ended, "a failure is raised, not shown");
  Check(view.items.size() == session.catalog.size(), "one list item per catalogue entry");

  uint64_t packed = 0;
  uint64_t unpacked = 0;
  uint32_t expectedIndex = 0;
  for (const auto& [index, entry] : session.catalog) {
    Check(index == expectedIndex++, "catalogue keys count from 0 without gaps");
    Check(entry.streamOffset == packed, "each stream starts behind the ones before it");
    Check(entry.name.size() <= ozr::kMaxNameLength, "names keep their limit");
    Check(entry.name.find(u'\0') == std::u16string::npos, "names end at their first NUL");
    Check(entry.record.packedSize != 0 && entry.record.unpackedSize != 0, "sizes are not 0");
    packed += entry.record.packedSize;
    unpacked += entry.record.unpackedSize;
  }
  if (!opened) return 0;
  const ozr::ArchiveHeader& header = session.header;
  Check(session.catalog.size() == header.entryCount, "every entry is in the catalogue");
  Check(packed == header.totalPackedSize && unpacked == header.totalUnpackedSize,
        "the totals add up");
  Check(header.commentLength <= ozr::kMaxCommentLength &&
            header.titleLength <= ozr::kMaxTitleLength && header.titleLength != 0 &&
            header.compressionLevel <= ozr::kMaxCompressionLevel,
        "the header keeps its limits");
  Check(session.fileSize == size, "the size is the file's");
  Check(session.trailer.directoryDistance <= size &&
            header.totalPackedSize <= size - session.trailer.directoryDistance,
        "the data area lies inside the file");
  Check(session.DataAreaPosition() + header.totalPackedSize + session.trailer.directoryDistance ==
            size,
        "the data area ends where the directory starts");
  return 0;
}
