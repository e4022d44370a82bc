// The option scanner on whole command lines and the rebuilt process command
// line that it reads back.
#include <gtest/gtest.h>

#include "hostcli/command_line_options.h"

namespace hostcli {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries Scan(const std::string& line) { return CommandLineOptions(line).Entries(); }

TEST(CommandLineScanner, PlainOptionsAfterProgramPath) {
  EXPECT_EQ(Scan("vorel -dir:ptf -src:a -dst:b.img -size:4194304 -flashType:M29W256G"),
            (Entries{{"dir", "ptf"}, {"src", "a"}, {"dst", "b.img"}, {"size", "4194304"},
                     {"flashtype", "M29W256G"}}));
}

TEST(CommandLineScanner, ProgramPathWithDashesAndSlashesGivesKeysOfItsOwn) {
  // Every '-' or '/' starts a key; the program path's pieces become keys too.
  EXPECT_EQ(Scan("/opt/my-tools/vorel -dir:ftp"),
            (Entries{{"opt/my-tools/vorel", ""}, {"dir", "ftp"}}));
  // A colon inside the program path ends a key and starts a value.
  EXPECT_EQ(Scan("/home/a:b/vor-el -dir:ftp"),
            (Entries{{"home/a", "b/vor-el"}, {"dir", "ftp"}}));
}

TEST(CommandLineScanner, KeysAreLowerCasedValuesKeepTheirCase) {
  EXPECT_EQ(Scan("x -DIR:PTF -FlashType:m29w256g"),
            (Entries{{"dir", "PTF"}, {"flashtype", "m29w256g"}}));
}

TEST(CommandLineScanner, FirstOccurrenceWins) {
  EXPECT_EQ(Scan("x -dir:ftp -Dir:ptf"), (Entries{{"dir", "ftp"}}));
}

TEST(CommandLineScanner, SlashStartsAKeyLikeDash) {
  EXPECT_EQ(Scan("x /dir:ptf"), (Entries{{"dir", "ptf"}}));
}

TEST(CommandLineScanner, QuotedValueKeepsBlanksAndDashes) {
  EXPECT_EQ(Scan("x -src:\"my dir/-a b\" -dst:c"),
            (Entries{{"src", "my dir/-a b"}, {"dst", "c"}}));
}

TEST(CommandLineScanner, UnterminatedQuoteTakesTheRestOfTheLine) {
  EXPECT_EQ(Scan("x -src:\"my dir -dst:c"), (Entries{{"src", "my dir -dst:c"}}));
}

TEST(CommandLineScanner, EmptyValues) {
  EXPECT_EQ(Scan("x -src:"), (Entries{{"src", ""}}));
  EXPECT_EQ(Scan("x -src -dst:b"), (Entries{{"src", ""}, {"dst", "b"}}));
  EXPECT_EQ(Scan("x -src: -dst:b"), (Entries{{"src", ""}, {"dst", "b"}}));
  EXPECT_EQ(Scan("x -verbose"), (Entries{{"verbose", ""}}));
}

TEST(CommandLineScanner, UnquotedValueEndsAtBlankAndIsNotScannedForKeys) {
  EXPECT_EQ(Scan("x -src:a-b/c -dst:d"), (Entries{{"src", "a-b/c"}, {"dst", "d"}}));
}

TEST(CommandLineScanner, EmptyKeyWithValueIsDropped) {
  EXPECT_EQ(Scan("x -:abc -dir:ptf"), (Entries{{"dir", "ptf"}}));
  EXPECT_EQ(Scan("x -:abc"), Entries{});
}

TEST(CommandLineScanner, TrailingDashAndEmptyLine) {
  EXPECT_EQ(Scan("x -"), Entries{});
  EXPECT_EQ(Scan(""), Entries{});
  EXPECT_EQ(Scan("no options at all"), Entries{});
}

TEST(CommandLineScanner, ValueEndingInQuoteAtEndOfLine) {
  EXPECT_EQ(Scan("x -src:\""), (Entries{{"src", ""}}));
  EXPECT_EQ(Scan("x -src:\"a\""), (Entries{{"src", "a"}}));
}

TEST(ProcessCommandLine, ArgumentsJoinedByOneBlank) {
  const char* argv[] = {"/bin/vorel", "-dir:ptf", "-src:a"};
  EXPECT_EQ(ProcessCommandLine(3, argv), "/bin/vorel -dir:ptf -src:a");
}

TEST(ProcessCommandLine, BlanksInValuesAreQuotedAfterTheColonAndScanBack) {
  const char* argv[] = {"vorel", "-src:my dir", "-dst:x y.img", "plain arg"};
  const std::string line = ProcessCommandLine(4, argv);
  EXPECT_EQ(line, "vorel -src:\"my dir\" -dst:\"x y.img\" \"plain arg\"");
  const CommandLineOptions options(line);
  EXPECT_EQ(options.Value("src"), "my dir");
  EXPECT_EQ(options.Value("dst"), "x y.img");
}

}  // namespace
}  // namespace hostcli
