// The start-up choice: which archive ends up open, whether the chooser is shown, which message
// the user sees, and whether the dialog ends.
#include "archive/open_startup_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>

#include "base/texts.h"
#include "support/memory_files.h"
#include "support/test_archives.h"

namespace ozr {
namespace {

using testing::Bytes;
using testing::MixedContent;
using testing::PlainOptions;

constexpr char16_t kOwnPath[] = u"C:\\Программы\\unpacker.exe";
constexpr char16_t kChosenPath[] = u"D:\\Архивы\\выбранный.ozr";

// Files by path; only reading is needed here.
class PathFileSystem : public testing::OneFileSystem {
 public:
  PathFileSystem() : OneFileSystem({}) {}
  std::map<std::u16string, std::vector<uint8_t>> files;
  std::unique_ptr<ReadableFile> OpenForReading(const std::u16string& path) override {
    const auto found = files.find(path);
    if (found == files.end()) return nullptr;
    return std::make_unique<testing::MemoryReadableFile>(found->second);
  }
};

// Records the start-up's effects on the dialog; `choice` is what the user picks (nullopt:
// cancel).
class StartupRecorder : public StartupView {
 public:
  std::optional<std::u16string> choice;
  std::vector<std::u16string> items;
  std::vector<Message> messages;
  std::u16string destination;
  bool chooserShown = false;
  bool ended = false;
  uint32_t passwordLimit = 0;
  bool fitted = false;

  void ShowDestinationFolder(const std::u16string& folder) override { destination = folder; }
  void ShowComment(const std::u16string&) override {}
  void ShowTitle(const std::u16string&) override {}
  void ShowSummary(const std::u16string&) override {}
  void ShowLevel(const std::u16string&) override {}
  void AppendEntryLine(const std::u16string& line) override { items.push_back(line); }
  void DisablePassword() override {}
  MessageAnswer ShowMessage(const Message& message) override {
    messages.push_back(message);
    return kIdOk;
  }
  void EndDialog(int result) override {
    EXPECT_EQ(result, 0);
    ended = true;
  }
  void ClearEntryList() override { items.clear(); }
  bool ChooseArchive(std::u16string& path) override {
    chooserShown = true;
    if (!choice) return false;
    path = *choice;
    return true;
  }
  void LimitPasswordLength(uint32_t units) override { passwordLimit = units; }
  void FitListExtent() override { fitted = true; }
};

std::vector<uint8_t> Archive(const std::vector<std::u16string>& names) {
  std::vector<PackEntry> entries(names.size());
  std::transform(names.begin(), names.end(), entries.begin(), [](const std::u16string& name) {
    return PackEntry{name, MixedContent(300, 1), {}};
  });
  return testing::WriteArchiveToMemory(entries, PlainOptions());
}

std::vector<uint8_t> Program(const std::vector<uint8_t>& archive = {}) {
  std::vector<uint8_t> bytes = Bytes("MZ a program that is no archive by itself");
  bytes.insert(bytes.end(), archive.begin(), archive.end());
  return bytes;
}

// Every record reads well; the totals check at the end fails.
std::vector<uint8_t> WithWrongTotals(std::vector<uint8_t> archive) {
  const size_t end = archive.size();
  const uint32_t headerDistance = archive[end - 8] | archive[end - 7] << 8;
  archive[end - headerDistance + 8] ^= 1;
  return archive;
}

struct StartupCase {
  // cppcheck-suppress unusedStructMember ; it names the case
  const char* name;
  std::optional<std::vector<uint8_t>> own;     // nullopt: the program file cannot be opened
  std::optional<std::vector<uint8_t>> chosen;  // nullopt: the chosen path cannot be opened
  bool userCancels;
  // Expected:
  StartupResult result;
  bool chooserShown;
  const char16_t* message;  // nullptr: none
  bool ended;
  std::vector<std::u16string> entries;  // names in the catalogue
  std::u16string destination;
};

class StartupTest : public ::testing::TestWithParam<StartupCase> {};

TEST_P(StartupTest, OpensTheRightArchive) {
  const StartupCase& c = GetParam();
  PathFileSystem files;
  if (c.own) files.files[kOwnPath] = *c.own;
  if (c.chosen) files.files[kChosenPath] = *c.chosen;
  StartupRecorder view;
  if (!c.userCancels) view.choice = kChosenPath;
  ArchiveSession session;

  EXPECT_EQ(OpenStartupArchive(kOwnPath, session, files, view), c.result);

  EXPECT_EQ(view.chooserShown, c.chooserShown);
  std::vector<std::u16string> texts;
  for (const Message& message : view.messages) {
    texts.push_back(message.text);
    EXPECT_EQ(message.caption, text::kCaptionError);
    EXPECT_EQ(message.flags, kMbIconError);
    EXPECT_FALSE(message.ownedByDialog);
  }
  EXPECT_EQ(texts,
            c.message ? std::vector<std::u16string>{c.message} : std::vector<std::u16string>{});
  EXPECT_EQ(view.ended, c.ended);
  std::vector<std::u16string> names;
  for (const auto& [index, entry] : session.catalog) names.push_back(entry.name);
  EXPECT_EQ(names, c.entries);
  if (!c.ended) {
    EXPECT_EQ(view.items.size(), c.entries.size()) << "one list item per entry";
  }
  EXPECT_EQ(view.destination, c.destination);
  // A shown dialog is finished: a password of at most 16 units, a list that fits its lines.
  EXPECT_EQ(view.passwordLimit, c.ended ? 0u : 16u);
  EXPECT_EQ(view.fitted, !c.ended);
}

const std::vector<uint8_t> kOwnArchive = Archive({u"свой.txt", u"папка\\второй.txt"});
const std::vector<uint8_t> kChosenArchive = Archive({u"выбранный.txt"});

INSTANTIATE_TEST_SUITE_P(Cases, StartupTest,
                         ::testing::Values(StartupCase{"SelfExtracting",
                                                       Program(kOwnArchive),
                                                       kChosenArchive,
                                                       false,
                                                       StartupResult::kOpened,
                                                       false,
                                                       nullptr,
                                                       false,
                                                       {u"свой.txt", u"папка\\второй.txt"},
                                                       u"C:\\Программы\\"},
                                           StartupCase{"PlainProgramThenChosen",
                                                       Program(),
                                                       kChosenArchive,
                                                       false,
                                                       StartupResult::kOpened,
                                                       true,
                                                       nullptr,
                                                       false,
                                                       {u"выбранный.txt"},
                                                       u"D:\\Архивы\\"},
                                           StartupCase{"DamagedTailIsDroppedSilently",
                                                       Program(WithWrongTotals(kOwnArchive)),
                                                       kChosenArchive,
                                                       false,
                                                       StartupResult::kOpened,
                                                       true,
                                                       nullptr,
                                                       false,
                                                       {u"выбранный.txt"},
                                                       u"D:\\Архивы\\"},
                                           StartupCase{"ChoiceCancelled",
                                                       Program(),
                                                       kChosenArchive,
                                                       true,
                                                       StartupResult::kChoiceFailed,
                                                       true,
                                                       nullptr,
                                                       true,
                                                       {},
                                                       u"C:\\Программы\\"},
                                           StartupCase{"ChosenFileDamaged",
                                                       Program(),
                                                       WithWrongTotals(kChosenArchive),
                                                       false,
                                                       StartupResult::kChoiceFailed,
                                                       true,
                                                       text::kArchiveReadFailed,
                                                       true,
                                                       {u"выбранный.txt"},
                                                       u"D:\\Архивы\\"},
                                           StartupCase{"ChosenFileNoArchiveAtAll",
                                                       Program(),
                                                       Bytes("short"),
                                                       false,
                                                       StartupResult::kChoiceFailed,
                                                       true,
                                                       text::kArchiveReadFailed,
                                                       true,
                                                       {},
                                                       u"D:\\Архивы\\"},
                                           StartupCase{"ChosenFileCannotBeOpened",
                                                       Program(),
                                                       std::nullopt,
                                                       false,
                                                       StartupResult::kOpenFailed,
                                                       true,
                                                       text::kOpenFailed,
                                                       true,
                                                       {},
                                                       u"C:\\Программы\\"},
                                           StartupCase{"ProgramFileCannotBeOpened",
                                                       std::nullopt,
                                                       kChosenArchive,
                                                       false,
                                                       StartupResult::kOpenFailed,
                                                       false,
                                                       text::kOpenFailed,
                                                       true,
                                                       {},
                                                       u""}),
                         [](const ::testing::TestParamInfo<StartupCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace ozr
