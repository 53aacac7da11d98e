// A message as the core raises or shows it: a code that programs decide by, the exact text that
// people read, and for a message box its caption, type flags and owner.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace ozr {

// One value per message the core can raise or show. Programs tell messages apart by these codes
// only; the text of each is fixed by TextOf.
enum class MessageCode {
  // Opening an archive.
  kOpenFailed,
  kArchiveReadFailed,
  // The start-up choice: the user cancelled the open-file dialog. Shows nothing.
  kChoiceCancelled,
  // Making the key.
  kAcquireContextFailed,
  kCreateHashFailed,
  kHashDataFailed,
  kDeriveKeyFailed,
  // Decoding one frame.
  kFrameReadFailed,
  kDecryptFailed,
  kFrameSumMismatch,
  kInflateFailed,
  // The extraction job. The four questions put a path or an entry name at their "%s".
  kEnterPassword,
  kCreateDirectoryFailed,
  kFileExists,
  kCreateFileFailed,
  kUnsafeEntryName,
  kWriteFailed,
  kEntrySumMismatch,
  kExtractionSucceeded,
  // The user stopped the work (the abort button, Ctrl+C). Shows nothing.
  kAborted,
  // The dialog's commands.
  kSelectFiles,
  kInvalidDestination,
  kThreadStartFailed,
  kAbortQuestion,
  kFinishFirst,
  // The archive writer. An entry name or a path goes at the "%s".
  kPackEmptyEntry,
  kPackNameTooLong,
  kPackTitleLength,
  kPackCommentTooLong,
  kPackLevelRange,
  kPackPasswordTooLong,
  kPackSourceReadFailed,
  kPackDirectoryTooLarge,
  kPackCompressFailed,
  kPackEncryptFailed,
  // A message of the command-line tool's own, whose text the tool gives.
  kToolMessage,
};

// The exact text of `code` with `argument` at its "%s" (where it has one); empty for the codes
// that show nothing and for kToolMessage.
std::u16string TextOf(MessageCode code, std::u16string_view argument = {});

// Type flags and answers carry the platform's message-box values, so the Windows shell passes
// them through unchanged and the other shells interpret the same numbers.
enum MessageFlags : unsigned {
  kMbOk = 0x0,
  kMbYesNo = 0x4,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
};

enum MessageAnswer : int {
  kIdOk = 1,
  kIdCancel = 2,
  kIdYes = 6,
  kIdNo = 7,
};

struct Message {
  // The message of `code`, `argument` at its "%s", in a box with `caption` and `flags`.
  Message(MessageCode code, std::u16string caption, unsigned flags,
          std::u16string_view argument = {})
      : code(code), text(TextOf(code, argument)), caption(std::move(caption)), flags(flags) {}

  MessageCode code;
  std::u16string text;
  std::u16string caption;
  unsigned flags = kMbOk;
  // False: a box without owner window (the messages of opening an archive).
  bool ownedByDialog = true;
  // Why a file operation failed, in the operating system's words. Not part of the text: the
  // dialog never shows it; the command-line tool prints it after the text.
  std::u16string detail;
};

}  // namespace ozr
