// vorel as a process: complete standard output and exit status of every
// validation failure, the banner and help text, and the path checks of both
// directions up to the point where the volume is created.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::ProcessOptions;
using testsupport::ProcessResult;
using testsupport::TempDir;

const std::string kBanner = "\n--------------------VoRel ---build No: 46479----------\n\n";
const std::string kBlank = std::string(58, ' ') + "\n";
const std::string kHelpHeader = "\n-------------------- VoRel Help ------------------------------\n";
const std::string kHelp =
    "\n" "VoRel: Murvex Image Converter\n" "\n" + kHelpHeader + "\n"
    "Parameter: Transfer Direction   <dir>                     \n" + kBlank +
    "Arguments: from PC To FFS       <ptf>                     \n"
    "           from FFS To PC       <ftp>                     \n" + kBlank +
    "Parameter: Source (path)        <src>                     \n"
    "           Destination (path)   <dst>                     \n"
    "           VolumeSize (for ptf) <size>                    \n"
    "           FlashType            <old: MX29LV640B, new: M29W256G>    \n" + kBlank + kBlank +
    "Example:                                                  \n"
    "  vorel -dir:ptf -src:C:/temp/disk1 -dst:Data.abc -size:4194304 -flashType:MX29LV640B\n"
    "  vorel -dir:ftp -src:C:Data.abc    -dst:testDisk -flashType:M29W256G\n" + kBlank +
    "Absolute and relative paths are supported.                \n" + kHelpHeader;

std::string WithHelp(const std::string& message) { return kBanner + "Error: " + message + "\n" + kHelp; }

const std::string kMountFailed = "Error: Could not mount volume\n";

class VorelCli : public ::testing::Test {
 protected:
  ProcessResult Run(std::vector<std::string> args, ProcessOptions options = {}) {
    args.insert(args.begin(), VOREL_BINARY);
    if (options.workingDirectory.empty()) options.workingDirectory = dir.path();
    options.setEnv.emplace("TEMP", dir.path());
    return testsupport::RunProcess(args, options);
  }
  void ExpectFailure(const ProcessResult& r, const std::string& out) {
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exitCode, 255);
  }
  std::string MakeDir(const std::string& name) {
    const std::string path = dir / name;
    std::filesystem::create_directories(path);
    return path;
  }
  TempDir dir;
};

// Validation, in its order.

TEST_F(VorelCli, EmptyCommandLineReportsNoParameter) {
  ProcessOptions o;
  o.executable = VOREL_BINARY;
  o.workingDirectory = dir.path();
  const auto r = testsupport::RunProcess({""}, o);
  ExpectFailure(r, WithHelp("  no parameter found"));
}

TEST_F(VorelCli, MissingDirection) {
  ExpectFailure(Run({}), WithHelp("  direction parameter (dir:ptf, ftp) not found !"));
  ExpectFailure(Run({"-src:a", "-dst:b"}), WithHelp("  direction parameter (dir:ptf, ftp) not found !"));
}

TEST_F(VorelCli, DirectionValueIsCaseSensitiveKeyIsNot) {
  ExpectFailure(Run({"-dir:PTF", "-flashType:MX29LV640B"}), WithHelp("  direction parameter not correct !"));
  ExpectFailure(Run({"-dir:xyz"}), WithHelp("  direction parameter not correct !"));
  ExpectFailure(Run({"-dir:"}), WithHelp("  direction parameter not correct !"));
  // Capital key accepted: validation goes on to the flash type.
  ExpectFailure(Run({"-DIR:ptf"}), WithHelp("  flash type (flashType:MX29LV640B, M29W256G) not specified!"));
}

TEST_F(VorelCli, FlashTypeMissingOrUnknown) {
  ExpectFailure(Run({"-dir:ftp", "-src:a", "-dst:b"}),
                WithHelp("  flash type (flashType:MX29LV640B, M29W256G) not specified!"));
  // Unknown or lower-case value: the one message without banner, newline or help.
  ExpectFailure(Run({"-dir:ftp", "-flashType:m29w256g"}), "Error:   flashtype parameter does not exist!");
  ExpectFailure(Run({"-dir:ftp", "-flashType:"}), "Error:   flashtype parameter does not exist!");
}

TEST_F(VorelCli, SourceMissingOrEmpty) {
  ExpectFailure(Run({"-dir:ptf", "-flashType:M29W256G", "-dst:b"}),
                WithHelp("  source parameter (src:) not entered !"));
  ExpectFailure(Run({"-dir:ptf", "-flashType:M29W256G", "-dst:b", "-src:"}),
                WithHelp("  source parameter is empty !"));
  ExpectFailure(Run({"-dir:ptf", "-flashType:M29W256G", "-src:", "-dst:b"}),
                WithHelp("  source parameter is empty !"));
  ExpectFailure(Run({"-dir:ptf", "-flashType:M29W256G", "-src", "-dst:b"}),
                WithHelp("  source parameter is empty !"));
}

TEST_F(VorelCli, TargetMissingOrEmpty) {
  ExpectFailure(Run({"-dir:ptf", "-flashType:M29W256G", "-src:a"}),
                WithHelp("  target parameter (dst:) not entered !"));
  ExpectFailure(Run({"-dir:ptf", "-flashType:M29W256G", "-src:a", "-dst:"}),
                WithHelp("  target parameter is empty !"));
}

TEST_F(VorelCli, SizeRequiredForPtfOnly) {
  ExpectFailure(Run({"-dir:ptf", "-flashType:M29W256G", "-src:a", "-dst:b"}),
                WithHelp("  VolumeSize parameter (size:) not found !"));
  // "ftp" needs no size; it goes on to the source check.
  ExpectFailure(Run({"-dir:ftp", "-flashType:M29W256G", "-src:missing.img", "-dst:b"}),
                "Error:   Source path name not valid!\n");
  ExpectFailure(Run({"-dir:ftp", "-flashType:M29W256G", "-src:missing.img", "-dst:b", "-size:junk"}),
                "Error:   Source path name not valid!\n");
}

TEST_F(VorelCli, ValidationOrderReportsTheFirstFailureOnly) {
  // Bad direction and missing everything else: the direction is reported.
  ExpectFailure(Run({"-dir:sideways", "-src:"}), WithHelp("  direction parameter not correct !"));
  // Missing flash type is reported before the empty source.
  ExpectFailure(Run({"-dir:ptf", "-src:"}),
                WithHelp("  flash type (flashType:MX29LV640B, M29W256G) not specified!"));
}

TEST_F(VorelCli, TempDirectoryDeletesDisk2Dat) {
  testsupport::WriteFile(dir / "Disk2.dat", "old scratch");
  Run({"-dir:ftp", "-flashType:M29W256G", "-src:missing.img", "-dst:b"});
  EXPECT_FALSE(std::filesystem::exists(dir / "Disk2.dat"));
}

TEST_F(VorelCli, TempDirectoryFallsBackToTmpThenWorkingDirectory) {
  const std::string tmp = MakeDir("tmpdir");
  testsupport::WriteFile(tmp + "/Disk2.dat", "x");
  testsupport::WriteFile(dir / "Disk2.dat", "x");
  ProcessOptions o;
  o.unsetEnv = {"TEMP"};
  o.setEnv = {{"TMP", tmp}};
  std::vector<std::string> args = {VOREL_BINARY, "-dir:ftp", "-flashType:M29W256G", "-src:none", "-dst:b"};
  o.workingDirectory = dir.path();
  testsupport::RunProcess(args, o);
  EXPECT_FALSE(std::filesystem::exists(tmp + "/Disk2.dat"));
  EXPECT_TRUE(std::filesystem::exists(dir / "Disk2.dat"));
  o.unsetEnv = {"TEMP", "TMP"};
  o.setEnv.clear();
  testsupport::RunProcess(args, o);
  EXPECT_FALSE(std::filesystem::exists(dir / "Disk2.dat"));
}

TEST_F(VorelCli, NoTempPathWhenWorkingDirectoryIsGone) {
  const std::string gone = MakeDir("gone");
  ProcessOptions o;
  o.workingDirectory = gone;
  o.removeWorkingDirectory = true;
  o.unsetEnv = {"TEMP", "TMP"};
  const auto r = testsupport::RunProcess(
      {VOREL_BINARY, "-dir:ftp", "-flashType:M29W256G", "-src:a", "-dst:b"}, o);
  ExpectFailure(r, "Error:   Vorel: Could not build temp path\n");
}

TEST_F(VorelCli, RelativePathCannotBeMadeAbsoluteWhenWorkingDirectoryIsGone) {
  const std::string gone = MakeDir("gone");
  ProcessOptions o;
  o.workingDirectory = gone;
  o.removeWorkingDirectory = true;
  o.setEnv = {{"TEMP", dir.path()}};
  const auto r = testsupport::RunProcess(
      {VOREL_BINARY, "-dir:ptf", "-flashType:M29W256G", "-src:tree", "-dst:b", "-size:1"}, o);
  ExpectFailure(r, "Error:   Could not build absolute path for: tree\n");
}

TEST_F(VorelCli, Disk2DatThatCannotBeDeleted) {
  // Another user's scratch file in a directory we may not write.
  const std::string locked = MakeDir("locked");
  testsupport::WriteFile(locked + "/Disk2.dat", "x");
  chmod(dir.path().c_str(), 0755);
  chmod(locked.c_str(), 0555);
  ProcessOptions o;
  o.runAsUid = 65534;
  o.setEnv = {{"TEMP", locked}};
  o.workingDirectory = "/";
  const auto r = testsupport::RunProcess(
      {VOREL_BINARY, "-dir:ftp", "-flashType:M29W256G", "-src:a", "-dst:b"}, o);
  chmod(locked.c_str(), 0755);
  if (r.exitCode == 0 || r.out.empty()) GTEST_SKIP() << "cannot run the program as another user here";
  ExpectFailure(r, "Error:   Vorel: Could not delete DiskImage file\n");
}

// Scanner edge cases seen through the whole program.

TEST_F(VorelCli, SlashKeysFirstDirectionWinsAndQuotedSourceWithBlanks) {
  const std::string src = MakeDir("my tree");
  // "/dir:ptf" first, so the later "-dir:ftp" is ignored: a "ptf" run whose
  // source with a blank is accepted; it goes on to the volume.
  const auto r = Run({"/dir:ptf", "-dir:ftp", "-src:my tree", "-dst:out.img", "-size:4194304",
                      "-flashType:MX29LV640B"});
  EXPECT_EQ(r.out.rfind("Format Volume TmpDisc \nMount Volume TmpDisc \n", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find(kMountFailed), std::string::npos) << r.out;
}

TEST_F(VorelCli, UnterminatedQuoteSwallowsTheRestOfTheLine) {
  MakeDir("a");
  ExpectFailure(Run({"-dir:ptf", "-flashType:M29W256G", "-size:1", "-src:\"a", "-dst:b"}),
                WithHelp("  target parameter (dst:) not entered !"));
}

// "ptf" path checks.

TEST_F(VorelCli, PtfSourceMustBeADirectory) {
  testsupport::WriteFile(dir / "file", "x");
  ExpectFailure(Run({"-dir:ptf", "-flashType:M29W256G", "-size:262144", "-src:file", "-dst:o.img"}),
                "Error:   Source path not valid !\n");
  ExpectFailure(Run({"-dir:ptf", "-flashType:M29W256G", "-size:262144", "-src:nothing", "-dst:o.img"}),
                "Error:   Source path not valid !\n");
}

TEST_F(VorelCli, PtfDestinationMustNotBeADirectory) {
  MakeDir("tree");
  MakeDir("out");
  ExpectFailure(Run({"-dir:ptf", "-flashType:M29W256G", "-size:262144", "-src:tree", "-dst:out"}),
                "Error: destination path has to be a file name (not a path name)!");
}

// The existing destination is replaced only by an image that mounted: a
// size of fewer than four sectors leaves it as it was.
TEST_F(VorelCli, PtfKeepsAnExistingDestinationWhenTheNewImageFails) {
  MakeDir("tree");
  testsupport::WriteFile(dir / "o.img", "previous image content");
  const auto r = Run({"-dir:ptf", "-flashType:M29W256G", "-size:262144", "-src:tree", "-dst:o.img"});
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(testsupport::ReadFile(dir / "o.img"), "previous image content");
}

TEST_F(VorelCli, PtfWithBadSizeFailsAtMount) {
  MakeDir("tree");
  for (const char* size : {"-size:-4194304", "-size:abc", "-size:", "-size:99999999999"}) {
    const auto r = Run({"-dir:ptf", "-flashType:M29W256G", size, "-src:tree", "-dst:o.img"});
    EXPECT_EQ(r.exitCode, 255) << size;
    EXPECT_NE(r.out.find(kMountFailed), std::string::npos) << size << ": " << r.out;
    // Never a huge file for a negative or overlong size.
    if (std::filesystem::exists(dir / "o.img")) {
      EXPECT_LT(std::filesystem::file_size(dir / "o.img"), 1u << 20) << size;
    }
  }
}

// A new image is created at the requested size, erased, formatted and
// mounted: every sector carries the signature "QM13" at the end of its header.
TEST_F(VorelCli, PtfCreatesAFormattedImageOfTheRequestedSize) {
  MakeDir("tree");
  const auto r = Run({"-dir:ptf", "-flashType:MX29LV640B", "-size:4194304", "-src:tree", "-dst:o.img"});
  ASSERT_EQ(std::filesystem::file_size(dir / "o.img"), 4194304u);
  EXPECT_EQ(r.out.rfind("Format Volume TmpDisc \nMount Volume TmpDisc \n", 0), 0u) << r.out;
  const std::string bytes = testsupport::ReadFile(dir / "o.img");
  for (size_t sector = 0; sector < 64; ++sector) {
    EXPECT_EQ(bytes.substr(sector * 65536 + 508, 4), "QM13") << sector;
  }
}

// "ftp" path checks.

TEST_F(VorelCli, FtpSourceMustBeAnExistingFile) {
  MakeDir("imgdir");
  ExpectFailure(Run({"-dir:ftp", "-flashType:M29W256G", "-src:imgdir", "-dst:out"}),
                "Error:   Source path name not valid!\n");
}

TEST_F(VorelCli, FtpAllZeroImageStopsBeforeMounting) {
  testsupport::WriteFile(dir / "zero.img", std::string(300000, '\0'));
  ExpectFailure(Run({"-dir:ftp", "-flashType:MX29LV640B", "-src:zero.img", "-dst:out"}),
                "Error:   The file " + (dir / "zero.img") + " contains only zero data (000)\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
  testsupport::WriteFile(dir / "empty.img", "");
  ExpectFailure(Run({"-dir:ftp", "-flashType:MX29LV640B", "-src:empty.img", "-dst:out"}),
                "Error:   The file " + (dir / "empty.img") + " contains only zero data (000)\n");
}

TEST_F(VorelCli, FtpNonZeroByteAnywhereGoesOnAndCreatesTheDestination) {
  std::string image(200000, '\0');
  image[199999] = 1;  // the last byte, past the first read block
  testsupport::WriteFile(dir / "late.img", image);
  const auto r = Run({"-dir:ftp", "-flashType:MX29LV640B", "-src:late.img", "-dst:out"});
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out.find("contains only zero data"), std::string::npos) << r.out;
  EXPECT_TRUE(std::filesystem::is_directory(dir / "out"));
}

TEST_F(VorelCli, FtpDestinationThatCannotBeCreated) {
  testsupport::WriteFile(dir / "a.img", "\x01");
  ExpectFailure(Run({"-dir:ftp", "-flashType:M29W256G", "-src:a.img", "-dst:no/such/out"}),
                "Error: Cannot create destination folder!\n");
}

TEST_F(VorelCli, FtpIntoAnExistingDirectoryIsAccepted) {
  testsupport::WriteFile(dir / "a.img", "\x01");
  MakeDir("out");
  const auto r = Run({"-dir:ftp", "-flashType:M29W256G", "-src:a.img", "-dst:out"});
  EXPECT_EQ(r.out.find("Cannot create destination folder"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Destination file should not exist"), std::string::npos) << r.out;
}

}  // namespace
