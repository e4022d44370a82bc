// Power loss: one workload (a fill, then stretches of churn: rewrites, patches,
// appends, truncations, renames, removals, directories, syncs, each stretch
// between a mount and an unmount) drives every setting of the table below:
// small sectors, 64 KiB and 128 KiB sectors, 1,024-byte clusters, moderate
// fill and near full. A reference run records every commit point (the
// program call that clears a checkpoint-start bit) with the tree on flash at
// that moment. Then, for each sampled cut point, the stretch runs again from
// its starting image with power cut during that device call; after a reboot
// (every third time cut once more, during the recovery mount) the volume
// must mount, pass the volume check, hold exactly the tree of the last
// commit before the cut (never older than a sync that returned 0), and a
// file must still be removable and writable with syncs that succeed.
// FFS_POWER_LONG=n samples n times as many cut points (0: every one);
// FFS_POWER_ONLY=stretch:call runs that one cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "ffs/file_system.h"
#include "ffs/ffs.h"
#include "ffs/file_control_block.h"
#include "ffs/module_table.h"
#include "ffs/nor/nor.h"
#include "ffs/volume_table.h"
#include "imagecheck/volume_check.h"
#include "tests/support/power_cut_flash.h"

namespace {

using Tree = std::map<std::string, std::string>;  // path -> content ("<dir>" for directories)
using Image = std::vector<std::uint8_t>;
constexpr char kDir[] = "<dir>";
constexpr char kVol[] = "Pl";

enum class Fill { Moderate, NearFull };

struct Setting {
  const char* name;
  std::uint32_t sectorSize;
  std::uint32_t sectors;
  Fill fill;
  std::uint32_t stretches;  // the fill, then stretches of churn
  std::uint32_t rounds;     // operations per churn stretch
  std::uint32_t cuts;       // cut points sampled by default
};

const Setting kSettings[] = {
    {"Small", 8192, 10, Fill::Moderate, 10, 60, 2600},
    {"SmallNearFull", 8192, 10, Fill::NearFull, 7, 60, 2600},
    {"Mx29lv640bNearFull", 65536, 6, Fill::NearFull, 6, 60, 2600},
    {"Mx29lv640b", 65536, 12, Fill::Moderate, 4, 50, 1500},
    {"M29w256gNearFull", 131072, 6, Fill::NearFull, 5, 60, 1500},
    {"M29w256g32MiB", 131072, 256, Fill::Moderate, 3, 30, 240},  // 1,024-byte clusters
};

std::uint32_t EnvOr(const char* name, std::uint32_t fallback) {
  const char* v = std::getenv(name);
  return v != nullptr ? static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10)) : fallback;
}

std::uint32_t ClusterSize(const Setting& s) {
  std::uint64_t size = 512, clusters = std::uint64_t{s.sectorSize / 512} * s.sectors;
  for (; clusters > 65531; clusters /= 2) size *= 2;
  return static_cast<std::uint32_t>(size);
}

std::string Pattern(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 17 + i / 509) & 0xFF);
  return s;
}

// The blocks in which `now` differs from `before`.
struct Diff {
  std::vector<std::pair<std::uint32_t, Image>> blocks;
  static Diff Of(const Image& before, const Image& now) {
    Diff d;
    for (std::uint32_t a = 0; a < now.size(); a += 512) {
      if (std::equal(now.begin() + a, now.begin() + a + 512, before.begin() + a)) continue;
      d.blocks.push_back({a, Image(now.begin() + a, now.begin() + a + 512)});
    }
    return d;
  }
  void ApplyTo(Image& image) const {
    for (const auto& b : blocks) std::copy(b.second.begin(), b.second.end(), image.begin() + b.first);
  }
};

// A point of the reference run: the start of a stretch or a commit point.
struct Point {
  std::uint32_t stretch;
  std::uint64_t call;  // device call within the stretch; 0 at its start
  bool commit;
  std::uint32_t bitAddress;  // commit points: the start bit's byte and its value
  std::uint8_t bitByte;
  Diff diff;  // against the previous point
  Tree tree;  // commit points: the tree on flash
};

struct SyncSeen {
  std::uint32_t stretch;
  std::uint64_t call;  // when the sync returned 0
  Tree tree;           // the tree it promised
};

struct Figures {
  std::uint64_t cuts = 0, second = 0, wedges = 0, losses = 0, mountFailures = 0, violations = 0;
  std::string first;  // the first failure, told once
  void Fail(std::uint64_t& counter, const std::string& what) {
    ++counter;
    if (first.empty()) first = what;
  }
};

class PowerLoss : public ::testing::TestWithParam<Setting> {
 protected:
  void SetUp() override {
    ffs_start();
    setting = GetParam();
    flash.reset(new testsupport::PowerCutFlash(setting.sectorSize, setting.sectors));
    cs = ClusterSize(setting);
    bitmapBytes = (setting.sectorSize / cs + 7) / 8;
  }
  void TearDown() override { Drop(); }

  bool Register() {
    VolumeDescriptor d = flash->Descriptor(kVol);
    return ffs_add_volume(&d) == 0;
  }
  bool RegisterAndMount() { return Register() && ffs_mount(kVol) == 0; }
  // Closes what is open and removes the volume, however dead the flash is.
  bool Drop() {
    for (int fd = 0; fd < FFS_FCB_COUNT; ++fd) {
      FileControlBlock* b = ffs_fcb(fd);
      if (b->handler == nullptr) continue;
      if (b->access & FFS_KIND_DIRECTORY) ffs_closedir(b);
      else ffs_close(fd);
    }
    bool removed = ffs_find_volume(kVol) == nullptr || ffs_remove_volume(kVol) == 0;
    for (int i = 0; i < 2 && ffs_find_volume(kVol) != nullptr; ++i) ffs_remove_volume(kVol);
    return removed;
  }
  static std::string P(const std::string& rest) { return std::string("/") + kVol + rest; }

  static bool WriteWhole(const std::string& path, const std::string& data, int flags) {
    const int fd = ffs_open(P(path).c_str(), flags, 0x1FF);
    if (fd < 0) return false;
    const bool wrote = ffs_write(fd, data.data(), static_cast<std::uint32_t>(data.size())) ==
                       static_cast<int>(data.size());
    return ffs_close(fd) == 0 && wrote;
  }
  static bool Commit() { return nor_volume_control(ffs_default().volumes, FFS_MOD_SYNC_ALL, nullptr, nullptr, 0, 0) == 0; }
  // Clusters still available for file data.
  static std::uint32_t FreeClusters() {
    FfsVolumeStats st{};
    return ffs_volume_stats(kVol, &st) == 0 && st.cluster_size != 0 ? st.free_bytes / st.cluster_size : 0;
  }
  static std::uint32_t SizeOf(const std::string& path) {
    FfsStat st{};
    return ffs_stat(P(path).c_str(), &st) == 0 ? st.size : 0;
  }

  static bool ReadFile(const std::string& path, std::string& out) {
    const int fd = ffs_open(path.c_str(), FFS_O_RDONLY, 0);
    if (fd < 0) return false;
    out.clear();
    char buf[4096];
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

  // --- The workload: the same code in the reference run and every cut run. ---
  std::string File(std::uint32_t i) const { return "/d" + std::to_string(i % 3) + "/f" + std::to_string(i); }

  void FillVolume() {
    for (int d = 0; d < 3; ++d) ffs_mkdir(P("/d" + std::to_string(d)).c_str(), 0x1FF);
    const std::uint32_t start = FreeClusters();
    for (std::uint32_t i = 0; i < files; ++i) {
      if (setting.fill == Fill::Moderate && FreeClusters() * 2 < start) break;
      if (!WriteWhole(File(i), Pattern(fileBytes, i), FFS_O_WRONLY | FFS_O_CREAT | FFS_O_TRUNC)) break;
    }
  }

  void Churn(std::mt19937& rng) {
    for (std::uint32_t r = 0; r < setting.rounds; ++r) {
      const std::uint32_t i = rng() % files;
      const std::string f = File(i);
      const unsigned seed = rng();
      switch (rng() % 10) {
        case 0:
        case 1:
          WriteWhole(f, Pattern(seed % (2 * fileBytes) + 1, seed), FFS_O_WRONLY | FFS_O_CREAT | FFS_O_TRUNC);
          break;
        case 2: {
          const bool restart = SizeOf("/log") > 4 * fileBytes;
          WriteWhole("/log", Pattern(300 + seed % 600, seed),
                     FFS_O_WRONLY | FFS_O_CREAT | (restart ? FFS_O_TRUNC : FFS_O_APPEND));
          break;
        }
        case 3:
          ffs_unlink(P(f).c_str());
          break;
        case 4: {  // a rewrite inside the file (copy-on-write of one cluster or two)
          const std::uint32_t size = SizeOf(f);
          const int fd = size > 0 ? ffs_open(P(f).c_str(), FFS_O_WRONLY, 0) : -1;
          if (fd < 0) break;
          const std::string patch = Pattern(700, seed);
          if (ffs_lseek(fd, static_cast<std::int32_t>(seed % size), 0) >= 0) {
            ffs_write(fd, patch.data(), static_cast<std::uint32_t>(patch.size()));
          }
          ffs_close(fd);
          break;
        }
        case 5:
          ffs_rename(P(f).c_str(), P(File(seed % files)).c_str());
          break;
        case 6:
          ffs_truncate(P(f).c_str(), SizeOf(f) / 2);
          break;
        case 7:
          if (ffs_mkdir(P("/d0/s").c_str(), 0x1FF) != 0) ffs_rmdir(P("/d0/s").c_str());
          break;
        default: {
          if (!Commit()) break;
          SyncSeen seen{stretch, flash->Calls(), {}};
          ReadTree(seen.tree);  // in every run, so that the cache behaves alike
          if (syncs != nullptr) syncs->push_back(std::move(seen));
          break;
        }
      }
    }
  }

  // One stretch: mount, fill or churn, unmount. False when it did not end
  // well (expected only after a cut).
  bool RunStretch(std::uint32_t s) {
    stretch = s;
    if (!RegisterAndMount()) return false;
    std::mt19937 rng(1000 + s);
    if (s == 0) FillVolume();
    else Churn(rng);
    return Drop();
  }

  static void OnCall(void* context, std::uint64_t call, std::uint32_t address) {
    auto* self = static_cast<PowerLoss*>(context);
    const std::uint32_t size = self->setting.sectorSize;
    // Only checkpoint-start bits are programmed in the bitmap bytes.
    if (address == UINT32_MAX || address % size >= self->bitmapBytes) return;
    self->Record(call, true, address);
  }
  void Record(std::uint64_t call, bool commit, std::uint32_t address) {
    Point p{stretch, call, commit, address, commit ? flash->bytes[address] : std::uint8_t(0), {}, {}};
    p.diff = Diff::Of(last, flash->bytes);
    last = flash->bytes;
    points.push_back(std::move(p));
  }

  // The tree a mount of `image` finds (on the flash object, which is left
  // holding whatever the mount wrote).
  Tree TreeOf(const Image& image) {
    flash->bytes = image;
    flash->Reboot();
    Tree tree;
    EXPECT_TRUE(RegisterAndMount()) << ffs_errno();
    EXPECT_TRUE(ReadTree(tree));
    Drop();
    return tree;
  }

  // Formats the flash and sizes the workload to the fresh volume: files of
  // a 40th of it (2 to 48 clusters), as many names as fill 60 % or 130 %.
  bool FormatAndScale() {
    if (!Register() || ffs_format(kVol) != 0 || !Drop() || !RegisterAndMount()) return false;
    const std::uint32_t capacity = FreeClusters();
    const std::uint32_t clusters = std::min<std::uint32_t>(std::max<std::uint32_t>(capacity / 40, 2), 48);
    fileBytes = clusters * cs - cs / 3;
    files = std::max<std::uint32_t>(capacity * (setting.fill == Fill::NearFull ? 13 : 6) / 10 / clusters, 4);
    return Drop();
  }

  // Removing the largest file and syncing frees its space (and further
  // files go while nothing is left for data); a new file and a sync are
  // taken; a remount shows exactly those changes.
  bool FurtherWork(Tree tree, std::uint64_t k, std::string& why) {
    std::uint32_t room = FreeClusters();
    for (bool first = true;; first = false) {
      std::string victim;
      for (const auto& e : tree) {
        if (e.second != kDir && (victim.empty() || e.second.size() > tree[victim].size())) victim = e.first;
      }
      if (victim.empty() || (!first && room > 0)) break;
      if (ffs_unlink(P(victim).c_str()) != 0) return why = "unlink", false;
      if (!Commit()) return why = "sync after unlink, errno " + std::to_string(ffs_errno()), false;
      const std::uint32_t now = FreeClusters();
      if (room > 0 && tree[victim].size() >= 2 * cs && now <= room) return why = "space not freed", false;
      room = now;
      tree.erase(victim);
    }
    const std::string more = Pattern(cs / 2, unsigned(k));
    if (!WriteWhole("/after", more, FFS_O_WRONLY | FFS_O_CREAT | FFS_O_TRUNC)) {
      return why = "write, errno " + std::to_string(ffs_errno()), false;
    }
    if (!Commit()) return why = "sync after write, errno " + std::to_string(ffs_errno()), false;
    tree["/after"] = more;
    if (!Drop() || !RegisterAndMount()) return why = "remount", false;
    Tree again;
    if (!ReadTree(again) || again != tree) return why = "tree after the further work", false;
    return true;
  }

  // After the reboot of cut run k: mount (perhaps cut once more), check.
  void Verify(const Tree& expected, std::uint64_t k, std::mt19937& rng, Figures& fig) {
    const std::string at = "cut at stretch " + std::to_string(stretch) + " call " + std::to_string(k);
    flash->Reboot();
    const bool second = k % 3 == 0;
    if (second) flash->CutAt(1 + rng() % (2 * mountCalls + 1), rng());
    bool mounted = RegisterAndMount();
    if (second && flash->Dead()) {
      ++fig.second;
      Drop();
      flash->Reboot();
      mounted = RegisterAndMount();
    } else if (mounted) {
      mountCalls = std::max<std::uint64_t>(flash->Calls(), 1);
      flash->CutAt(0, 0);
    }
    if (!mounted) return fig.Fail(fig.mountFailures, at + ": mount, errno " + std::to_string(ffs_errno()));
    const VolumeRecord* rec = ffs_find_volume(kVol);
    const std::vector<std::string> problems = inspect::CheckVolume(*rec->nor);
    if (!problems.empty()) return fig.Fail(fig.violations, at + ": " + problems.front());
    Tree got;
    if (!ReadTree(got) || got != expected) return fig.Fail(fig.losses, at + ": not the last committed tree");
    std::string why;
    if (!FurtherWork(got, k, why)) fig.Fail(fig.wedges, at + ": further work failed: " + why);
  }

  Setting setting{};
  std::unique_ptr<testsupport::PowerCutFlash> flash;
  std::uint32_t cs = 512, bitmapBytes = 0;
  std::uint32_t files = 0, fileBytes = 0;  // the workload's scale, from the fresh volume
  std::uint32_t stretch = 0;
  std::uint64_t mountCalls = 8;
  std::vector<SyncSeen>* syncs = nullptr;
  std::vector<Point> points;
  Image last;
};

TEST_P(PowerLoss, EveryCutPointMountsTheLastCommittedTree) {
  const std::uint32_t longer = EnvOr("FFS_POWER_LONG", 1);
  ASSERT_TRUE(FormatAndScale());

  // Reference run.
  std::vector<SyncSeen> seen;
  syncs = &seen;
  last = flash->bytes;
  const Image formatted = last;
  std::vector<std::uint64_t> calls;
  flash->afterCall = OnCall;
  flash->afterCallContext = this;
  std::uint64_t erases = 0;
  for (std::uint32_t s = 0; s < setting.stretches; ++s) {
    flash->Reboot();
    stretch = s;
    Record(0, false, 0);
    ASSERT_TRUE(RunStretch(s)) << "stretch " << s << " errno " << ffs_errno();
    calls.push_back(flash->Calls());
    erases += flash->Erases();
  }
  flash->afterCall = nullptr;
  syncs = nullptr;
  if (setting.fill == Fill::NearFull) {
    ASSERT_GT(erases, 2u) << "the workload recycles sectors";
  }
  // The tree of every commit point, and the start image of every stretch.
  std::vector<Image> starts;
  Image image = formatted;
  for (Point& p : points) {
    p.diff.ApplyTo(image);
    if (p.commit) p.tree = TreeOf(image);
    else starts.push_back(image);
  }
  // A sync that returned 0 had everything on flash.
  std::uint64_t broken = 0;
  for (const SyncSeen& s : seen) {
    const Point* before = nullptr;
    for (const Point& p : points)
      if (p.commit && (p.stretch < s.stretch || (p.stretch == s.stretch && p.call <= s.call))) before = &p;
    broken += before == nullptr || before->tree != s.tree ? 1 : 0;
  }
  EXPECT_EQ(broken, 0u) << "syncs that returned 0 without committing every change";

  // Cut points, sampled evenly per stretch.
  const std::uint64_t total = std::accumulate(calls.begin(), calls.end(), std::uint64_t{0});
  std::mt19937_64 pick(EnvOr("FFS_POWER_SEED", 8));
  std::vector<std::pair<std::uint32_t, std::uint64_t>> cuts;
  for (std::uint32_t s = 0; s < setting.stretches; ++s) {
    const std::uint64_t want = longer == 0 ? calls[s] : std::uint64_t{setting.cuts} * longer / setting.stretches;
    std::vector<std::uint64_t> ks;
    for (std::uint64_t k = 1; k <= calls[s]; ++k) ks.push_back(k);
    if (ks.size() > want) {
      std::shuffle(ks.begin(), ks.end(), pick);
      ks.resize(want);
      std::sort(ks.begin(), ks.end());
    }
    for (std::uint64_t k : ks) cuts.push_back({s, k});
    const char* only = std::getenv("FFS_POWER_ONLY");  // "stretch:call", to study one cut
    if (only != nullptr && std::strchr(only, ':') != nullptr) {
      cuts.assign(1, {std::uint32_t(std::atoi(only)), std::uint64_t(std::atoll(std::strchr(only, ':') + 1))});
    }
  }
  Figures fig;
  std::mt19937 rng(7);
  const Tree empty;
  for (const auto& cut : cuts) {
    const std::uint32_t s = cut.first;
    const std::uint64_t k = cut.second;
    flash->bytes = starts[s];
    flash->Reboot();
    flash->CutAt(k, static_cast<std::uint32_t>(k * 31 + s));
    RunStretch(s);
    Drop();
    ASSERT_TRUE(flash->Dead()) << "stretch " << s << " call " << k;
    const Tree* expected = &empty;
    for (const Point& p : points) {
      if (!p.commit || p.stretch > s) continue;
      if (p.stretch < s || p.call < k) expected = &p.tree;
      if (p.stretch == s && p.call == k && flash->bytes[p.bitAddress] == p.bitByte) expected = &p.tree;
    }
    ++fig.cuts;
    Verify(*expected, k, rng, fig);
    Drop();
  }
  std::uint64_t commitPoints = 0;
  for (const Point& p : points) commitPoints += p.commit ? 1 : 0;
  std::printf(
      "power loss: %s: %llu cut points (%llu more during the recovery mount) of %llu device calls, "
      "%llu commit points, %llu erases, wedges %llu, losses %llu, mount failures %llu, "
      "check violations %llu, overwrites %llu\n",
      setting.name, (unsigned long long)fig.cuts, (unsigned long long)fig.second, (unsigned long long)total,
      (unsigned long long)commitPoints, (unsigned long long)erases, (unsigned long long)fig.wedges,
      (unsigned long long)fig.losses, (unsigned long long)fig.mountFailures, (unsigned long long)fig.violations,
      (unsigned long long)flash->Overwrites());
  EXPECT_EQ(fig.wedges + fig.losses + fig.mountFailures + fig.violations, 0u) << fig.first;
  EXPECT_EQ(flash->Overwrites(), 0u) << "a block written over programmed bits at " << flash->FirstOverwrite();
}

// Format with power cut at every call, of a blank flash and of a filled
// volume: the volume then mounts with the old tree or an empty one (or, cut
// before a blank flash had any checkpoint, does not mount and formats again),
// passes the check and takes further work.
TEST_P(PowerLoss, EveryCutPointOfAFormatLeavesAUsableVolume) {
  if (setting.sectors > 16) GTEST_SKIP() << "the small volumes cover format";
  ASSERT_TRUE(FormatAndScale());
  ASSERT_TRUE(RunStretch(0));
  const Image filled = flash->bytes;
  const Tree before = TreeOf(filled);
  Figures fig;
  std::uint64_t reformatted = 0;
  for (const bool blank : {true, false}) {
    const Image start = blank ? Image(filled.size(), 0xFF) : filled;
    flash->bytes = start;
    flash->Reboot();
    ASSERT_TRUE(Register());
    ASSERT_EQ(ffs_format(kVol), 0) << ffs_errno();
    ASSERT_TRUE(Drop());
    const std::uint64_t calls = flash->Calls();
    for (std::uint64_t k = 1; k <= calls; ++k) {
      const std::string at = std::string(blank ? "blank" : "filled") + " format cut at call " + std::to_string(k);
      flash->bytes = start;
      flash->Reboot();
      flash->CutAt(k, static_cast<std::uint32_t>(k));
      if (Register()) ffs_format(kVol);
      Drop();
      ++fig.cuts;
      flash->Reboot();
      if (!RegisterAndMount()) {
        Drop();
        ++reformatted;
        if (!Register() || ffs_format(kVol) != 0 || !Drop() || !RegisterAndMount()) {
          fig.Fail(fig.mountFailures, at + ": no mount, and no new format");
          continue;
        }
      }
      const std::vector<std::string> problems = inspect::CheckVolume(*ffs_find_volume(kVol)->nor);
      Tree got;
      std::string why;
      if (!problems.empty()) fig.Fail(fig.violations, at + ": " + problems.front());
      else if (!ReadTree(got) || (!got.empty() && got != before)) fig.Fail(fig.losses, at + ": neither tree");
      else if (!FurtherWork(got, k, why)) fig.Fail(fig.wedges, at + ": further work failed: " + why);
      Drop();
    }
  }
  std::printf("power loss: format %s: %llu cut points (%llu formatted again), wedges %llu, losses %llu, "
              "mount failures %llu, check violations %llu, overwrites %llu\n",
              setting.name, (unsigned long long)fig.cuts, (unsigned long long)reformatted,
              (unsigned long long)fig.wedges, (unsigned long long)fig.losses,
              (unsigned long long)fig.mountFailures, (unsigned long long)fig.violations,
              (unsigned long long)flash->Overwrites());
  EXPECT_EQ(fig.wedges + fig.losses + fig.mountFailures + fig.violations, 0u) << fig.first;
  EXPECT_EQ(flash->Overwrites(), 0u) << "a block written over programmed bits at " << flash->FirstOverwrite();
}

INSTANTIATE_TEST_SUITE_P(Settings, PowerLoss, ::testing::ValuesIn(kSettings),
                         [](const ::testing::TestParamInfo<Setting>& info) { return std::string(info.param.name); });

}  // namespace
