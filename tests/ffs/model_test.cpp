// Model-based random test: a seeded sequence of file operations runs both on
// the file system (in-memory volume) and on a plain in-memory model; every
// result, every byte read, every listing and the final tree must agree, and
// an unmount and mount at any point must change nothing. The long variant is
// DISABLED_ (run it with --gtest_also_run_disabled_tests; FFS_MODEL_SEED and
// FFS_MODEL_OPS choose the seed and the length; FFS_MODEL_TRACE prints every
// operation).
#include <cstdlib>
#include <functional>
#include <map>
#include <random>

#include "tests/ffs/fs_fixture.h"

namespace {

struct MNode {
  bool dir = false;
  std::string name;
  int parent = -1;
  std::string data;
  std::vector<int> children;  // newest first
  bool linked = true;
};

struct MOpen {
  int node;
  std::uint32_t pos = 0;
  bool read = false, write = false;
};

class Model {
 public:
  Model() { nodes_.push_back(MNode{true, "TmpDisc", -1, "", {}, true}); }
  std::vector<MNode>& nodes() { return nodes_; }
  MNode& at(int id) { return nodes_[static_cast<std::size_t>(id)]; }
  int Child(int dir, const std::string& name) {
    for (int c : at(dir).children)
      if (at(c).name == name) return c;
    return -1;
  }
  std::string Path(int id) {
    std::string p;
    for (int n = id; n != -1; n = at(n).parent) p = "/" + at(n).name + p;
    return p;
  }
  int Add(int dir, const std::string& name, bool isDir) {
    nodes_.push_back(MNode{isDir, name, dir, "", {}, true});
    const int id = static_cast<int>(nodes_.size() - 1);
    at(dir).children.insert(at(dir).children.begin(), id);
    return id;
  }
  void Detach(int id) {
    auto& ch = at(at(id).parent).children;
    ch.erase(std::find(ch.begin(), ch.end(), id));
    at(id).linked = false;
  }
  std::vector<int> Live(bool dirs) {
    std::vector<int> out;
    for (int i = 0; i < static_cast<int>(nodes_.size()); ++i)
      if (at(i).linked && at(i).dir == dirs && (i != 0 || dirs)) out.push_back(i);
    return out;
  }
  bool Below(int node, int ancestor) {
    for (int n = node; n != -1; n = at(n).parent)
      if (n == ancestor) return true;
    return false;
  }
  std::map<int, MOpen> open;

 private:
  std::vector<MNode> nodes_;
};

class ModelTest : public FsTest {
 protected:
  // 4 MiB, and files of at most kMaxFile bytes: the volume never fills up.
  std::uint32_t SectorCount() const override { return 64; }
  static constexpr std::uint32_t kMaxFile = 12000;
  void Run(unsigned seed, int operations) {
    std::mt19937 rng(seed);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    const char* names[] = {"a", "b", "c", "dir", "x y", "\xC3\xA4"};
    const std::string longName(64, 'L');
    auto name = [&] {
      const std::size_t i = pick(7);
      return i == 6 ? longName : std::string(names[i]);
    };
    for (int op = 0; op < operations && !HasFailure(); ++op) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " operation " + std::to_string(op));
      // At most nine files stay open: listings need a free block.
      if (m.open.size() >= 9) CloseOne(pick);
      switch (pick(13)) {
        case 0: case 1: Create(name(), pick(2) == 0, pick(3) == 0); break;
        case 2: OpenForReading(pick); break;
        case 3: case 4: WriteSome(rng); break;
        case 5: case 6: ReadSome(rng); break;
        case 7: CloseOne(pick); break;
        case 8: TruncateOne(rng); break;
        case 9: RenameOne(pick, name()); break;
        case 10: RemoveOne(pick); break;
        case 11: pick(2) ? MakeDir(pick, name()) : RemoveDir(pick); break;
        case 12:
          if (pick(10) == 0) Remount();
          else CheckTree();
          break;
      }
    }
    Remount();
  }

  static void Trace(const std::string& s) {
    if (std::getenv("FFS_MODEL_TRACE")) std::printf("%s\n", s.c_str());
  }
  int LowestFreeDescriptor() {
    for (int fd = 0; fd < FFS_FCB_COUNT; ++fd)
      if (!m.open.count(fd)) return fd;
    return -1;
  }
  int AnyDir(std::size_t r) {
    const auto dirs = m.Live(true);
    return dirs[r % dirs.size()];
  }

  void Create(const std::string& n, bool exclusive, bool readToo) {
    const int dir = AnyDir(rng_());
    const int flags = (readToo ? FFS_O_RDWR : FFS_O_WRONLY) | FFS_O_CREAT | (exclusive ? FFS_O_EXCL : 0);
    const std::string path = m.Path(dir) + "/" + n;
    const int fd = ffs_open(path.c_str(), flags, 0x1FF);
    const int existing = m.Child(dir, n);
    int error = 0;
    if (m.open.size() >= 10) error = FFS_EMFILE;
    else if (existing >= 0 && exclusive) error = FFS_EEXIST;
    else if (existing >= 0 && m.at(existing).dir) error = FFS_EISDIR;
    else if (existing >= 0 && WriterOf(existing)) error = FFS_EACCES;
    if (error) {
      EXPECT_EQ(fd, -1) << path;
      EXPECT_EQ(ffs_errno(), error) << path;
      return;
    }
    ASSERT_EQ(fd, LowestFreeDescriptor()) << path << " errno " << ffs_errno();
    Trace("open " + path + " fd " + std::to_string(fd));
    const int node = existing >= 0 ? existing : m.Add(dir, n, false);
    m.open[fd] = MOpen{node, 0, readToo, true};
  }

  bool WriterOf(int node) {
    for (auto& [fd, o] : m.open)
      if (o.node == node && o.write) return true;
    return false;
  }

  void OpenForReading(std::function<std::size_t(std::size_t)> pick) {
    const auto files = m.Live(false);
    if (files.empty()) return;
    const int node = files[pick(files.size())];
    const int fd = ffs_open(m.Path(node).c_str(), FFS_O_RDONLY, 0);
    if (m.open.size() >= 10) {
      EXPECT_EQ(fd, -1);
      EXPECT_EQ(ffs_errno(), FFS_EMFILE);
      return;
    }
    ASSERT_EQ(fd, LowestFreeDescriptor());
    Trace("open ro " + m.Path(node) + " fd " + std::to_string(fd));
    m.open[fd] = MOpen{node, 0, true, false};
  }

  MOpen* AnyOpen(bool writing) {
    std::vector<int> fds;
    for (auto& [fd, o] : m.open)
      if (writing ? o.write : o.read) fds.push_back(fd);
    if (fds.empty()) return nullptr;
    chosen_ = fds[rng_() % fds.size()];
    return &m.open[chosen_];
  }

  void WriteSome(std::mt19937& rng) {
    MOpen* o = AnyOpen(true);
    if (o == nullptr) return;
    std::string& data = m.at(o->node).data;
    const std::uint32_t at =
        static_cast<std::uint32_t>(rng() % (std::min<std::size_t>(data.size(), kMaxFile) + 700));
    const std::uint32_t len = 1 + static_cast<std::uint32_t>(rng() % (rng() % 4 == 0 ? 3000 : 300));
    ASSERT_EQ(ffs_lseek(chosen_, static_cast<std::int32_t>(at), 0), static_cast<int>(at));
    std::string bytes(len, '\0');
    for (auto& c : bytes) c = static_cast<char>(rng());
    Trace("write fd " + std::to_string(chosen_) + " at " + std::to_string(at) + " len " + std::to_string(len) + " size " + std::to_string(data.size()));
    ASSERT_EQ(ffs_write(chosen_, bytes.data(), len), static_cast<int>(len)) << "errno " << ffs_errno();
    if (data.size() < at) data.resize(at, '\0');
    data.replace(at, std::min<std::size_t>(len, data.size() - at), bytes);
    o->pos = at + len;
    EXPECT_EQ(ffs_tell(chosen_), static_cast<int>(o->pos));
  }

  void ReadSome(std::mt19937& rng) {
    MOpen* o = AnyOpen(false);
    if (o == nullptr) return;
    const std::string& data = m.at(o->node).data;
    const bool seek = rng() % 3 != 0;
    if (seek) {
      o->pos = static_cast<std::uint32_t>(rng() % (data.size() + 20));
      ASSERT_EQ(ffs_lseek(chosen_, static_cast<std::int32_t>(o->pos), 0), static_cast<int>(o->pos));
    }
    const std::uint32_t len = 1 + static_cast<std::uint32_t>(rng() % 2500);
    Trace("read fd " + std::to_string(chosen_) + " at " + std::to_string(o->pos) + " len " + std::to_string(len) + " size " + std::to_string(data.size()));
    std::string buf(len, '\0');
    const int n = ffs_read(chosen_, buf.data(), len);
    const std::size_t expected = o->pos >= data.size() ? 0 : std::min<std::size_t>(len, data.size() - o->pos);
    ASSERT_EQ(n, static_cast<int>(expected));
    EXPECT_EQ(buf.substr(0, expected), data.substr(std::min<std::size_t>(o->pos, data.size()), expected));
    o->pos += static_cast<std::uint32_t>(expected);
  }

  void CloseOne(std::function<std::size_t(std::size_t)> pick) {
    if (m.open.empty()) return;
    auto it = std::next(m.open.begin(), static_cast<long>(pick(m.open.size())));
    Trace("close " + std::to_string(it->first));
    EXPECT_EQ(ffs_close(it->first), 0);
    m.open.erase(it);
  }

  void TruncateOne(std::mt19937& rng) {
    const auto files = m.Live(false);
    if (files.empty()) return;
    const int node = files[rng() % files.size()];
    std::string& data = m.at(node).data;
    const std::uint32_t len =
        static_cast<std::uint32_t>(rng() % (std::min<std::size_t>(data.size(), kMaxFile) + 900));
    Trace("truncate " + m.Path(node) + " to " + std::to_string(len) + " from " + std::to_string(data.size()));
    ASSERT_EQ(ffs_truncate(m.Path(node).c_str(), len), 0) << m.Path(node) << " errno " << ffs_errno();
    data.resize(len, '\0');
  }

  void RenameOne(std::function<std::size_t(std::size_t)> pick, const std::string& n) {
    auto entries = m.Live(false);
    for (int d : m.Live(true))
      if (d != 0) entries.push_back(d);
    if (entries.empty()) return;
    const int node = entries[pick(entries.size())];
    const int target = AnyDir(pick(1000));
    const std::string from = m.Path(node), to = m.Path(target) + "/" + n;
    const int r = ffs_rename(from.c_str(), to.c_str());
    const int existing = m.Child(target, n);
    if (existing == node) {
      EXPECT_EQ(r, 0);
    } else if (existing >= 0) {
      EXPECT_EQ(r, -1);
      EXPECT_EQ(ffs_errno(), FFS_EEXIST) << from << " -> " << to;
    } else if (m.at(node).dir && m.Below(target, node)) {
      EXPECT_EQ(r, -1);
      EXPECT_EQ(ffs_errno(), FFS_EINVAL);
    } else {
      ASSERT_EQ(r, 0) << from << " -> " << to << " errno " << ffs_errno();
      if (m.at(node).parent != target) {
        m.Detach(node);
        m.at(node).linked = true;
        m.at(node).parent = target;
        m.at(target).children.insert(m.at(target).children.begin(), node);
      }
      m.at(node).name = n;
    }
  }

  void RemoveOne(std::function<std::size_t(std::size_t)> pick) {
    const auto files = m.Live(false);
    if (files.empty()) return;
    const int node = files[pick(files.size())];
    ASSERT_EQ(ffs_unlink(m.Path(node).c_str()), 0);
    m.Detach(node);
  }

  void MakeDir(std::function<std::size_t(std::size_t)> pick, const std::string& n) {
    const int dir = AnyDir(pick(1000));
    const int r = ffs_mkdir((m.Path(dir) + "/" + n).c_str(), 0x1FF);
    if (m.Child(dir, n) >= 0) {
      EXPECT_EQ(r, -1);
      EXPECT_EQ(ffs_errno(), FFS_EEXIST);
      return;
    }
    ASSERT_EQ(r, 0);
    m.Add(dir, n, true);
  }

  void RemoveDir(std::function<std::size_t(std::size_t)> pick) {
    const int dir = AnyDir(pick(1000));
    const int r = ffs_rmdir(m.Path(dir).c_str());
    if (dir == 0) {
      EXPECT_EQ(r, -1);
      EXPECT_EQ(ffs_errno(), FFS_ENOENT);
    } else if (!m.at(dir).children.empty()) {
      EXPECT_EQ(r, -1);
      EXPECT_EQ(ffs_errno(), FFS_EEXIST);
    } else {
      ASSERT_EQ(r, 0);
      m.Detach(dir);
    }
  }

  void CheckTree() {
    for (int d : m.Live(true)) {
      std::vector<std::string> expected;
      for (int c : m.at(d).children) expected.push_back(m.at(c).name);
      EXPECT_EQ(List(m.Path(d)), expected) << m.Path(d);
      for (int c : m.at(d).children) {
        FfsStat st{};
        ASSERT_EQ(ffs_stat(m.Path(c).c_str(), &st), 0) << m.Path(c);
        EXPECT_EQ((st.mode & FFS_S_IFDIR) != 0, m.at(c).dir);
        if (!m.at(c).dir) {
          EXPECT_EQ(st.size, m.at(c).data.size()) << m.Path(c);
        }
      }
    }
  }

  void CheckContents() {
    for (int f : m.Live(false)) EXPECT_EQ(ReadFile(m.Path(f)), m.at(f).data) << m.Path(f);
  }

  void Remount() {
    CheckTree();
    ASSERT_EQ(ffs_unmount("TmpDisc"), 0) << "errno " << ffs_errno();
    m.open.clear();
    ASSERT_EQ(ffs_mount("TmpDisc"), 0);
    CheckTree();
    CheckContents();
  }

  Model m;
  std::mt19937 rng_{7};
  int chosen_ = -1;
};

unsigned EnvOr(const char* name, unsigned fallback) {
  const char* v = std::getenv(name);
  return v ? static_cast<unsigned>(std::strtoul(v, nullptr, 10)) : fallback;
}

TEST_F(ModelTest, RandomOperationsAgreeWithTheModel) { Run(EnvOr("FFS_MODEL_SEED", 1), 4000); }
TEST_F(ModelTest, SecondSeed) { Run(EnvOr("FFS_MODEL_SEED", 1) + 1000, 4000); }

// The same on the sector manager itself: every unmount commits a checkpoint
// and every mount reads the tree back from the flash.
class ModelTestOnFlash : public ModelTest {
 protected:
  bool OnFlash() const override { return true; }
};

TEST_F(ModelTestOnFlash, RandomOperationsAgreeWithTheModel) { Run(EnvOr("FFS_MODEL_SEED", 1) + 7, 4000); }

TEST_F(ModelTestOnFlash, DISABLED_LongRun) {
  Run(EnvOr("FFS_MODEL_SEED", 54321), static_cast<int>(EnvOr("FFS_MODEL_OPS", 100000)));
}

TEST_F(ModelTest, DISABLED_LongRun) {
  Run(EnvOr("FFS_MODEL_SEED", 12345), static_cast<int>(EnvOr("FFS_MODEL_OPS", 200000)));
}

}  // namespace
