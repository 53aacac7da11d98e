// The dialog's control identifiers, shared by the extraction job (which names its two progress bars
// by them) and the Windows shell.
#pragma once

namespace ozr {

enum ControlId : int {
  kProgressEntries = 1002,  // entries done
  kProgressBytes = 1003,    // packed bytes of the current entry
  kDestinationFolder = 1004,
  kBrowseButton = 1005,
  kExtractButton = 1006,
  kPasswordField = 1007,
  kAbortButton = 1008,
  kSummaryLine = 1009,
  kCommentBox = 1010,
  kEntryList = 1011,
  kLevelLine = 1012,
  kSelectAllButton = 1013,
};

}  // namespace ozr
