// OpenArchive reports an unopenable file through a message box and a broken archive by throwing;
// both become a line on stderr here.
#include "cli/collecting_view.h"

#include "archive/open_archive.h"
#include "base/failure.h"
#include "cli/display_text.h"

namespace ozr::cli {

bool OpenForCommand(const std::u16string& path, ArchiveSession& session, FileSystem& files,
                    CollectingView& view, Console& console) {
  try {
    if (OpenArchive(path, session, files, view)) return true;
    for (const Message& message : view.messages) {
      console.Write(Stream::kError, DisplayMessage(message.text, message.detail) + u"\n");
    }
  } catch (const Failure& failure) {
    console.Write(Stream::kError, DisplayMessage(failure.text(), failure.detail()) + u"\n");
  }
  session.Clear();
  return false;
}

}  // namespace ozr::cli
