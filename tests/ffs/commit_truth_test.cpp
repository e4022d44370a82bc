// Space accounting and commit truth on the real sector manager over an
// in-memory flash: a change the file system accepts is committed by the sync
// that follows, the checkpoint estimate is never below the checkpoint a
// commit writes, and a sync that answers 0 has put every change on flash
// (a reboot from the flash bytes as they stand after it shows the change).
#include <functional>
#include <map>
#include <random>

#include "ffs/volume_table.h"
#include "ffs/file_system.h"
#include "ffs/dispatcher.h"
#include "ffs/module_table.h"
#include "ffs/nor/commit.h"
#include "ffs/nor/nor.h"
#include "ffs/nor/node_bytes.h"
#include "ffs/nor/volume.h"
#include "tests/ffs/fs_fixture.h"

namespace {

constexpr char kVolume[] = "TmpDisc";

class CommitTruth : public FsTest {
 public:
  using FsTest::Pattern;
  using FsTest::ReadFile;
  bool OnFlash() const override { return true; }

  // A fresh volume of the given geometry in place of the fixture's.
  void Fresh(std::uint32_t sectorSize, std::uint32_t sectorCount) {
    ffs_remove_volume(kVolume);
    flash = std::make_unique<testsupport::MemoryFlash>(sectorSize, sectorCount);
    ASSERT_EQ(flash->AddFormattedVolume(kVolume), 0) << ffs_errno();
    vol = ffs_find_volume(kVolume);
    ASSERT_NE(vol, nullptr);
  }
  // Mounts what the flash holds now, as after a power cut: the RAM state and
  // the final commit of the unmount are thrown away.
  void Reboot() {
    const std::vector<std::uint8_t> onFlash = flash->bytes;
    ffs_remove_volume(kVolume);
    flash->bytes = onFlash;
    ASSERT_EQ(flash->AddVolume(kVolume), 0) << ffs_errno();
    vol = ffs_find_volume(kVolume);
    ASSERT_NE(vol, nullptr);
  }
  std::uint32_t Attributes(const char* name, std::uint32_t mask, std::uint32_t value) {
    FileControlBlock block{};
    ffs_fcb_reset(&block, FFS_KIND_DIRECTORY);
    block.volume = vol;
    block.entry = vol->nor->nodes.Root();
    EXPECT_EQ(ffs_dispatch(&block, FFS_REQ_ATTRIBUTES, reinterpret_cast<std::intptr_t>(name), mask,
                           reinterpret_cast<std::intptr_t>(&value), 0, 0), 0);
    return value;
  }
  FfsStat Stat(const std::string& path) {
    FfsStat st{};
    EXPECT_EQ(ffs_stat(path.c_str(), &st), 0) << path << " errno " << ffs_errno();
    return st;
  }
  bool Exists(const std::string& path) {
    FfsStat st{};
    return ffs_stat(path.c_str(), &st) == 0;
  }
};

// --- Every kind of change, then a sync of each kind, then a reboot. ---

struct Change {
  const char* what;
  std::function<int(CommitTruth&)> apply;
  std::function<void(CommitTruth&)> check;
};

struct SyncKind {
  const char* what;
  std::function<int()> sync;
};

int OpenClose(const char* path, int flags, const std::string& data = "") {
  const int fd = ffs_open(path, flags, 0x1FF);
  if (fd < 0) return -1;
  const int n = data.empty() ? 0 : ffs_write(fd, data.data(), static_cast<std::uint32_t>(data.size()));
  return ffs_close(fd) == 0 && n == static_cast<int>(data.size()) ? 0 : -1;
}

TEST_F(CommitTruth, EveryChangeIsOnFlashAfterASyncThatAnswersZero) {
  const std::vector<Change> changes = {
      {"create", [](CommitTruth&) { return OpenClose("/TmpDisc/new", FFS_O_WRONLY | FFS_O_CREAT); },
       [](CommitTruth& t) { EXPECT_EQ(t.Stat("/TmpDisc/new").size, 0u); }},
      {"mkdir", [](CommitTruth&) { return ffs_mkdir("/TmpDisc/nd", 0x1FF); },
       [](CommitTruth& t) { EXPECT_NE(t.Stat("/TmpDisc/nd").mode & 0x4000, 0u); }},
      {"unlink", [](CommitTruth&) { return ffs_unlink("/TmpDisc/a"); },
       [](CommitTruth& t) { EXPECT_FALSE(t.Exists("/TmpDisc/a")); }},
      {"rmdir", [](CommitTruth&) { return ffs_rmdir("/TmpDisc/e"); },
       [](CommitTruth& t) { EXPECT_FALSE(t.Exists("/TmpDisc/e")); }},
      {"rename", [](CommitTruth&) { return ffs_rename("/TmpDisc/a", "/TmpDisc/d/moved"); },
       [](CommitTruth& t) {
         EXPECT_FALSE(t.Exists("/TmpDisc/a"));
         EXPECT_EQ(t.ReadFile("/TmpDisc/d/moved"), "abc");
       }},
      {"link", [](CommitTruth&) { return ffs_link("/TmpDisc/a", "/TmpDisc/second"); },
       [](CommitTruth& t) {
         EXPECT_EQ(t.ReadFile("/TmpDisc/second"), "abc");
         EXPECT_EQ(t.Stat("/TmpDisc/a").nlink, 2u);
       }},
      {"truncate", [](CommitTruth&) { return ffs_truncate("/TmpDisc/d/b", 700); },
       [](CommitTruth& t) { EXPECT_EQ(t.ReadFile("/TmpDisc/d/b"), t.Pattern(700)); }},
      {"truncate to grow", [](CommitTruth&) { return ffs_truncate("/TmpDisc/a", 5); },
       [](CommitTruth& t) { EXPECT_EQ(t.ReadFile("/TmpDisc/a"), std::string("abc\0\0", 5)); }},
      {"open truncating", [](CommitTruth&) { return OpenClose("/TmpDisc/a", FFS_O_WRONLY | FFS_O_TRUNC); },
       [](CommitTruth& t) { EXPECT_EQ(t.Stat("/TmpDisc/a").size, 0u); }},
      {"ftruncate",
       [](CommitTruth&) {
         const int fd = ffs_open("/TmpDisc/a", FFS_O_WRONLY, 0);
         const int r = fd < 0 ? -1 : ffs_ftruncate(fd, 1);
         return ffs_close(fd) == 0 ? r : -1;
       },
       [](CommitTruth& t) { EXPECT_EQ(t.ReadFile("/TmpDisc/a"), "a"); }},
      {"write", [](CommitTruth&) { return OpenClose("/TmpDisc/a", FFS_O_WRONLY, "xy"); },
       [](CommitTruth& t) { EXPECT_EQ(t.ReadFile("/TmpDisc/a"), "xyc"); }},
      {"chmod", [](CommitTruth&) { return ffs_chmod("/TmpDisc/a", 0x124); },
       [](CommitTruth& t) { EXPECT_EQ(t.Stat("/TmpDisc/a").mode & 0x1FF, 0x124u); }},
      {"chown", [](CommitTruth&) { return ffs_chown("/TmpDisc/a", 0, 7); },
       [](CommitTruth& t) { EXPECT_EQ(t.Stat("/TmpDisc/a").gid, 7u); }},
      {"set times",
       [](CommitTruth&) {
         const std::uint32_t times[2] = {11, 22};
         return ffs_set_times("/TmpDisc/a", times);
       },
       [](CommitTruth& t) { EXPECT_EQ(t.Stat("/TmpDisc/a").mtime, 11u); }},
      {"attribute word", [](CommitTruth& t) { return t.Attributes("a", 0xF0, 0x50) == 0x50 ? 0 : -1; },
       [](CommitTruth& t) { EXPECT_EQ(t.Attributes("a", 0, 0), 0x50u); }},
  };
  const std::vector<SyncKind> syncs = {
      {"sync", [] { return ffs_sync(kVolume); }},
      {"sync all", [] { return static_cast<int>(nor_volume_control(ffs_default().volumes, FFS_MOD_SYNC_ALL, nullptr, nullptr, 0, 0)); }},
      {"release commits", [] { return ffs_release_commits(kVolume); }},
  };
  for (const SyncKind& s : syncs) {
    for (const Change& c : changes) {
      SCOPED_TRACE(std::string(c.what) + ", then " + s.what);
      Fresh(65536, 8);
      WriteFile("/TmpDisc/a", "abc");
      ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
      ASSERT_EQ(ffs_mkdir("/TmpDisc/e", 0x1FF), 0);
      WriteFile("/TmpDisc/d/b", Pattern(1500));
      // Held commits: the change itself writes no checkpoint, the sync must.
      ASSERT_EQ(ffs_hold_commits(kVolume), 0);
      ASSERT_EQ(c.apply(*this), 0) << ffs_errno();
      ASSERT_EQ(s.sync(), 0) << ffs_errno();
      Reboot();
      c.check(*this);
    }
  }
}

// --- Random mixes on small volumes, far beyond full. ---

struct Node {
  bool dir;
  std::uint32_t size;
};

class RandomMix {
 public:
  RandomMix(CommitTruth& t, unsigned seed) : t_(t), rng_(seed) { tree_["/TmpDisc"] = Node{true, 0}; }

  // One random operation; true when the file system accepted it.
  bool Step() {
    switch (Pick(10)) {
      case 0: case 1: case 2: return Create(false);
      case 3: case 4: return Create(true);
      case 5: case 6: return Write();
      case 7: return Remove();
      case 8: return Rename();
      default: return Truncate();
    }
  }
  const std::map<std::string, Node>& tree() const { return tree_; }
  int full() const { return full_; }

 private:
  std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
  std::string Name() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s(1 + Pick(60), 'x');
    for (char& c : s) c = kChars[Pick(sizeof kChars - 1)];
    return s;
  }
  std::string Any(bool dir) {
    std::vector<std::string> found;
    for (const auto& [path, node] : tree_)
      if (node.dir == dir) found.push_back(path);
    return found.empty() ? "" : found[Pick(found.size())];
  }
  bool Refused(int result, const std::string& path) {
    if (result >= 0) return false;
    EXPECT_EQ(ffs_errno(), FFS_ENOSPC) << path;
    ++full_;
    return true;
  }
  bool Create(bool dir) {
    const std::string path = Any(true) + "/" + Name();
    if (tree_.count(path)) return false;
    const int r = dir ? ffs_mkdir(path.c_str(), 0x1FF) : OpenClose(path.c_str(), FFS_O_WRONLY | FFS_O_CREAT);
    if (Refused(r, path)) {
      EXPECT_FALSE(t_.Exists(path)) << "refused, yet there: " << path;
      return false;
    }
    tree_[path] = Node{dir, 0};
    return true;
  }
  bool Write() {
    const std::string path = Any(false);
    if (path.empty()) return false;
    Node& n = tree_[path];
    const int fd = ffs_open(path.c_str(), FFS_O_WRONLY, 0);
    EXPECT_GE(fd, 0) << path;
    const std::uint32_t at = static_cast<std::uint32_t>(Pick(n.size + 1));
    EXPECT_EQ(ffs_lseek(fd, static_cast<std::int32_t>(at), 0), static_cast<int>(at));
    const std::string data = CommitTruth::Pattern(1 + Pick(3000), static_cast<unsigned>(at));
    const int done = ffs_write(fd, data.data(), static_cast<std::uint32_t>(data.size()));
    FfsStat st{};
    ffs_fstat(fd, &st);
    EXPECT_EQ(st.size, std::max(n.size, at + static_cast<std::uint32_t>(std::max(done, 0)))) << "write " << done << " of " << data.size() << " at " << at << " of " << n.size;
    EXPECT_EQ(ffs_close(fd), 0);
    if (done < static_cast<int>(data.size())) ++full_;
    if (done <= 0) return false;
    n.size = std::max(n.size, at + static_cast<std::uint32_t>(done));
    return true;
  }
  bool Remove() {
    const bool dir = Pick(3) == 0;
    const std::string path = Any(dir);
    if (path.empty() || path == "/TmpDisc") return false;
    for (const auto& entry : tree_)
      if (entry.first.rfind(path + "/", 0) == 0) return false;  // not empty
    EXPECT_EQ(dir ? ffs_rmdir(path.c_str()) : ffs_unlink(path.c_str()), 0) << path << " " << ffs_errno();
    tree_.erase(path);
    return true;
  }
  bool Rename() {
    const std::string from = Any(false);
    const std::string to = Any(true) + "/" + Name();
    if (from.empty() || tree_.count(to)) return false;
    if (Refused(ffs_rename(from.c_str(), to.c_str()), to)) {
      EXPECT_TRUE(t_.Exists(from)) << from;
      return false;
    }
    tree_[to] = tree_[from];
    tree_.erase(from);
    return true;
  }
  bool Truncate() {
    const std::string path = Any(false);
    if (path.empty()) return false;
    const std::uint32_t length = static_cast<std::uint32_t>(Pick(tree_[path].size + 2000));
    if (Refused(ffs_truncate(path.c_str(), length), path)) {
      EXPECT_EQ(t_.Stat(path).size, tree_[path].size) << "refused truncate to " << length;
      return false;
    }
    tree_[path].size = length;
    return true;
  }

  CommitTruth& t_;
  std::mt19937 rng_;
  std::map<std::string, Node> tree_;
  int full_ = 0;  // operations refused (or cut short) for want of space
};

TEST_F(CommitTruth, AcceptedOperationsAlwaysCommitAndTheEstimateHoldsTheCheckpoint) {
  struct Shape {
    std::uint32_t sectorSize, sectorCount;
  };
  const Shape shapes[] = {{8192, 6}, {16384, 5}, {65536, 4}};
  int accepted = 0, full = 0, compared = 0;
  for (const Shape& shape : shapes) {
    for (unsigned seed = 1; seed <= 2; ++seed) {
      SCOPED_TRACE("sectors " + std::to_string(shape.sectorCount) + " x " +
                   std::to_string(shape.sectorSize) + ", seed " + std::to_string(seed));
      Fresh(shape.sectorSize, shape.sectorCount);
      RandomMix mix(*this, seed);
      for (int step = 0; step < 500; ++step) {
        if (!mix.Step()) continue;
        ++accepted;
        const nor::Volume* n = vol->nor;
        const std::uint32_t estimate = n->estimated_length;
        const std::uint32_t sequence = n->sequence;
        ASSERT_EQ(ffs_sync(kVolume), 0) << "step " << step << " errno " << ffs_errno();
        // A sync that recycled first wrote more than one checkpoint.
        if (n->sequence == sequence + 1) {
          ++compared;
          ASSERT_GE(estimate, n->stream_length) << "step " << step;
        }
      }
      Reboot();
      for (const auto& [path, node] : mix.tree()) {
        const FfsStat st = Stat(path);
        EXPECT_EQ((st.mode & 0x4000) != 0, node.dir) << path;
        if (!node.dir) {
          EXPECT_EQ(st.size, node.size) << path;
        }
      }
      std::size_t listed = 0;
      std::function<void(const std::string&)> walk = [&](const std::string& dir) {
        for (const std::string& name : List(dir)) {
          ++listed;
          if (mix.tree().at(dir + "/" + name).dir) walk(dir + "/" + name);
        }
      };
      walk("/TmpDisc");
      EXPECT_EQ(listed + 1, mix.tree().size());
      full += mix.full();
    }
  }
  std::printf("space accounting: %d operations accepted, %d refused for space, %d estimates compared\n",
              accepted, full, compared);
  EXPECT_GT(full, accepted / 10);  // the volumes really ran full
  EXPECT_GT(compared, accepted / 2);
}

// The node table's bytes kept between recounts: over random creates, writes,
// removes, renames, truncates, links and syncs, and the removal of every
// entry, whenever the volume holds them they equal a full walk of the
// table, while pages are added and compacted away.
TEST_F(CommitTruth, TheKeptNodeTableBytesEqualAFullWalk) {
  int compared = 0, pagesDropped = 0;
  for (unsigned seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Fresh(65536, 8);
    RandomMix mix(*this, seed);
    std::mt19937 rng(seed);
    std::size_t pages = vol->nor->nodes.pages.size();
    // Random steps, then every entry removed (children first): pages go.
    std::vector<std::pair<std::string, bool>> left;
    for (int step = 0; step < 1000; ++step) {
      if (step == 600)
        for (const auto& [path, node] : mix.tree()) left.emplace_back(path, node.dir);
      const unsigned op = rng() % 16;
      if (step >= 600) {
        if (left.size() > 1) {  // the root stays
          const auto [path, dir] = left.back();
          left.pop_back();
          ASSERT_EQ(dir ? ffs_rmdir(path.c_str()) : ffs_unlink(path.c_str()), 0) << path;
        }
      } else if (op == 0) {
        ffs_sync(kVolume);
      } else if (op == 1) {  // a second name, gone again in the next step
        for (const auto& [path, node] : mix.tree()) {
          if (node.dir || ffs_link(path.c_str(), "/TmpDisc/second") != 0) continue;
          ASSERT_EQ(vol->nor->node_bytes.bytes, nor::CountNodeBytes(*vol->nor)) << step;
          ASSERT_EQ(ffs_unlink("/TmpDisc/second"), 0);
          break;
        }
      } else {
        mix.Step();
      }
      nor::Volume& n = *vol->nor;
      if (n.node_bytes.known) {
        ++compared;
        ASSERT_EQ(n.node_bytes.bytes, nor::CountNodeBytes(n)) << "step " << step << " op " << op;
      }
      pagesDropped += n.nodes.pages.size() < pages;
      pages = n.nodes.pages.size();
      n.estimated_length = nor::CheckpointEstimate(n);  // known again from here
      ASSERT_TRUE(n.node_bytes.known);
    }
  }
  EXPECT_GT(compared, 1500);
  EXPECT_GT(pagesDropped, 0);
}

}  // namespace
