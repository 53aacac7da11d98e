// The start-up sequence: a self-extracting copy opens itself, the plain program asks for a file.
#include "archive/open_startup_archive.h"

#include "archive/open_archive.h"
#include "base/failure.h"
#include "base/texts.h"

namespace ozr {

namespace {

// The second attempt. A failure here ends the dialog; its text, if any, is shown first.
bool OpenChosenArchive(ArchiveSession& session, FileSystem& files, StartupView& view) {
  std::u16string path;
  if (!view.ChooseArchive(path)) throw Failure::ChoiceCancelled();
  return OpenArchive(path, session, files, view);
}

}  // namespace

StartupResult OpenStartupArchive(const std::u16string& ownPath, ArchiveSession& session,
                                 FileSystem& files, StartupView& view) {
  bool opened = false;
  try {
    opened = OpenArchive(ownPath, session, files, view);
  } catch (const Failure&) {
    // The plain program carries no archive: that is the normal case, not an error to show.
    view.ClearEntryList();
    session.Clear();
    try {
      opened = OpenChosenArchive(session, files, view);
    } catch (const Failure& failure) {
      if (!failure.silent()) {
        Message message = failure.ToMessage(text::kCaptionError, kMbIconError);
        message.ownedByDialog = false;
        view.ShowMessage(message);
      }
      view.EndDialog(0);
      return StartupResult::kChoiceFailed;
    }
  }
  // A file that could not be opened has ended the dialog already; there is nothing to finish.
  if (!opened) return StartupResult::kOpenFailed;
  view.LimitPasswordLength(kMaxPasswordLength);
  view.FitListExtent();
  return StartupResult::kOpened;
}

}  // namespace ozr
