// The command line: what each form means, and the exact message of each mistake.
#include "cli/arguments.h"

#include <gtest/gtest.h>

#include "base/fill_in.h"
#include "base/texts.h"
#include "base/utf.h"
#include "cli/cli_texts.h"

namespace ozr::cli {
namespace {

using Kind = ParsedCommandLine::Kind;

struct UsageCase {
  std::vector<std::string> args;
  std::u16string message;
  const char16_t* more;  // the help to read more in: the command's or the general one
};

std::u16string SeeHelp(const char16_t* command) { return FillIn(text::kSeeHelp, command); }

TEST(ParseCommandLine, MistakesAreUsageErrorsWithTheirMessage) {
  const std::string password17(17, 'x');
  const std::string emoji9 = "😀😀😀😀😀😀😀😀😀";  // 18 UTF-16 units
  const std::vector<UsageCase> cases = {
      {{}, text::kNoCommand, text::kSeeGeneralHelp},
      {{"frobnicate"}, FillIn(text::kUnknownCommand, u"frobnicate"), text::kSeeGeneralHelp},
      {{"--verbose"}, FillIn(text::kUnknownArgument, u"--verbose"), text::kSeeGeneralHelp},
      {{"list"}, text::kNoArchive, u"list"},
      {{"list", "a.ozr", "b.ozr"}, FillIn(text::kUnknownArgument, u"b.ozr"), u"list"},
      {{"list", "a.ozr", "-p", "x"}, FillIn(text::kUnknownArgument, u"-p"), u"list"},
      {{"test"}, text::kNoArchive, u"test"},
      {{"extract", "a.ozr", "-o"}, FillIn(text::kMissingValue, u"--output"), u"extract"},
      {{"extract", "a.ozr", "x1"}, FillIn(text::kBadIndex, u"x1"), u"extract"},
      {{"extract", "a.ozr", "2147483648"}, FillIn(text::kBadIndex, u"2147483648"), u"extract"},
      {{"extract", "a.ozr", "4294967296"}, FillIn(text::kBadIndex, u"4294967296"), u"extract"},
      {{"extract", "a.ozr", "list"}, FillIn(text::kBadIndex, u"list"), u"extract"},
      {{"test", "a.ozr", "--", "-1"}, FillIn(text::kBadIndex, u"-1"), u"test"},
      {{"extract", "a.ozr", "--overwrite", "always"},
       FillIn(text::kBadOverwrite, u"always"),
       u"extract"},
      {{"test", "a.ozr", "-p", password17}, ozr::text::kPackPasswordTooLong, u"test"},
      {{"extract", "a.ozr", "-p", emoji9}, ozr::text::kPackPasswordTooLong, u"extract"},
      {{"pack"}, text::kNoOutput, u"pack"},
      {{"pack", "x.ozr"}, text::kNoInputs, u"pack"},
      {{"pack", "x.ozr", "d", "-l", "10"}, ozr::text::kPackLevelRange, u"pack"},
      {{"pack", "x.ozr", "d", "-l", "5x"}, ozr::text::kPackLevelRange, u"pack"},
      {{"pack", "x.ozr", "d", "--title", ""}, ozr::text::kPackTitleLength, u"pack"},
      {{"pack", "x.ozr", "d", "--title", std::string(65, 't')},
       ozr::text::kPackTitleLength,
       u"pack"},
      {{"pack", "x.ozr", "d", "--comment", std::string(200, 'c') + std::string(28, '\n')},
       ozr::text::kPackCommentTooLong,
       u"pack"},
      {{"pack", "x.ozr", "d", "-p", ""}, ozr::text::kEnterPassword, u"pack"},
      {{"pack", "x.ozr", "d", "-p", password17}, ozr::text::kPackPasswordTooLong, u"pack"},
      {{"pack", "x.ozr", "d", "--stub", "u.exe"}, text::kStubNeedsSfx, u"pack"},
  };
  for (const UsageCase& c : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(c.args);
    const std::u16string more =
        c.more == std::u16string(text::kSeeGeneralHelp) ? c.more : SeeHelp(c.more);
    EXPECT_EQ(parsed.kind, Kind::kUsageError) << ToUtf8(c.message);
    EXPECT_EQ(parsed.text, c.message + u"\n" + more + u"\n");
  }
}

TEST(ParseCommandLine, HelpWinsOverEverythingElse) {
  const std::vector<std::pair<std::vector<std::string>, const char16_t*>> cases = {
      {{"--help"}, text::kHelp},
      {{"-h"}, text::kHelp},
      {{"list", "-h"}, text::kListHelp},
      {{"test", "--help"}, text::kTestHelp},
      {{"extract", "a.ozr", "9", "--help"}, text::kExtractHelp},
      {{"pack", "--help", "-l", "77"}, text::kPackHelp},
  };
  for (const auto& [args, help] : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(args);
    EXPECT_EQ(parsed.kind, Kind::kHelp);
    EXPECT_EQ(parsed.text, help);
  }
}

TEST(ParseCommandLine, ExtractTakesOptionsAnywhereAndSortsIndices) {
  const ParsedCommandLine parsed =
      ParseCommandLine({"extract", "-o", "папка", "архив.ozr", "3", "1", "3", "--overwrite", "yes",
                        "-q", "-p", "пароль", "0"});
  ASSERT_EQ(parsed.kind, Kind::kRun) << ToUtf8(parsed.text);
  const Arguments& a = parsed.arguments;
  EXPECT_EQ(a.command, Command::kExtract);
  EXPECT_EQ(a.archive, u"архив.ozr");
  EXPECT_EQ(a.indices, (std::vector<int32_t>{0, 1, 3}));
  EXPECT_EQ(a.outputFolder, u"папка");
  EXPECT_EQ(a.overwrite, OverwriteMode::kYes);
  EXPECT_EQ(a.password, u"пароль");
  EXPECT_TRUE(a.quiet);
}

TEST(ParseCommandLine, UnsetOptionsStayUnset) {
  const ParsedCommandLine parsed = ParseCommandLine({"extract", "a.ozr"});
  ASSERT_EQ(parsed.kind, Kind::kRun);
  EXPECT_FALSE(parsed.arguments.password.has_value());
  EXPECT_FALSE(parsed.arguments.overwrite.has_value());
  EXPECT_FALSE(parsed.arguments.outputFolder.has_value());
  EXPECT_TRUE(parsed.arguments.indices.empty());

  // An empty -p is a password given as empty (the job then asks for one), not a missing one.
  const ParsedCommandLine empty = ParseCommandLine({"test", "a.ozr", "-p", ""});
  ASSERT_EQ(empty.kind, Kind::kRun);
  EXPECT_EQ(empty.arguments.password, u"");
}

TEST(ParseCommandLine, PackTakesCommandNamesAsFileNamesAndMakesCommentLinesCrLf) {
  const ParsedCommandLine parsed =
      ParseCommandLine({"pack", "out.exe", "test", "list", "-l", "0", "--title", "Заголовок",
                        "--comment", "a\nb\r\nc", "--sfx", "--stub", "u.exe", "-p", "😀😀😀😀😀😀😀😀"});
  ASSERT_EQ(parsed.kind, Kind::kRun) << ToUtf8(parsed.text);
  const Arguments& a = parsed.arguments;
  EXPECT_EQ(a.command, Command::kPack);
  EXPECT_EQ(a.output, u"out.exe");
  EXPECT_EQ(a.inputs, (std::vector<std::u16string>{u"test", u"list"}));
  EXPECT_EQ(a.level, 0);
  EXPECT_EQ(a.title, u"Заголовок");
  EXPECT_EQ(a.comment, u"a\r\nb\r\nc");
  EXPECT_TRUE(a.sfx);
  EXPECT_EQ(a.stub, u"u.exe");
  EXPECT_EQ(a.password->size(), 16u);
}

TEST(ParseCommandLine, PackDefaults) {
  const ParsedCommandLine parsed = ParseCommandLine({"pack", "out.ozr", "dir"});
  ASSERT_EQ(parsed.kind, Kind::kRun);
  EXPECT_EQ(parsed.arguments.level, 6);
  EXPECT_FALSE(parsed.arguments.title.has_value());
  EXPECT_FALSE(parsed.arguments.password.has_value());
  EXPECT_FALSE(parsed.arguments.sfx);
}

}  // namespace
}  // namespace ozr::cli
