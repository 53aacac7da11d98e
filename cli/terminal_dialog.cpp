// Every message leaves the progress line first, so that a text never lands in the middle of the
// bar; questions the policy answers are echoed with their answer, so a log shows what happened.
#include "cli/terminal_dialog.h"

#include "archive/records.h"
#include "base/texts.h"
#include "cli/cli_texts.h"
#include "cli/display_text.h"

namespace ozr::cli {

namespace {

constexpr unsigned kButtonsMask = 0xF;

std::u16string AnswerWord(MessageAnswer answer) {
  return answer == kIdYes ? text::kAnswerYes : text::kAnswerNo;
}

}  // namespace

std::u16string TerminalDialog::ReadPassword() {
  if (!settings_.encrypted) return {};
  if (settings_.password) return *settings_.password;
  if (!settings_.canPrompt) return {};
  line_.Clear();
  for (;;) {
    std::u16string typed;
    if (!console_.ReadSecret(text::kPasswordPrompt, typed)) return {};
    if (typed.size() <= kMaxPasswordLength) return typed;
    console_.Write(Stream::kError, std::u16string(ozr::text::kPackPasswordTooLong) + u"\n");
  }
}

void TerminalDialog::SetProgressRange(ControlId bar, uint64_t maximum) {
  if (bar == kProgressEntries) {
    entries_ = maximum;
  } else {
    range_ = maximum;
  }
  Redraw();
}

void TerminalDialog::SetProgressPosition(ControlId bar, uint64_t position) {
  if (bar == kProgressEntries) {
    entry_ = position;
  } else {
    position_ = position;
  }
  Redraw();
}

void TerminalDialog::Redraw() {
  // Drawn from the first entry on: before it the job only sets the bars up.
  if (entry_ != 0) line_.Show(FormatProgress(entry_, entries_, position_, range_));
}

MessageAnswer TerminalDialog::ShowMessage(const Message& message) {
  line_.Clear();
  const std::u16string shown = DisplayMessage(message.text, message.detail);
  if ((message.flags & kButtonsMask) == kMbYesNo) return Answer(shown, message.code);
  if (message.code == MessageCode::kExtractionSucceeded) {
    if (!settings_.quiet) {
      const std::u16string& success = settings_.successText.empty() ? shown : settings_.successText;
      console_.Write(Stream::kOutput, success + u"\n");
    }
  } else if (!(interrupted_.load() && message.code == MessageCode::kEnterPassword)) {
    // (A password prompt left with Ctrl+C is no forgotten password.)
    console_.Write(Stream::kError, shown + u"\n");
  }
  return kIdOk;
}

MessageAnswer TerminalDialog::Answer(const std::u16string& shown, MessageCode question) {
  const bool canAsk = settings_.canAsk && !interrupted_.load();
  if (const auto answer = AutomaticAnswer(question, settings_.overwrite, canAsk)) {
    if (ReportAutomaticAnswer(question, *answer)) {
      console_.Write(Stream::kError, shown + u" " + AnswerWord(*answer) + u"\n");
    }
    return *answer;
  }
  for (;;) {
    console_.Write(Stream::kError, shown + text::kAnswerPrompt);
    std::u16string typed;
    if (!console_.ReadLine(typed)) {
      // The input ended (or Ctrl+C came): answer as without a terminal.
      const MessageAnswer answer = *AutomaticAnswer(question, settings_.overwrite, false);
      std::u16string shownAnswer(u"\n");
      shownAnswer.append(AnswerWord(answer)).append(u"\n");
      console_.Write(Stream::kError, shownAnswer);
      return answer;
    }
    if (const auto answer = ParseAnswer(typed)) return *answer;
  }
}

void TerminalDialog::SetBusy(bool busy) {
  if (!busy) line_.Clear();
}

void TerminalDialog::ResetProgress() {
  entry_ = 0;
  entries_ = 0;
  position_ = 0;
  range_ = 1;
  line_.Clear();
}

}  // namespace ozr::cli
