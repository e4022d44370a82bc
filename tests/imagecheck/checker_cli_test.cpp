// ffsinspect as a program: each command on an image made by vorel, images
// left by an interrupted erase and an interrupted data write, damaged images
// (wrong flash type, zeroed signatures, broken checkpoint, a written free
// cluster), exit codes and messages, and the image file never changing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/imagecheck/checker_images.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace inspecttest;
using testsupport::ReadFile;
using testsupport::TempDir;

testsupport::ProcessResult Inspect(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {FFSINSPECT_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return testsupport::RunProcess(argv);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    out.push_back(text.substr(at, end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return out;
}

// Sector s of the old flash type: signature at s x 65536 + 508.
std::uint64_t SignatureAt(std::uint32_t sector) { return std::uint64_t(sector) * kOldSector + 508; }

class InspectCli : public ::testing::Test {
 protected:
  void SetUp() override { img = MakeSampleImage(dir, "s.img"); }
  // Runs a command and proves that the image file kept its bytes and time.
  testsupport::ProcessResult Run(const std::string& command, const std::string& type = kOld) {
    const std::string before = ReadFile(img);
    const long long mtime = ModifiedNs(img);
    auto r = Inspect({img, "-flashType:" + type, command});
    EXPECT_TRUE(ReadFile(img) == before) << command << ": the image changed";
    EXPECT_EQ(ModifiedNs(img), mtime) << command;
    return r;
  }
  TempDir dir;
  std::string img;
};

TEST_F(InspectCli, ListShowsEveryEntryNewestFirstWithItsInode) {
  const auto r = Run("list");
  EXPECT_EQ(r.exitCode, 0);
  // vorel copies files before directories, in name order: a.txt gets serial
  // 1, d 2, d/b.bin 3. Listings return the newest entry first.
  EXPECT_EQ(r.out,
            "PATH      KIND        SIZE   SERIAL   MODE  LINKS\n"
            "/         dir            0        0  00007  1\n"
            "/d        dir            0        2  00700  1\n"
            "/d/b.bin  file         600        3  00700  1\n"
            "/a.txt    file           5        1  00700  1\n");
  EXPECT_EQ(Inspect({img, "-flashType:" + std::string(kOld)}).out, r.out) << "list is the default";
}

TEST_F(InspectCli, StatShowsGeometryCheckpointAndCounts) {
  const auto r = Run("stat");
  EXPECT_EQ(r.exitCode, 0);
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 9u) << r.out;
  EXPECT_EQ(lines[1], "flash type       MX29LV640B");
  // 1 MiB in 64 KiB sectors: 16 sectors of 128 clusters, one header cluster each.
  EXPECT_EQ(lines[2], "geometry         16 sectors of 65536 bytes, 512-byte clusters, 128 clusters per "
                      "sector, 1 header cluster(s) per sector, 2048 clusters");
  // Formatting wrote checkpoint 1 at cluster 1; the copy's commit wrote 2 behind it.
  EXPECT_EQ(lines[3], "checkpoint       sequence 2, first cluster 2, 1 cluster(s), version 13, clean");
  EXPECT_EQ(lines[4], "checkpoint area  next checkpoint at cluster 3");
  EXPECT_EQ(lines[5], "tree             1 directory besides the root, 2 file(s), 605 bytes in files");
  // a.txt takes one cluster, b.bin two (600 = 512 + 88).
  EXPECT_EQ(lines[6].rfind("clusters         3 used, ", 0), 0u) << lines[6];
  EXPECT_EQ(lines[8].rfind("volume stats     ", 0), 0u) << lines[8];
}

TEST_F(InspectCli, SectorsMapsEverySectorAndTheSpread) {
  const auto r = Run("sectors");
  EXPECT_EQ(r.exitCode, 0);
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 18u) << r.out;
  EXPECT_EQ(lines[0], "SECTOR  ERASES     READS   USED   CKPT  DIRTY   FREE  HEADER  ROLE             SIGNATURE");
  // The first checkpoints and their area fill sector 0. With no sector worth
  // recycling, the mount before the copy filled the recycling queue from the
  // free list: sector 1 (the free head's) left the list with its 127 data
  // clusters dirty, so the data starts in sector 2: 3 used, 124 free.
  EXPECT_NE(lines[1].find("checkpoint+area  QM13"), std::string::npos) << lines[1];
  EXPECT_EQ(lines[2], "     1       0         0      0      0    127      0       1  -                QM13");
  EXPECT_EQ(lines[3], "     2       0         0      3      0      0    124       1  -                QM13");
  EXPECT_EQ(lines[4], "     3       0         0      0      0      0    127       1  -                QM13");
  EXPECT_EQ(lines[16], "    15       0         0      0      0      0    127       1  -                QM13");
  EXPECT_EQ(lines[17], "erase counts: lowest 0, highest 0, spread 0");
}

TEST_F(InspectCli, CheckPassesOnAVorelImageOfEitherFlashType) {
  auto r = Run("check");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out, "check: every invariant holds\n");
  img = MakeSampleImage(dir, "n.img", kNew, 4 * kMiB);
  r = Run("check", kNew);
  EXPECT_EQ(r.exitCode, 0) << r.out;
}

TEST_F(InspectCli, TheStartBitmapAndFormatMarkLieWhereTheTestsExpect) {
  // Sector 0's bitmap: clusters 1 (first checkpoint) and 2 (the newest, one
  // cluster long) are marked, bits 6 and 5 of byte 0 cleared.
  EXPECT_EQ(ReadAt(img, 0, 1), "\x9F");
  // The newest checkpoint at cluster 2: 36 header bytes, 8 erase-count bytes,
  // then the format mark 0x514D3133, little-endian.
  EXPECT_EQ(ReadAt(img, 2 * 512 + 44, 4), "\x33\x31\x4D\x51");
}

TEST_F(InspectCli, WrongFlashTypeDoesNotMount) {
  const auto r = Run("check", kNew);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "Error: the image does not mount: ENXIO (6)\n");
}

// Two unsigned sectors end the mount: EINVAL when the second is sector 1
// (a blank image), ENXIO otherwise.
TEST_F(InspectCli, TwoZeroedSignaturesDoNotMount) {
  const std::string original = ReadFile(img);
  struct Case {
    std::uint32_t first, second;
    const char* command;
    const char* error;
  };
  for (const Case& c : {Case{0, 1, "stat", "EINVAL (22)"}, Case{5, 9, "sectors", "ENXIO (6)"}}) {
    testsupport::WriteFile(img, original);
    WriteAt(img, SignatureAt(c.first), std::string(4, '\0'));
    WriteAt(img, SignatureAt(c.second), std::string(4, '\0'));
    const auto r = Run(c.command);
    EXPECT_EQ(r.exitCode, 2) << c.first;
    EXPECT_EQ(r.out, std::string("Error: the image does not mount: ") + c.error + "\n");
  }
}

TEST_F(InspectCli, AnEraseCutShortIsRepairedInMemoryOnly) {
  // An erase cut after the signature was zeroed: sector 7 (free) reads 00000000.
  WriteAt(img, SignatureAt(7), std::string(4, '\0'));
  auto r = Run("sectors");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  const auto lines = Lines(r.out);
  ASSERT_GE(lines.size(), 18u);
  // Mount erased it again (in the private view): one erase more.
  EXPECT_EQ(lines[8], "     7       1         0      0      0      0    127       1  -                zeroed (QM13 after mount)");
  EXPECT_EQ(lines[17], "erase counts: lowest 0, highest 1, spread 1");
  r = Run("check");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ReadAt(img, SignatureAt(7), 4), std::string(4, '\0'));
}

TEST_F(InspectCli, ABrokenFormatMarkIsEnxio) {
  WriteAt(img, 2 * 512 + 44, "\x39\x39");  // version 99
  const auto r = Run("list");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "Error: the image does not mount: ENXIO (6)\n");
}

TEST_F(InspectCli, NoCheckpointStartIsEinval) {
  WriteAt(img, 0, "\xFF");  // both start bits of sector 0 back to 1
  const auto r = Run("check");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "Error: the image does not mount: EINVAL (22)\n");
}

TEST_F(InspectCli, AWrittenFreeClusterBehindACleanCheckpointIsAViolation) {
  // Cluster 328 (sector 2, far behind the data at 257..259) is free; the
  // checkpoint is clean, so mount trusts the free list without testing it.
  WriteAt(img, 328 * 512 + 17, std::string(1, '\0'));
  const auto r = Run("check");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "free cluster 328 is not erased\ncheck: 1 violation(s)\n");
}

TEST_F(InspectCli, AnInterruptedDataWriteIsRecoveredAtMount) {
  // Data reached the free head (cluster 260, after the three data clusters
  // 257..259) and the clean mark was set, but no commit followed.
  WriteAt(img, 260 * 512, std::string(100, 'x'));
  WriteAt(img, 2 * 512 + 511, std::string(1, '\0'));  // the clean mark: last byte of cluster 2
  auto r = Run("check");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  r = Run("stat");
  // Recovery took the written cluster out of circulation and committed in memory.
  EXPECT_NE(r.out.find("clean"), std::string::npos);
  r = Run("list");
  EXPECT_EQ(Lines(r.out).size(), 5u) << r.out;
}

TEST_F(InspectCli, ACommitCutShortInItsAreaIsRecoveredAtMount) {
  // A data write set the clean mark, then a commit wrote part of checkpoint 3
  // into the area (cluster 3) and lost power before its start bit.
  WriteAt(img, 2 * 512 + 511, std::string(1, '\0'));
  WriteAt(img, 3 * 512, std::string(300, '\x11'));
  auto r = Run("check");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  r = Run("stat");
  const auto lines = Lines(r.out);
  ASSERT_GE(lines.size(), 5u);
  // The area is kept: the repair commit goes behind the cluster the cut
  // commit wrote (cluster 4), so no whole free sector is needed for it.
  EXPECT_EQ(lines[3], "checkpoint       sequence 3, first cluster 4, 1 cluster(s), version 13, clean");
  EXPECT_EQ(lines[4], "checkpoint area  next checkpoint at cluster 5");
}

TEST_F(InspectCli, CommandLineErrors) {
  auto r = Inspect({});
  EXPECT_EQ(r.exitCode, 3);
  const std::string usage =
      "Usage: ffsinspect IMAGE -flashType:MX29LV640B|M29W256G [list|check|sectors|stat]\n";
  EXPECT_EQ(r.out, "Error: no image file given\n" + usage);
  r = Inspect({img});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, "Error:   flash type (flashType:MX29LV640B, M29W256G) not specified!\n" + usage);
  r = Inspect({img, "-flashType:mx29lv640b"});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, "Error:   flashtype parameter does not exist!\n" + usage);
  r = Inspect({img, "-FLASHTYPE:" + std::string(kOld), "-flashType:nonsense", "check"});
  EXPECT_EQ(r.exitCode, 0) << "keys ignore case; the first occurrence wins\n" << r.out;
  r = Inspect({img, "-flashType:" + std::string(kOld), "verify"});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, "Error: unknown command verify (list, check, sectors or stat)\n" + usage);
  r = Inspect({img, "-flashType:" + std::string(kOld), "-size:4"});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, "Error: unknown option -size\n" + usage);
  r = Inspect({img, "-flashType:" + std::string(kOld), "list", "extra"});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, "Error: more than one image and one command given\n" + usage);
}

TEST_F(InspectCli, FilesThatAreNoImage) {
  const std::string missing = dir / "missing.img";
  auto r = Inspect({missing, "-flashType:" + std::string(kOld)});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, "Error: cannot read image file " + missing + "\n");
  EXPECT_FALSE(std::filesystem::exists(missing)) << "never created";
  r = Inspect({dir.path(), "-flashType:" + std::string(kOld)});
  EXPECT_EQ(r.exitCode, 3);
  const std::string small = dir / "small.img";
  testsupport::WriteFile(small, std::string(3 * kOldSector + 100, '\xFF'));
  r = Inspect({small, "-flashType:" + std::string(kOld), "check"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "Error: image " + small + " holds 3 sectors of 65536 bytes; a volume needs at least 4\n");
  const std::string blank = dir / "blank.img";
  testsupport::WriteFile(blank, std::string(4 * kOldSector, '\xFF'));
  r = Inspect({blank, "-flashType:" + std::string(kOld), "check"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "Error: the image does not mount: EINVAL (22)\n");
  EXPECT_EQ(ReadFile(blank), std::string(4 * kOldSector, '\xFF'));
}

}  // namespace
