// `ozr extract` and `ozr test`: the same ExtractionJob the dialog runs, here on the main thread
// with the terminal as its dialog; `test` hands it a file system that writes nothing.
#include <filesystem>
#include <string>

#include "base/fill_in.h"
#include "base/texts.h"
#include "cli/cli_texts.h"
#include "cli/collecting_view.h"
#include "cli/commands.h"
#include "cli/discarding_file_system.h"
#include "cli/display_text.h"
#include "cli/native_path.h"
#include "cli/terminal_dialog.h"
#include "extract/extraction_job.h"
#include "platform/entry_name.h"

namespace ozr::cli {

namespace {

// The catalogue indices to extract: the ones given, each checked, or all of them.
bool Selection(const Arguments& arguments, const Catalog& catalog, Console& console,
               std::vector<int32_t>& selection) {
  if (arguments.indices.empty()) {
    for (const auto& [index, entry] : catalog) selection.push_back(static_cast<int32_t>(index));
    return true;
  }
  for (const int32_t index : arguments.indices) {
    if (catalog.count(static_cast<uint32_t>(index)) == 0) {
      const std::string number = std::to_string(index);
      console.Write(
          Stream::kError,
          FillIn(text::kNoSuchIndex, std::u16string(number.begin(), number.end())) + u"\n");
      return false;
    }
  }
  selection = arguments.indices;
  return true;
}

// The destination folder, made (with its parents) when missing, ending with a separator.
bool Destination(const Arguments& arguments, Console& console, std::u16string& folder) {
  if (!arguments.outputFolder || arguments.outputFolder->empty()) {
    folder = FolderWithSeparator(u"");
    return true;
  }
  const std::filesystem::path path = NativePath(*arguments.outputFolder);
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (!std::filesystem::is_directory(path, error)) {
    console.Write(Stream::kError, std::u16string(ozr::text::kInvalidDestination) + u"\n");
    return false;
  }
  folder = FolderWithSeparator(*arguments.outputFolder);
  return true;
}

// The selected entries whose names `extract` would refuse, each reported on its own line.
size_t ReportUnsafeNames(const Catalog& catalog, const std::vector<int32_t>& selection,
                         NameRules rules, Console& console) {
  size_t count = 0;
  for (const int32_t index : selection) {
    const std::u16string& name = catalog.at(static_cast<uint32_t>(index)).name;
    if (IsSafeEntryName(name, rules)) continue;
    console.Write(Stream::kError, FillIn(text::kUnsafeNameTested, name) + u"\n");
    ++count;
  }
  return count;
}

// `unsafeTested`: entries whose names were reported while testing.
int ExitStatusOf(const JobOutcome& outcome, size_t unsafeTested) {
  switch (outcome.end) {
    case JobEnd::kSucceeded:
      return outcome.unsafeSkipped == 0 && unsafeTested == 0 ? kExitSuccess : kExitFailure;
    case JobEnd::kAborted:
      return kExitInterrupted;
    default:
      return kExitFailure;
  }
}

}  // namespace

int RunExtract(const Arguments& arguments, Console& console, FileSystem& files,
               const std::atomic<bool>& interrupted) {
  const bool testing = arguments.command == Command::kTest;
  ArchiveSession session;
  CollectingView view;
  if (!OpenForCommand(arguments.archive, session, files, view, console)) return kExitFailure;
  std::vector<int32_t> selection;
  if (!Selection(arguments, session.catalog, console, selection)) return kExitFailure;
  std::u16string folder;
  if (testing) {
    folder = FolderWithSeparator(u"");
  } else if (!Destination(arguments, console, folder)) {
    return kExitFailure;
  }

  DialogSettings settings;
  settings.encrypted = session.header.encrypted();
  settings.password = arguments.password;
  // A question needs someone who sees it (on stderr) and can answer it (on stdin). Testing writes
  // nothing, so it has nothing to ask.
  settings.canPrompt = console.IsTerminal(Stream::kInput) && console.IsTerminal(Stream::kError);
  settings.canAsk = settings.canPrompt && !testing;
  settings.overwrite =
      arguments.overwrite.value_or(settings.canAsk ? OverwriteMode::kAsk : OverwriteMode::kNo);
  settings.progress = !arguments.quiet && console.IsTerminal(Stream::kError);
  settings.quiet = arguments.quiet;
  // Testing checks every entry, also those `extract` would refuse; their names are reported first,
  // and then the archive is not called sound.
  const size_t unsafe =
      testing ? ReportUnsafeNames(session.catalog, selection, files.Rules(), console) : 0;
  if (testing) settings.successText = text::kTestSucceeded;
  if (unsafe != 0) settings.quiet = true;
  TerminalDialog dialog(console, std::move(selection), std::move(settings), interrupted);

  DiscardingFileSystem discarding(files);
  FileSystem& output = testing ? static_cast<FileSystem&>(discarding) : files;
  dialog.SetBusy(true);
  const JobOutcome outcome = ExtractionJob(session, folder, interrupted, dialog, output, {},
                                           testing ? JobPurpose::kTest : JobPurpose::kExtract);
  for (const std::u16string& left : outcome.leftBehind) {
    console.Write(Stream::kError,
                  DisplayText(FillIn(text::kTemporaryFileLeft, left), false) + u"\n");
  }
  const int status = ExitStatusOf(outcome, unsafe);
  if (status != kExitSuccess && interrupted.load()) {
    console.Write(Stream::kError, std::u16string(text::kInterrupted) + u"\n");
    return kExitInterrupted;
  }
  return status;
}

}  // namespace ozr::cli
