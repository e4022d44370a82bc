// Power loss: a scripted workload (directories, files, appends, rewrites,
// renames, removals, commits) on a small volume that recycles often. A
// reference run records every commit point (the program call that clears a
// checkpoint-start bit) with the image at that moment. Then, for each cut
// point k, the workload runs again on the fresh image with power cut during
// device call k; after a reboot the volume must mount, hold exactly the tree
// of the last commit completed before the cut (or of the one in progress if
// its start bit got written), read back every byte, and take further work.
// FFS_POWER_ROUNDS lengthens the workload and FFS_POWER_CUTS sets how many
// cut points are sampled (0: every one) for a longer campaign by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ffs/ffs.h"
#include "ffs/file_control_block.h"
#include "ffs/module_table.h"
#include "ffs/nor/nor.h"
#include "ffs/volume_table.h"
#include "imagecheck/volume_check.h"
#include "tests/support/power_cut_flash.h"

namespace {

using Tree = std::map<std::string, std::string>;  // path -> content ("<dir>" for directories)
constexpr char kDir[] = "<dir>";
constexpr char kVol[] = "Pl";
constexpr std::uint32_t kSectorSize = 8192;  // 16 clusters of 512 bytes
constexpr std::uint32_t kSectors = 10;

std::uint32_t EnvOr(const char* name, std::uint32_t fallback) {
  const char* v = std::getenv(name);
  return v != nullptr ? static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10)) : fallback;
}

std::string Pattern(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 17 + i / 509) & 0xFF);
  return s;
}

struct Snapshot {
  std::uint64_t call;               // the commit point
  std::vector<std::uint8_t> image;  // the flash right after it
  Tree tree;
};

class PowerLoss : public ::testing::Test {
 protected:
  void SetUp() override { ffs_start(); }
  void TearDown() override { Drop(); }

  bool Register() {
    VolumeDescriptor d = flash.Descriptor(kVol);
    return ffs_add_volume(&d) == 0;
  }
  bool RegisterAndMount() { return Register() && ffs_mount(kVol) == 0; }
  // Closes what is open and removes the volume, however dead the flash is.
  void Drop() {
    for (int fd = 0; fd < FFS_FCB_COUNT; ++fd) {
      FileControlBlock* b = ffs_fcb(fd);
      if (b->handler == nullptr) continue;
      if (b->access & FFS_KIND_DIRECTORY) ffs_closedir(b);
      else ffs_close(fd);
    }
    for (int i = 0; i < 2 && ffs_find_volume(kVol) != nullptr; ++i) ffs_remove_volume(kVol);
  }
  static std::string P(const std::string& rest) { return std::string("/") + kVol + rest; }

  static bool WriteWhole(const std::string& path, const std::string& data, int flags) {
    const int fd = ffs_open(P(path).c_str(), flags, 0x1FF);
    if (fd < 0) return false;
    const bool wrote = ffs_write(fd, data.data(), static_cast<std::uint32_t>(data.size())) ==
                       static_cast<int>(data.size());
    return ffs_close(fd) == 0 && wrote;
  }
  static bool Commit() { return nor_volume_control(FFS_MOD_SYNC_ALL, nullptr, nullptr, 0, 0) == 0; }

  // The scripted workload; `model` follows every step that succeeded.
  void Workload(std::uint32_t rounds, Tree* model, std::vector<std::pair<std::uint64_t, Tree>>* commits) {
    auto ok = [&](bool done, const std::function<void()>& apply) {
      if (done && model != nullptr) apply();
    };
    std::size_t logSize = 0;  // the workload's own view: the same in every run until the cut
    ok(ffs_mkdir(P("/d").c_str(), 0x1FF) == 0, [&] { (*model)["/d"] = kDir; });
    ok(ffs_mkdir(P("/d/e").c_str(), 0x1FF) == 0, [&] { (*model)["/d/e"] = kDir; });
    for (std::uint32_t r = 0; r < rounds; ++r) {
      const std::string f = "/d/f" + std::to_string(r % 4);
      const std::string g = "/d/e/g" + std::to_string(r % 4);
      switch (r % 7) {
        case 0: {
          const std::string data = Pattern((r * 733) % 3000 + 1, r);
          ok(WriteWhole(f, data, FFS_O_WRONLY | FFS_O_CREAT | FFS_O_TRUNC), [&] { (*model)[f] = data; });
          break;
        }
        case 1: {
          const std::string data = Pattern(700, r);
          const bool restart = logSize > 6000 || r % 50 == 1;
          const int flags = FFS_O_WRONLY | FFS_O_CREAT | (restart ? FFS_O_TRUNC : FFS_O_APPEND);
          const bool done = WriteWhole("/log", data, flags);
          if (done) logSize = restart ? data.size() : logSize + data.size();
          ok(done, [&] { (*model)["/log"] = restart ? data : (*model)["/log"] + data; });
          break;
        }
        case 2:
          ok(ffs_rename(P(f).c_str(), P(g).c_str()) == 0, [&] {
            if (model->count(g)) model->erase(g);
            (*model)[g] = (*model)[f];
            model->erase(f);
          });
          break;
        case 3:
          ok(ffs_unlink(P(g).c_str()) == 0, [&] { model->erase(g); });
          break;
        case 4: {
          const std::string data = Pattern(1500 + r % 700, r + 1);
          ok(WriteWhole("/d/e/h", data, FFS_O_WRONLY | FFS_O_CREAT | FFS_O_TRUNC),
             [&] { (*model)["/d/e/h"] = data; });
          break;
        }
        case 5:
          ok(WriteWhole(f, Pattern(900, r + 2), FFS_O_WRONLY | FFS_O_CREAT | FFS_O_TRUNC),
             [&] { (*model)[f] = Pattern(900, r + 2); });
          break;
        default:
          if (Commit() && commits != nullptr) commits->push_back({flash.Calls(), *model});
          break;
      }
    }
    if (Commit() && commits != nullptr) commits->push_back({flash.Calls(), *model});
  }

  static bool ReadFile(const std::string& path, std::string& out) {
    const int fd = ffs_open(path.c_str(), FFS_O_RDONLY, 0);
    if (fd < 0) return false;
    out.clear();
    char buf[1000];
    int n;
    while ((n = ffs_read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    return ffs_close(fd) == 0 && n == 0;
  }
  // The whole tree below the volume root with every file's bytes.
  static bool ReadTree(Tree& tree, const std::string& dir = "") {
    FileControlBlock* d = ffs_opendir(P(dir).c_str());
    if (d == nullptr) return false;
    std::vector<std::string> names;
    while (FfsDirent* e = ffs_readdir(d)) names.push_back(e->name);
    ffs_closedir(d);
    for (const std::string& name : names) {
      const std::string path = dir + "/" + name;
      FfsStat st{};
      if (ffs_stat(P(path).c_str(), &st) != 0) return false;
      if (st.mode & FFS_S_IFDIR) {
        tree[path] = kDir;
        if (!ReadTree(tree, path)) return false;
      } else if (!ReadFile(P(path), tree[path])) {
        return false;
      }
    }
    return true;
  }
  Tree TreeOfImage(const std::vector<std::uint8_t>& image) {
    flash.bytes = image;
    flash.Reboot();
    Tree tree;
    EXPECT_TRUE(RegisterAndMount()) << ffs_errno();
    EXPECT_TRUE(ReadTree(tree));
    Drop();
    return tree;
  }

  static void OnCall(void* context, std::uint64_t call, std::uint32_t address) {
    auto* self = static_cast<PowerLoss*>(context);
    // Only checkpoint-start bits are programmed in the bitmap bytes.
    if (address != UINT32_MAX && address % kSectorSize < (kSectorSize / 512 + 7) / 8) {
      self->snapshots.push_back(Snapshot{call, self->flash.bytes, {}});
    }
  }

  testsupport::PowerCutFlash flash{kSectorSize, kSectors};
  std::vector<Snapshot> snapshots;
};

TEST_F(PowerLoss, EveryCutPointMountsTheLastCommittedTree) {
  const std::uint32_t rounds = EnvOr("FFS_POWER_ROUNDS", 250);
  const std::uint32_t sample = EnvOr("FFS_POWER_CUTS", 2000);
  ASSERT_TRUE(Register()) << ffs_errno();
  ASSERT_EQ(ffs_format(kVol), 0) << ffs_errno();
  Drop();
  const std::vector<std::uint8_t> initial = flash.bytes;
  const Tree empty;

  // Reference run.
  ASSERT_TRUE(RegisterAndMount()) << ffs_errno();
  flash.Reboot();
  flash.afterCall = OnCall;
  flash.afterCallContext = this;
  Tree model;
  std::vector<std::pair<std::uint64_t, Tree>> commits;
  Workload(rounds, &model, &commits);
  const std::uint64_t count = flash.Calls();
  const std::uint64_t erases = flash.Erases();
  flash.afterCall = nullptr;
  Drop();
  ASSERT_GT(erases, 5u);  // the workload recycles sectors
  ASSERT_GE(snapshots.size(), commits.size());
  for (Snapshot& s : snapshots) s.tree = TreeOfImage(s.image);
  // Each explicit commit left exactly the model's tree.
  for (const auto& c : commits) {
    const Snapshot* last = nullptr;
    for (const Snapshot& s : snapshots)
      if (s.call <= c.first) last = &s;
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->tree, c.second) << "commit at call " << c.first;
  }

  std::vector<std::uint64_t> cuts;
  if (sample == 0 || count <= sample) {
    for (std::uint64_t k = 1; k <= count; ++k) cuts.push_back(k);
  } else {
    std::mt19937_64 rng(EnvOr("FFS_POWER_SEED", 8));
    for (std::uint64_t k = 1; k <= count; ++k) cuts.push_back(k);
    std::shuffle(cuts.begin(), cuts.end(), rng);
    cuts.resize(sample);
    std::sort(cuts.begin(), cuts.end());
  }
  for (std::uint64_t k : cuts) {
    SCOPED_TRACE("cut at call " + std::to_string(k));
    flash.bytes = initial;
    flash.Reboot();
    ASSERT_TRUE(RegisterAndMount()) << ffs_errno();
    flash.Reboot();
    flash.CutAt(k, static_cast<std::uint32_t>(k));
    Workload(rounds, nullptr, nullptr);
    ASSERT_TRUE(flash.Dead());
    const Tree* expected = &empty;
    for (const Snapshot& s : snapshots) {
      if (s.call < k) expected = &s.tree;
      const std::uint32_t at = flash.CutProgramAddress();
      if (s.call == k && at != UINT32_MAX && flash.bytes[at] == s.image[at]) expected = &s.tree;
    }
    Drop();
    flash.Reboot();
    ASSERT_TRUE(RegisterAndMount()) << "errno " << ffs_errno();
    // The rebooted volume holds every invariant of a volume at rest.
    const VolumeRecord* rec = ffs_find_volume(kVol);
    ASSERT_TRUE(rec != nullptr && rec->nor != nullptr);
    const std::vector<std::string> problems = inspect::CheckVolume(*rec->nor);
    ASSERT_TRUE(problems.empty()) << "cut at call " << k << ": " << problems.front();
    Tree got;
    ASSERT_TRUE(ReadTree(got)) << ffs_errno();
    ASSERT_EQ(got, *expected);
    // Further work on the rebooted volume.
    const std::string more = Pattern(2500, unsigned(k));
    ASSERT_TRUE(WriteWhole("/after", more, FFS_O_WRONLY | FFS_O_CREAT | FFS_O_TRUNC)) << ffs_errno();
    ASSERT_TRUE(Commit()) << ffs_errno();
    Drop();
    ASSERT_TRUE(RegisterAndMount()) << ffs_errno();
    Tree again;
    ASSERT_TRUE(ReadTree(again));
    Tree want = *expected;
    want["/after"] = more;
    ASSERT_EQ(again, want);
    Drop();
  }
  std::printf("power loss: %llu device calls, %llu erases, %zu commit points, %zu cut points tried\n",
              static_cast<unsigned long long>(count), static_cast<unsigned long long>(erases),
              snapshots.size(), cuts.size());
}

}  // namespace
