// The texts of the message codes.
#include "base/message.h"

#include "base/fill_in.h"
#include "base/texts.h"

namespace ozr {

namespace {

const char16_t* PatternOf(MessageCode code) {
  switch (code) {
    case MessageCode::kOpenFailed:
      return text::kOpenFailed;
    case MessageCode::kArchiveReadFailed:
      return text::kArchiveReadFailed;
    case MessageCode::kAcquireContextFailed:
      return text::kAcquireContextFailed;
    case MessageCode::kCreateHashFailed:
      return text::kCreateHashFailed;
    case MessageCode::kHashDataFailed:
      return text::kHashDataFailed;
    case MessageCode::kDeriveKeyFailed:
      return text::kDeriveKeyFailed;
    case MessageCode::kFrameReadFailed:
      return text::kFrameReadFailed;
    case MessageCode::kDecryptFailed:
      return text::kDecryptFailed;
    case MessageCode::kFrameSumMismatch:
      return text::kFrameSumMismatch;
    case MessageCode::kInflateFailed:
      return text::kInflateFailed;
    case MessageCode::kEnterPassword:
      return text::kEnterPassword;
    case MessageCode::kCreateDirectoryFailed:
      return text::kCreateDirectoryFailed;
    case MessageCode::kFileExists:
      return text::kFileExists;
    case MessageCode::kCreateFileFailed:
      return text::kCreateFileFailed;
    case MessageCode::kUnsafeEntryName:
      return text::kUnsafeEntryName;
    case MessageCode::kWriteFailed:
      return text::kWriteFailed;
    case MessageCode::kEntrySumMismatch:
      return text::kEntrySumMismatch;
    case MessageCode::kExtractionSucceeded:
      return text::kExtractionSucceeded;
    case MessageCode::kSelectFiles:
      return text::kSelectFiles;
    case MessageCode::kInvalidDestination:
      return text::kInvalidDestination;
    case MessageCode::kThreadStartFailed:
      return text::kThreadStartFailed;
    case MessageCode::kAbortQuestion:
      return text::kAbortQuestion;
    case MessageCode::kFinishFirst:
      return text::kFinishFirst;
    case MessageCode::kPackEmptyEntry:
      return text::kPackEmptyEntry;
    case MessageCode::kPackNameTooLong:
      return text::kPackNameTooLong;
    case MessageCode::kPackTitleLength:
      return text::kPackTitleLength;
    case MessageCode::kPackCommentTooLong:
      return text::kPackCommentTooLong;
    case MessageCode::kPackLevelRange:
      return text::kPackLevelRange;
    case MessageCode::kPackPasswordTooLong:
      return text::kPackPasswordTooLong;
    case MessageCode::kPackSourceReadFailed:
      return text::kPackSourceReadFailed;
    case MessageCode::kPackDirectoryTooLarge:
      return text::kPackDirectoryTooLarge;
    case MessageCode::kPackCompressFailed:
      return text::kPackCompressFailed;
    case MessageCode::kPackEncryptFailed:
      return text::kPackEncryptFailed;
    case MessageCode::kChoiceCancelled:
    case MessageCode::kAborted:
    case MessageCode::kToolMessage:
      break;
  }
  return u"";
}

}  // namespace

std::u16string TextOf(MessageCode code, std::u16string_view argument) {
  return FillIn(PatternOf(code), argument);
}

}  // namespace ozr
