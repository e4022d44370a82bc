// The size rule of vorel's command line (the scanner's own tests are in
// tests/hostcli/).
#include <gtest/gtest.h>

#include "converter/command_line.h"

namespace vorel {
namespace {

TEST(VolumeSize, DecimalWithLeadingWhiteSpaceStopsAtFirstOtherCharacter) {
  EXPECT_EQ(ParseVolumeSize("4194304"), 4194304);
  EXPECT_EQ(ParseVolumeSize("  262144"), 262144);
  EXPECT_EQ(ParseVolumeSize("+65536"), 65536);
  EXPECT_EQ(ParseVolumeSize("1048576abc"), 1048576);
  EXPECT_EQ(ParseVolumeSize("2147483647"), 2147483647);
}

TEST(VolumeSize, BadInputIsZero) {
  EXPECT_EQ(ParseVolumeSize(""), 0);
  EXPECT_EQ(ParseVolumeSize("abc"), 0);
  EXPECT_EQ(ParseVolumeSize("-4194304"), 0);
  EXPECT_EQ(ParseVolumeSize("-1"), 0);
  EXPECT_EQ(ParseVolumeSize("2147483648"), 0);
  EXPECT_EQ(ParseVolumeSize("99999999999999999999"), 0);
  EXPECT_EQ(ParseVolumeSize("+"), 0);
}

}  // namespace
}  // namespace vorel
