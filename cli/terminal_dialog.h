// The extraction job's dialog on a terminal: the password from -p or a silent prompt, the
// selection from the command line, the two bars as one line on stderr, messages on stderr (the
// success message on stdout), and the questions answered by the answer policy or by the user.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "cli/answer_policy.h"
#include "cli/console.h"
#include "cli/progress_line.h"
#include "extract/extraction_dialog.h"

namespace ozr::cli {

struct DialogSettings {
  bool encrypted = false;                  // the archive needs a password
  std::optional<std::u16string> password;  // given with -p
  OverwriteMode overwrite = OverwriteMode::kNo;
  bool canPrompt = false;  // a terminal is attached: the password may be asked for
  bool canAsk = false;     // the same for Yes/No questions
  bool progress = false;   // draw the bar on stderr
  bool quiet = false;      // leave the success message out
  // Shown instead of the job's success message when not empty (testing writes nothing, so
  // "unpacked successfully" would not be true).
  std::u16string successText;
};

class TerminalDialog final : public ExtractionDialog {
 public:
  TerminalDialog(Console& console, std::vector<int32_t> selection, DialogSettings settings,
                 const std::atomic<bool>& interrupted)
      : console_(console),
        selection_(std::move(selection)),
        settings_(std::move(settings)),
        interrupted_(interrupted),
        line_(console, settings_.progress) {}

  std::u16string ReadPassword() override;
  std::vector<int32_t> SelectedIndices() override { return selection_; }
  void SetProgressRange(ControlId bar, uint64_t maximum) override;
  void SetProgressPosition(ControlId bar, uint64_t position) override;
  MessageAnswer ShowMessage(const Message& message) override;
  void SetBusy(bool busy) override;
  void ResetProgress() override;

 private:
  MessageAnswer Answer(const std::u16string& shown, MessageCode question);
  void Redraw();

  Console& console_;
  const std::vector<int32_t> selection_;
  const DialogSettings settings_;
  const std::atomic<bool>& interrupted_;
  ProgressLine line_;
  uint64_t entry_ = 0;
  uint64_t entries_ = 0;
  uint64_t position_ = 0;
  uint64_t range_ = 1;
};

}  // namespace ozr::cli
