// Images formatted by the program itself ("ptf") for both flash types and
// several sizes mount again: sequence, free count, erased free clusters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ffs/ffs.h"
#include "ffs/nor/mount.h"
#include "tests/ffs/nor/test_flash.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

using namespace nor;

namespace {

struct Case {
  const char* type;
  uint32_t sector_size;
  uint32_t sectors;
  uint32_t cluster_size;
};

}  // namespace

class PtfImage : public ::testing::TestWithParam<Case> {};

TEST_P(PtfImage, MountsAgainWithEveryFreeClusterErased) {
  const Case c = GetParam();
  testsupport::TempDir dir;
  std::system(("mkdir -p '" + (dir / "tree") + "'").c_str());
  const uint32_t size = c.sector_size * c.sectors;
  const auto r = testsupport::RunProcess({VOREL_BINARY, "-dir:ptf", "-src:" + (dir / "tree"),
                                          "-dst:" + (dir / "o.img"), "-size:" + std::to_string(size),
                                          std::string("-flashType:") + c.type});
  ASSERT_EQ(r.out.rfind("Format Volume TmpDisc \nMount Volume TmpDisc \n", 0), 0u) << r.out;
  const std::string bytes = testsupport::ReadFile(dir / "o.img");
  ASSERT_EQ(bytes.size(), size);

  nortest::TestFlash f(c.sector_size, c.sectors);
  ASSERT_EQ(f.geo.cluster_size, c.cluster_size);
  f.Load(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  std::unique_ptr<Volume> v = Mount(&f.record, kMountNoReclaim);
  ASSERT_NE(v, nullptr) << ffs_errno();
  // The format's checkpoint, then the final commit of the unmount.
  EXPECT_EQ(v->sequence, 2u);
  EXPECT_TRUE(v->clean);
  // The checkpoint's sector and the sector the first mount queued for
  // recycling (recorded as dirty, still erased) are off the free list.
  EXPECT_EQ(v->free_count, (c.sectors - 2) * f.geo.DataClustersPerSector());
  ASSERT_LT(v->recycle_queue[0], c.sectors);
  EXPECT_EQ(v->sectors[v->recycle_queue[0]].used, 0u);
  // Both checkpoints lie in sector 0, the first whole free sector at format.
  EXPECT_EQ(f.geo.SectorOf(v->checkpoint_first), 0u);
  EXPECT_GT(v->checkpoint_first, f.geo.FirstDataCluster(0));
  EXPECT_EQ(v->max_erase, 0u);
  for (uint16_t cluster : v->FreeList()) {
    bool erased = false;
    v->IsClusterErased(cluster, erased);
    ASSERT_TRUE(erased) << cluster;
  }
  EXPECT_EQ(std::string(v->nodes.Root()->name), "TmpDisc");
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PtfImage,
    ::testing::Values(Case{"MX29LV640B", 65536, 4, 512}, Case{"MX29LV640B", 65536, 64, 512},
                      Case{"MX29LV640B", 65536, 128, 512}, Case{"MX29LV640B", 65536, 512, 1024},
                      Case{"M29W256G", 131072, 4, 512}, Case{"M29W256G", 131072, 32, 512},
                      Case{"M29W256G", 131072, 64, 512}, Case{"M29W256G", 131072, 256, 1024}));

// The image a "ptf" run leaves holds an empty volume: "ftp" mounts it and
// finds nothing to copy.
TEST(PtfImageThenFtp, ReportsTheEmptyImage) {
  testsupport::TempDir dir;
  std::system(("mkdir -p '" + (dir / "tree") + "'").c_str());
  testsupport::RunProcess({VOREL_BINARY, "-dir:ptf", "-src:" + (dir / "tree"), "-dst:" + (dir / "o.img"),
                           "-size:262144", "-flashType:MX29LV640B"});
  const auto r = testsupport::RunProcess({VOREL_BINARY, "-dir:ftp", "-src:" + (dir / "o.img"),
                                          "-dst:" + (dir / "out"), "-flashType:MX29LV640B"});
  EXPECT_NE(r.out.find("The input image is empty or you have selected the wrong flash type!"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("Could not mount volume"), std::string::npos) << r.out;
}
