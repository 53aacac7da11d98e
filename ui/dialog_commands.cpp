// The platform-free part of the dialog's commands.
#include "ui/dialog_commands.h"

#include "base/control_ids.h"
#include "base/texts.h"

namespace ozr {

DialogCommand CommandFor(uint32_t command) {
  switch (command) {
    case kBrowseButton:
      return DialogCommand::kBrowse;
    case kExtractButton:
      return DialogCommand::kExtract;
    case kAbortButton:
      return DialogCommand::kAbort;
    case kSelectAllButton:
      return DialogCommand::kSelectAll;
    default:
      return DialogCommand::kNone;
  }
}

void ExtractCommand(CommandView& view, FileSystem& files, ExtractionShare& share) {
  if (view.SelectedCount() == 0) {
    view.ShowMessage({MessageCode::kSelectFiles, text::kCaptionErrorBang, kMbOk});
    return;
  }
  // The field always ends with "\" when the dialog fills it; the separator is added anyway, so
  // that no entry name is ever glued to the folder's last name.
  share.destinationFolder = WithFinalSeparator(view.DestinationText());
  if (files.QueryPath(share.destinationFolder) != PathKind::kDirectory) {
    view.ShowMessage({MessageCode::kInvalidDestination, text::kCaptionErrorBang, kMbOk});
    return;
  }
  view.SetBusy(true);
  share.abortRequested = false;
  if (!view.StartWorker()) {
    view.ShowMessage({MessageCode::kThreadStartFailed, text::kCaptionErrorBang, kMbOk});
    // No job will ever end the busy state, so the command ends it.
    view.SetBusy(false);
  }
}

void AbortCommand(CommandView& view, ExtractionShare& share) {
  const MessageAnswer answer = view.ShowMessage(
      {MessageCode::kAbortQuestion, text::kCaptionConfirm, kMbYesNo | kMbIconQuestion});
  if (answer == kIdYes) share.abortRequested = true;
}

bool CloseCommand(CommandView& view, const ExtractionShare& share) {
  if (!share.extractionBusy) return true;
  view.ShowMessage({MessageCode::kFinishFirst, text::kCaptionError, kMbIconWarning});
  return false;
}

std::u16string WithFinalSeparator(std::u16string folder) {
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  return folder;
}

std::u16string FolderOf(const std::u16string& path) {
  const size_t slash = path.rfind(u'\\');
  if (slash == std::u16string::npos) return {};
  return path.substr(0, slash);
}

std::u16string ArchiveFilterList() {
  std::u16string list;
  for (const char16_t* part : {text::kFilterArchives, u"*.ozr", text::kFilterSelfExtracting,
                               u"*.exe", text::kFilterAllFiles, u"*.*"}) {
    list += part;
    list += u'\0';
  }
  list += u'\0';
  return list;
}

}  // namespace ozr
