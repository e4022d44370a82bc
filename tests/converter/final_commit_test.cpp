// The final commit of a run: FlashVolumes::Close answers the file system's
// error number when the unmount could not write the last checkpoint, and a
// ptf run then fails with the checkpoint error instead of reporting success.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "flashimage/flash_volumes.h"
#include "converter/ffs_error_text.h"
#include "converter/run_flow.h"
#include "ffs/ffs.h"
#include "ffs/sector_services.h"
#include "ffs/volume_table.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::TempDir;

// The sector manager's services, except that an unmount asked to commit
// drops the RAM tables and fails as a full volume does.
const FfsSectorServices* g_real = nullptr;

int UnmountWithoutRoom(VolumeRecord* v, int commit) {
  g_real->unmount(v, 0);
  if (!commit) return 0;
  ffs_set_errno(FFS_ENOSPC);
  return -1;
}

class FinalCommit : public ::testing::Test {
 protected:
  void FailFinalCommits() {
    g_real = &ffs_sector_services();
    failing_ = *g_real;
    failing_.unmount = UnmountWithoutRoom;
    ffs_set_sector_services(&failing_);
  }
  void TearDown() override {
    ffs_set_sector_services(nullptr);
    ffs_remove_volume(flashimage::kVolumeName);  // nothing left registered either way
  }
  TempDir dir;
  FfsSectorServices failing_{};
};

TEST_F(FinalCommit, CloseAnswersTheErrorOfTheFinalCommit) {
  for (const bool fail : {false, true}) {
    SCOPED_TRACE(fail ? "failing" : "working");
    flashimage::FlashVolumes v;
    v.SetVolumeFileName(dir / (fail ? "f.img" : "w.img"));
    v.SetVolumeSize(262144);
    v.SetFlashType(static_cast<std::uint32_t>(flashimage::FlashTypeCode::Old));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(v.CreateFlashVolumes(true));
    testing::internal::GetCapturedStdout();
    if (fail) FailFinalCommits();
    EXPECT_EQ(v.Close(), fail ? FFS_ENOSPC : 0);
    EXPECT_EQ(v.Close(), 0);  // closed once only
    EXPECT_FALSE(v.Mounted());
  }
}

// Over a private mapping (ftp, ffsinspect) nothing the unmount could write
// reaches the file: no final commit is asked for, so none can fail the run.
TEST_F(FinalCommit, APrivateMappingClosesWithoutAFinalCommit) {
  {
    flashimage::FlashVolumes made;
    made.SetVolumeFileName(dir / "p.img");
    made.SetVolumeSize(262144);
    made.SetFlashType(static_cast<std::uint32_t>(flashimage::FlashTypeCode::Old));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(made.CreateFlashVolumes(true));
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(made.Close(), 0);
  }
  const std::string before = testsupport::ReadFile(dir / "p.img");
  flashimage::FlashVolumes v;
  v.SetVolumeFileName(dir / "p.img");
  v.SetFlashType(static_cast<std::uint32_t>(flashimage::FlashTypeCode::Old));
  v.SetVolumeSize(262144);
  v.SetVolumeVolatileFlag(false);  // the image is read as it is
  v.SetPrivateMapping(true);
  ASSERT_TRUE(v.CreateFlashVolumes(false));
  FailFinalCommits();
  EXPECT_EQ(v.Close(), 0);
  EXPECT_EQ(testsupport::ReadFile(dir / "p.img"), before);
}

TEST_F(FinalCommit, APtfRunWhoseFinalCommitFailsReportsItAndFails) {
  std::filesystem::create_directories(dir / "src");
  testsupport::WriteFile(dir / "src/a.txt", "kept only in RAM");
  ASSERT_EQ(setenv("TEMP", dir.path().c_str(), 1), 0);
  FailFinalCommits();
  testing::internal::CaptureStdout();
  const int exitCode = vorel::RunVorel("vorel -dir:ptf -src:" + dir / "src" + " -dst:" + dir / "a.img" +
                                       " -size:262144 -flashType:MX29LV640B");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(exitCode, vorel::kExitFailure);
  EXPECT_EQ(out, "Format Volume TmpDisc \nMount Volume TmpDisc \n"
                 "Error:   Could not write the volume's checkpoint: volume full\n");
}

TEST(FfsErrorText, EveryNumberHasItsText) {
  const struct {
    int error;
    const char* text;
  } cases[] = {{FFS_ENOSPC, "volume full"},
               {FFS_EIO, "input/output error"},
               {FFS_EROFS, "read-only volume"},
               {FFS_ENAMETOOLONG, "name longer than 64 bytes"},
               {0, "file system error 0"},
               {99, "file system error 99"}};
  for (const auto& c : cases) EXPECT_EQ(vorel::FfsErrorText(c.error), c.text) << c.error;
}

}  // namespace
