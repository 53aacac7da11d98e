// OpenArchive reports an unopenable file through a message box and a broken archive by throwing;
// both become a line on stderr here.
#include "cli/collecting_view.h"

#include "archive/open_archive.h"
#include "base/failure.h"
#include "cli/display_text.h"

namespace ozr::cli {

void CollectingView::SetControlText(ControlId control, const std::u16string& text) {
  switch (control) {
    case kCommentBox:
      comment = text;
      break;
    case kSummaryLine:
      summary = text;
      break;
    case kLevelLine:
      level = text;
      break;
    default:
      break;  // the destination folder: the commands choose their own
  }
}

MessageAnswer CollectingView::ShowMessage(const Message& message) {
  messages.push_back(message.text);
  return kIdOk;
}

bool OpenForCommand(const std::u16string& path, ArchiveSession& session, FileSystem& files,
                    CollectingView& view, Console& console) {
  std::u16string cut = path;  // OpenArchive shortens its argument to the folder
  try {
    if (OpenArchive(cut, session, files, view)) return true;
    for (const std::u16string& message : view.messages) {
      console.Write(Stream::kError, DisplayText(message, true) + u"\n");
    }
  } catch (const Failure& failure) {
    console.Write(Stream::kError, DisplayText(failure.text(), true) + u"\n");
  }
  session.Clear();
  return false;
}

}  // namespace ozr::cli
