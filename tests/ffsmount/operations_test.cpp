// The driver's operations called directly, without a mount: random request
// sequences against a model of the tree (more host files open than the file
// system has control blocks, hard links, renames over files, removal of open
// files), with remounts that must give the model back; the refused names;
// and a read-only image that no request changes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "flashimage/flash_volumes.h"
#include "ffsmount/image_fs.h"
#include "ffsmount/operations.h"
#include "tests/support/temp_dir.h"

namespace {

using ffsmount::ImageFs;
using ffsmount::Operations;
using ffsmount::OpenStatus;
constexpr auto kType = flashimage::FlashTypeCode::Old;

void MakeImage(const std::string& path, std::uint32_t size) {
  flashimage::FlashVolumes v;
  v.SetVolumeFileName(path);
  v.SetVolumeSize(size);
  v.SetFlashType(static_cast<std::uint32_t>(kType));
  ASSERT_TRUE(v.CreateFlashVolumes(true));
  ASSERT_EQ(v.Close(), 0);
}

// The tree as it must be: directories, names of files, file contents by id.
struct Model {
  std::set<std::string> dirs{"/"};
  std::map<std::string, int> names;  // path -> file id
  std::map<int, std::string> data;
  int nextId = 0;

  std::vector<std::string> NamesOf(int id) const {
    std::vector<std::string> out;
    for (const auto& [p, i] : names)
      if (i == id) out.push_back(p);
    return out;
  }
  std::vector<std::string> Children(const std::string& dir) const {
    std::vector<std::string> out;
    const std::string prefix = dir == "/" ? "/" : dir + "/";
    auto direct = [&](const std::string& p) {
      return p.size() > prefix.size() && p.compare(0, prefix.size(), prefix) == 0 &&
             p.find('/', prefix.size()) == std::string::npos;
    };
    for (const auto& d : dirs)
      if (direct(d)) out.push_back(d.substr(prefix.size()));
    for (const auto& [p, i] : names)
      if (direct(p)) out.push_back(p.substr(prefix.size()));
    std::sort(out.begin(), out.end());
    return out;
  }
};

struct Handle {
  std::uint64_t fh;
  int id;
};

class Driver {
 public:
  Driver(const std::string& image, bool writable) {
    EXPECT_EQ(fs_.Open(image, kType, writable), OpenStatus::Mounted);
    ops_ = std::make_unique<Operations>(fs_);
  }
  Operations& ops() { return *ops_; }
  int Shutdown() { return ops_->Shutdown(); }

 private:
  ImageFs fs_;
  std::unique_ptr<Operations> ops_;
};

std::string ReadAll(Operations& ops, const std::string& path, std::uint64_t fh, std::size_t size) {
  std::string out(size + 10, '\0');
  const int n = ops.Read(path, fh, out.data(), out.size(), 0);
  out.resize(n < 0 ? 0 : n);
  return out;
}

// Every directory lists exactly its model children; every file has its
// contents, link count and one serial for all its names.
void CompareTree(Operations& ops, const Model& m) {
  for (const std::string& d : m.dirs) {
    std::vector<std::string> names;
    ASSERT_EQ(ops.Readdir(d, names), 0) << d;
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names, m.Children(d)) << d;
  }
  std::map<int, ino_t> serials;
  for (const auto& [path, id] : m.names) {
    struct stat st {};
    ASSERT_EQ(ops.Getattr(path, st), 0) << path;
    ASSERT_TRUE(S_ISREG(st.st_mode)) << path;
    ASSERT_EQ(st.st_size, off_t(m.data.at(id).size())) << path;
    ASSERT_EQ(st.st_nlink, m.NamesOf(id).size()) << path;
    if (serials.count(id)) {
      ASSERT_EQ(serials[id], st.st_ino) << path;
    }
    serials[id] = st.st_ino;
    std::uint64_t fh = 0;
    ASSERT_EQ(ops.Open(path, O_RDONLY, fh), 0) << path;
    ASSERT_EQ(ReadAll(ops, path, fh, m.data.at(id).size()), m.data.at(id)) << path;
    ASSERT_EQ(ops.Release(fh), 0);
  }
}

class RandomRun {
 public:
  RandomRun(const std::string& image, unsigned seed) : image_(image), rng_(seed) {}

  // Removals of a name of an open file that kept other names.
  int HeldLinkedRemovals() const { return heldLinkedRemovals_; }

  void Run(int steps, int remountEvery) {
    auto driver = std::make_unique<Driver>(image_, true);
    for (int step = 0; step < steps; ++step) {
      Step(driver->ops(), step);
      if (::testing::Test::HasFatalFailure()) return;
      if ((step + 1) % remountEvery == 0) {
        for (const Handle& h : handles_) ASSERT_EQ(driver->ops().Release(h.fh), 0);
        handles_.clear();
        for (auto it = model_.data.begin(); it != model_.data.end();)  // files without names are gone
          it = model_.NamesOf(it->first).empty() ? model_.data.erase(it) : std::next(it);
        ASSERT_EQ(driver->Shutdown(), 0);
        driver = std::make_unique<Driver>(image_, true);
        CompareTree(driver->ops(), model_);
      }
    }
    for (const Handle& h : handles_) driver->ops().Release(h.fh);
    ASSERT_EQ(driver->Shutdown(), 0);
  }

 private:
  std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
  template <typename C>
  auto PickOf(const C& c) { return *std::next(c.begin(), Pick(c.size())); }
  std::string NewName(const std::string& dir) {
    return (dir == "/" ? "" : dir) + "/n" + std::to_string(counter_++);
  }
  std::string PathOf(int id) {
    const auto names = model_.NamesOf(id);
    return names.empty() ? "/.gone" : names[Pick(names.size())];
  }
  // A name of an open file with other names (the file stays open and named)
  // half the time, else any name.
  std::string NameToRemove() {
    std::vector<std::string> held;
    for (const Handle& h : handles_) {
      const auto names = model_.NamesOf(h.id);
      if (names.size() > 1) held.insert(held.end(), names.begin(), names.end());
    }
    if (held.empty() || Pick(2) == 0) return PickOf(model_.names).first;
    ++heldLinkedRemovals_;
    return PickOf(held);
  }
  std::size_t Bytes() const {
    std::size_t n = 0;
    for (const auto& [id, d] : model_.data) n += d.size();
    return n;
  }

  void Step(Operations& ops, int step) {
    SCOPED_TRACE("step " + std::to_string(step));
    switch (Pick(12)) {
      case 0: {  // create and keep open
        const std::string path = NewName(PickOf(model_.dirs));
        std::uint64_t fh = 0;
        ASSERT_EQ(ops.Create(path, 0644, fh), 0) << path;
        model_.names[path] = model_.nextId;
        model_.data[model_.nextId] = "";
        handles_.push_back({fh, model_.nextId++});
        break;
      }
      case 1: {  // open one more host handle of an existing file
        if (model_.names.empty() || handles_.size() > 24) return;
        const auto [path, id] = PickOf(model_.names);
        std::uint64_t fh = 0;
        ASSERT_EQ(ops.Open(path, O_RDWR, fh), 0) << path;
        handles_.push_back({fh, id});
        break;
      }
      case 2: case 3: {  // write through a handle, sometimes beyond the end
        if (handles_.empty() || Bytes() > 600000) return;
        const Handle h = PickOf(handles_);
        std::string& d = model_.data[h.id];
        const std::size_t at = Pick(d.size() + 1200);
        std::string bytes(1 + Pick(3000), '\0');
        for (char& c : bytes) c = char('a' + Pick(26));
        ASSERT_EQ(ops.Write(PathOf(h.id), h.fh, bytes.data(), bytes.size(), off_t(at)), int(bytes.size()));
        if (d.size() < at + bytes.size()) d.resize(at + bytes.size(), '\0');
        d.replace(at, bytes.size(), bytes);
        break;
      }
      case 4: {  // read through a handle
        if (handles_.empty()) return;
        const Handle h = PickOf(handles_);
        const std::string& d = model_.data[h.id];
        const std::size_t at = Pick(d.size() + 10), n = 1 + Pick(5000);
        std::string out(n, '\0');
        const int got = ops.Read(PathOf(h.id), h.fh, out.data(), n, off_t(at));
        ASSERT_EQ(out.substr(0, std::max(got, 0)), at < d.size() ? d.substr(at, n) : "");
        break;
      }
      case 5: {  // release a handle
        if (handles_.empty()) return;
        const std::size_t i = Pick(handles_.size());
        ASSERT_EQ(ops.Release(handles_[i].fh), 0);
        handles_.erase(handles_.begin() + long(i));
        break;
      }
      case 6: {  // truncate, shorter or longer
        if (model_.names.empty()) return;
        const auto [path, id] = PickOf(model_.names);
        const std::size_t length = Pick(model_.data[id].size() + 2000);
        ASSERT_EQ(ops.Truncate(path, off_t(length)), 0) << path;
        model_.data[id].resize(length, '\0');
        break;
      }
      case 7: {  // mkdir
        const std::string path = NewName(PickOf(model_.dirs));
        ASSERT_EQ(ops.Mkdir(path, 0755), 0) << path;
        model_.dirs.insert(path);
        break;
      }
      case 8: {  // unlink a name, half the time one of a file a host handle holds
        if (model_.names.empty()) return;
        const std::string path = NameToRemove();
        ASSERT_EQ(ops.Unlink(path), 0) << path;
        model_.names.erase(path);
        break;
      }
      case 9: {  // rmdir: empty ones go, others are refused
        const std::string dir = PickOf(model_.dirs);
        if (dir == "/") return;
        const bool empty = model_.Children(dir).empty();
        ASSERT_EQ(ops.Rmdir(dir), empty ? 0 : -ENOTEMPTY) << dir;
        if (empty) model_.dirs.erase(dir);
        break;
      }
      case 10:
        if (Pick(3) == 0) {  // a listing while many files are open
          const std::string dir = PickOf(model_.dirs);
          std::vector<std::string> names;
          ASSERT_EQ(ops.Readdir(dir, names), 0) << dir;
          std::sort(names.begin(), names.end());
          ASSERT_EQ(names, model_.Children(dir)) << dir;
          return;
        }
        RenameStep(ops);
        break;
      case 11: {  // a second name
        if (model_.names.empty()) return;
        const auto [path, id] = PickOf(model_.names);
        const std::string name = NewName(PickOf(model_.dirs));
        ASSERT_EQ(ops.Link(path, name), 0) << path << " " << name;
        model_.names[name] = id;
        break;
      }
    }
    if (Pick(20) == 0) {
      ASSERT_EQ(ops.Fsync(), 0);
    }
  }

  void RenameStep(Operations& ops) {
    if (Pick(2) == 0 && model_.names.size() >= 2) {  // a file over another file
      const std::string from = PickOf(model_.names).first, to = PickOf(model_.names).first;
      ASSERT_EQ(ops.Rename(from, to, 0), 0) << from << " " << to;
      const int id = model_.names[from];
      if (model_.names[to] != id) {
        model_.names.erase(from);
        model_.names[to] = id;
      }
      return;
    }
    if (Pick(2) == 0 && !model_.names.empty()) {  // a file to a new name
      const std::string from = PickOf(model_.names).first, to = NewName(PickOf(model_.dirs));
      ASSERT_EQ(ops.Rename(from, to, 0), 0) << from << " " << to;
      model_.names[to] = model_.names[from];
      model_.names.erase(from);
      return;
    }
    const std::string from = PickOf(model_.dirs);
    if (from == "/") return;
    std::string into = PickOf(model_.dirs);
    const bool inside = into == from || into.compare(0, from.size() + 1, from + "/") == 0;
    const std::string to = NewName(into);
    ASSERT_EQ(ops.Rename(from, to, 0), inside ? -EINVAL : 0) << from << " " << to;
    if (inside) return;
    auto moved = [&](const std::string& p) {
      return p == from || p.compare(0, from.size() + 1, from + "/") == 0;
    };
    std::set<std::string> dirs;
    for (const auto& d : model_.dirs) dirs.insert(moved(d) ? to + d.substr(from.size()) : d);
    model_.dirs = dirs;
    std::map<std::string, int> names;
    for (const auto& [p, id] : model_.names) names[moved(p) ? to + p.substr(from.size()) : p] = id;
    model_.names = names;
  }

  std::string image_;
  std::mt19937 rng_;
  Model model_;
  std::vector<Handle> handles_;
  int counter_ = 0;
  int heldLinkedRemovals_ = 0;
};

TEST(FfsmountOperations, RandomRequestsMatchTheModelAcrossRemounts) {
  for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    testsupport::TempDir dir;
    MakeImage(dir / "img", 4u << 20);
    RandomRun run(dir / "img", seed);
    run.Run(900, 150);
    if (::testing::Test::HasFatalFailure()) return;
    // Names of open hard-linked files go while other names stay: the
    // descriptor may be on the name removed.
    EXPECT_GE(run.HeldLinkedRemovals(), 10);
  }
}

// Names the file system refuses answer their errno, nothing is created.
TEST(FfsmountOperations, RefusedNamesAnswerTheirErrno) {
  testsupport::TempDir dir;
  MakeImage(dir / "img", 1u << 20);
  Driver d(dir / "img", true);
  ASSERT_EQ(d.ops().Mkdir("/sub", 0755), 0);
  struct Case {
    std::string name;
    int expected;
  } cases[] = {
      {std::string(64, 'a'), 0},
      {std::string(65, 'b'), -ENAMETOOLONG},
      {"bad\xff", -EINVAL},
      {"star*", -EINVAL},
      {"\xc3\xa9t\xc3\xa9", 0},  // UTF-8 is taken as it is
  };
  for (const Case& c : cases) {
    std::uint64_t fh = 0;
    EXPECT_EQ(d.ops().Create("/" + c.name, 0644, fh), c.expected) << c.name;
    if (c.expected == 0) {
      EXPECT_EQ(d.ops().Release(fh), 0);
    }
    EXPECT_EQ(d.ops().Mkdir("/sub/" + c.name, 0755), c.expected) << c.name;
  }
  std::vector<std::string> names;
  ASSERT_EQ(d.ops().Readdir("/", names), 0);
  EXPECT_EQ(names.size(), 3u);
  ASSERT_EQ(d.ops().Readdir("/sub", names), 0);
  EXPECT_EQ(names.size(), 2u);
  EXPECT_EQ(d.Shutdown(), 0);
}

// Mode bits, time stamps and free space as the host sees them.
TEST(FfsmountOperations, AttributesAndFreeSpace) {
  testsupport::TempDir dir;
  MakeImage(dir / "img", 1u << 20);
  Driver d(dir / "img", true);
  Operations& ops = d.ops();
  struct statvfs empty {};
  ASSERT_EQ(ops.Statfs(empty), 0);
  EXPECT_EQ(empty.f_namemax, 64u);
  EXPECT_GT(empty.f_bfree, 0u);
  EXPECT_LE(empty.f_bfree, empty.f_blocks);
  std::uint64_t fh = 0;
  ASSERT_EQ(ops.Create("/f", 0640, fh), 0);
  const std::string data(100000, 'x');
  ASSERT_EQ(ops.Write("/f", fh, data.data(), data.size(), 0), int(data.size()));
  ASSERT_EQ(ops.Release(fh), 0);
  ASSERT_EQ(ops.Fsync(), 0);
  struct statvfs used {};
  ASSERT_EQ(ops.Statfs(used), 0);
  EXPECT_LE(used.f_bfree * used.f_bsize + data.size(), empty.f_bfree * empty.f_bsize);
  struct {
    mode_t mode;
    struct timespec times[2];
    mode_t wantMode;
    time_t wantAtime, wantMtime;
  } cases[] = {
      {0600, {{1000, 0}, {2000, 0}}, 0600, 1000, 2000},
      {04755, {{0, UTIME_OMIT}, {3000, 0}}, 04755, 1000, 3000},
      {0, {{-5, 0}, {0, UTIME_OMIT}}, 0, 0, 3000},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(ops.Chmod("/f", c.mode), 0);
    ASSERT_EQ(ops.Utimens("/f", c.times), 0);
    struct stat st {};
    ASSERT_EQ(ops.Getattr("/f", st), 0);
    EXPECT_EQ(st.st_mode, S_IFREG | c.wantMode);
    EXPECT_EQ(st.st_atim.tv_sec, c.wantAtime);
    EXPECT_EQ(st.st_mtim.tv_sec, c.wantMtime);
    EXPECT_EQ(st.st_size, off_t(data.size()));
    EXPECT_EQ(st.st_nlink, 1u);
  }
  struct stat root {};
  ASSERT_EQ(ops.Getattr("/", root), 0);
  EXPECT_TRUE(S_ISDIR(root.st_mode));
  EXPECT_EQ(ops.Getattr("/missing", root), -ENOENT);
  EXPECT_EQ(ops.Rmdir("/f"), -ENOTDIR);
  EXPECT_EQ(ops.Unlink("/"), -EISDIR);
  EXPECT_EQ(d.Shutdown(), 0);
}

// A read-only image: every change is refused with EROFS, reads work, and the
// file keeps its bytes and modification time.
TEST(FfsmountOperations, ReadOnlyImageNeverChanges) {
  testsupport::TempDir dir;
  MakeImage(dir / "img", 1u << 20);
  {
    Driver d(dir / "img", true);
    std::uint64_t fh = 0;
    ASSERT_EQ(d.ops().Create("/f", 0644, fh), 0);
    ASSERT_EQ(d.ops().Write("/f", fh, "hello", 5, 0), 5);
    ASSERT_EQ(d.ops().Release(fh), 0);
    ASSERT_EQ(d.Shutdown(), 0);
  }
  const std::string before = testsupport::ReadFile(dir / "img");
  struct stat st0 {};
  ASSERT_EQ(stat((dir / "img").c_str(), &st0), 0);
  Driver d(dir / "img", false);
  Operations& ops = d.ops();
  std::uint64_t fh = 0;
  const struct timespec now[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
  const int refused[] = {
      ops.Create("/g", 0644, fh), ops.Open("/f", O_RDWR, fh), ops.Mkdir("/d", 0755),
      ops.Unlink("/f"), ops.Rename("/f", "/h", 0), ops.Link("/f", "/h"), ops.Truncate("/f", 0),
      ops.Chmod("/f", 0600), ops.Utimens("/f", now), ops.Write("/f", 0, "x", 1, 0)};
  for (int rc : refused) EXPECT_EQ(rc, -EROFS);
  ASSERT_EQ(ops.Open("/f", O_RDONLY, fh), 0);
  EXPECT_EQ(ReadAll(ops, "/f", fh, 5), "hello");
  EXPECT_EQ(ops.Release(fh), 0);
  EXPECT_EQ(ops.Fsync(), 0);
  EXPECT_EQ(d.Shutdown(), 0);
  struct stat st1 {};
  ASSERT_EQ(stat((dir / "img").c_str(), &st1), 0);
  EXPECT_EQ(testsupport::ReadFile(dir / "img"), before);
  EXPECT_EQ(st1.st_mtim.tv_sec, st0.st_mtim.tv_sec);
  EXPECT_EQ(st1.st_mtim.tv_nsec, st0.st_mtim.tv_nsec);
}

}  // namespace
