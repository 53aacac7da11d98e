// A message box as the core asks for it: text, caption, type flags, and the answer it gets back.
#pragma once

#include <string>

namespace ozr {

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
  std::u16string text;
  std::u16string caption;
  unsigned flags = kMbOk;
  // False: a box without owner window (the messages of opening an archive).
  bool ownedByDialog = true;
};

}  // namespace ozr
