// `ozr list`: the caption, the comment, the summary and level lines and the entry list, each as
// the dialog shows it, one text per line.
#include <string>

#include "cli/collecting_view.h"
#include "cli/commands.h"
#include "cli/display_text.h"

namespace ozr::cli {

int RunList(const Arguments& arguments, Console& console, FileSystem& files) {
  ArchiveSession session;
  CollectingView view;
  if (!OpenForCommand(arguments.archive, session, files, view, console)) return kExitFailure;

  std::u16string out = DisplayText(view.title, false) + u"\n";
  if (!view.comment.empty()) out += DisplayText(view.comment, true) + u"\n";
  out += view.summary + u"\n" + view.level + u"\n";
  for (size_t i = 0; i < view.items.size(); ++i) {
    if (arguments.numbers) {
      const std::string number = std::to_string(i);
      out += std::u16string(number.begin(), number.end()) + u"\t";
    }
    out += DisplayText(view.items[i], false) + u"\n";
  }
  console.Write(Stream::kOutput, out);
  return kExitSuccess;
}

}  // namespace ozr::cli
