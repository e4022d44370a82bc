// Files with several names, opened through one name while names go: the data
// and every remaining name survive the closes and a remount, and a file whose
// last name went while it was open lives until its last close. Scripted cases
// in a table, then random sequences against a model; both on the sector
// manager over an in-memory flash, checked after an unmount and a mount.
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "ffs/volume_table.h"
#include "tests/ffs/fs_fixture.h"

namespace {

// The model: each file's content and names; open descriptors and their file.
struct Files {
  std::map<std::string, int> names;  // path -> file
  std::map<int, std::string> data;   // file -> content
  std::map<int, int> open;           // descriptor -> file
  int next = 0;
  std::set<std::string> NamesOf(int file) const {
    std::set<std::string> out;
    for (const auto& [path, f] : names)
      if (f == file) out.insert(path);
    return out;
  }
};

class OpenUnlink : public FsTest {
 protected:
  bool OnFlash() const override { return true; }

  // Script steps, one per word group separated by ';':
  //   new P TEXT   create P holding TEXT        link P Q   a second name
  //   open P       open P for reading and appending (the descriptor is kept)
  //   read P       open P for reading only     write TEXT  append through the newest descriptor
  //   rm P         remove the name P           close      close the oldest descriptor
  //   sync         commit                      mkdir P
  void Script(const std::string& steps) {
    std::istringstream in(steps);
    std::string step;
    while (std::getline(in, step, ';') && !HasFailure()) {
      std::istringstream words(step);
      std::string op, p, q;
      words >> op >> p >> q;
      SCOPED_TRACE(step);
      if (op == "new") New(p, q);
      else if (op == "link") Link(p, q);
      else if (op == "open") Open(p, true);
      else if (op == "read") Open(p, false);
      else if (op == "write") Write(m.open.rbegin()->first, p);
      else if (op == "rm") Remove(p);
      else if (op == "close") Close(m.open.begin()->first);
      else if (op == "sync") ASSERT_EQ(ffs_sync("TmpDisc"), 0);
      else if (op == "mkdir") ASSERT_EQ(ffs_mkdir(p.c_str(), 0x1FF), 0);
      else FAIL() << "unknown step " << op;
    }
  }

  void New(const std::string& path, const std::string& text) {
    WriteFile(path, text);
    m.names[path] = m.next;
    m.data[m.next++] = text;
  }
  void Link(const std::string& from, const std::string& to) {
    ASSERT_EQ(ffs_link(from.c_str(), to.c_str()), 0) << "errno " << ffs_errno();
    m.names[to] = m.names.at(from);
  }
  void Open(const std::string& path, bool write) {
    const int fd = ffs_open(path.c_str(), write ? FFS_O_RDWR | FFS_O_APPEND : FFS_O_RDONLY, 0);
    ASSERT_GE(fd, 0) << "errno " << ffs_errno();
    m.open[fd] = m.names.at(path);
  }
  void Write(int fd, const std::string& text) {
    ASSERT_EQ(ffs_write(fd, text.data(), static_cast<std::uint32_t>(text.size())),
              static_cast<int>(text.size()));
    m.data[m.open.at(fd)] += text;
  }
  void Remove(const std::string& path) {
    ASSERT_EQ(ffs_unlink(path.c_str()), 0) << "errno " << ffs_errno();
    m.names.erase(path);
  }
  void Close(int fd) {
    CheckOpenFile(fd);
    ASSERT_EQ(ffs_close(fd), 0);
    m.open.erase(fd);
  }

  // An open file reads its whole content from the start.
  void CheckOpenFile(int fd) {
    const std::string& data = m.data[m.open.at(fd)];
    ASSERT_EQ(ffs_lseek(fd, 0, 0), 0);
    std::string got(data.size() + 8, '\0');
    const int n = ffs_read(fd, got.data(), static_cast<std::uint32_t>(got.size()));
    ASSERT_GE(n, 0);
    EXPECT_EQ(got.substr(0, static_cast<std::size_t>(n)), data) << "descriptor " << fd;
  }
  // Closes what is open, remounts and compares every directory, name,
  // content and link count with the model.
  void CheckAfterRemount(const std::vector<std::string>& dirs) {
    while (!m.open.empty() && !HasFailure()) Close(m.open.begin()->first);
    ASSERT_EQ(ffs_unmount("TmpDisc"), 0) << "errno " << ffs_errno();
    ASSERT_EQ(ffs_mount("TmpDisc"), 0) << "errno " << ffs_errno();
    for (const std::string& dir : dirs) {
      std::set<std::string> listed, expected;
      for (const std::string& name : List(dir)) {
        if (std::find(dirs.begin(), dirs.end(), dir + "/" + name) == dirs.end()) listed.insert(dir + "/" + name);
      }
      for (const auto& [path, file] : m.names)
        if (path.rfind(dir + "/", 0) == 0 && path.find('/', dir.size() + 1) == std::string::npos)
          expected.insert(path);
      EXPECT_EQ(listed, expected) << dir;
    }
    for (const auto& [path, file] : m.names) {
      EXPECT_EQ(ReadFile(path), m.data[file]) << path;
      FfsStat st{};
      ASSERT_EQ(ffs_stat(path.c_str(), &st), 0) << path;
      EXPECT_EQ(st.nlink, m.NamesOf(file).size()) << path;
    }
  }

  Files m;
};

struct Case {
  const char* what;
  const char* script;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

const Case kCases[] = {
    {"the opened name goes, another stays",
     "new /TmpDisc/a one; link /TmpDisc/a /TmpDisc/b; open /TmpDisc/a; rm /TmpDisc/a; close"},
    {"the other name goes, the opened one stays",
     "new /TmpDisc/a one; link /TmpDisc/a /TmpDisc/b; open /TmpDisc/a; rm /TmpDisc/b; close"},
    {"the opened name goes, then the last one; slots are reused before the close",
     "new /TmpDisc/d/x x; new /TmpDisc/a one; link /TmpDisc/a /TmpDisc/b;"
     "open /TmpDisc/a; rm /TmpDisc/a; rm /TmpDisc/b; link /TmpDisc/d/x /TmpDisc/d/z;"
     "new /TmpDisc/d/y y; close"},
    {"written after every name went, then a new file takes the freed slots",
     "new /TmpDisc/a one; link /TmpDisc/a /TmpDisc/b; open /TmpDisc/b; rm /TmpDisc/b;"
     "rm /TmpDisc/a; write more; new /TmpDisc/c c; new /TmpDisc/e e; write again; close"},
    {"committed while only the open name holds the file",
     "new /TmpDisc/a one; link /TmpDisc/a /TmpDisc/b; open /TmpDisc/a; rm /TmpDisc/a;"
     "rm /TmpDisc/b; sync; write two; new /TmpDisc/c c; sync; close"},
    {"two names opened, both removed, a third stays",
     "new /TmpDisc/a one; link /TmpDisc/a /TmpDisc/b; link /TmpDisc/a /TmpDisc/c; read /TmpDisc/b;"
     "open /TmpDisc/a; rm /TmpDisc/a; rm /TmpDisc/b; write 2; close; write 3; close"},
    {"two names opened, both removed, nothing stays",
     "new /TmpDisc/a one; link /TmpDisc/a /TmpDisc/b; read /TmpDisc/b; open /TmpDisc/a; rm /TmpDisc/b;"
     "rm /TmpDisc/a; new /TmpDisc/c c; close; new /TmpDisc/e e; write 2; close; link /TmpDisc/c /TmpDisc/d/f"},
    {"names in two directories, the opened one's directory emptied",
     "new /TmpDisc/d/a one; link /TmpDisc/d/a /TmpDisc/b; new /TmpDisc/d/s s;"
     "open /TmpDisc/d/a; rm /TmpDisc/d/a; rm /TmpDisc/d/s; rm /TmpDisc/b; new /TmpDisc/d/t t;"
     "link /TmpDisc/d/t /TmpDisc/u; close"},
};

class OpenUnlinkCase : public OpenUnlink, public ::testing::WithParamInterface<Case> {};

TEST_P(OpenUnlinkCase, NamesAndDataSurviveRemovalOfOpenNames) {
  Script(std::string("mkdir /TmpDisc/d;") + GetParam().script);
  CheckAfterRemount({"/TmpDisc", "/TmpDisc/d"});
}

INSTANTIATE_TEST_SUITE_P(Table, OpenUnlinkCase, ::testing::ValuesIn(kCases));

// Random creates, links, opens, writes, removals and closes, each seed on a
// fresh volume; links and removals go for the names of open files half the
// time. A remount closes every file and must keep what the model says.
TEST_F(OpenUnlink, RandomSequencesKeepEveryRemainingName) {
  const std::vector<std::string> dirs = {"/TmpDisc", "/TmpDisc/d"};
  for (unsigned seed = 1; seed <= 16 && !HasFailure(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TearDown();
    SetUp();
    m = Files();
    ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
    std::mt19937 rng(seed);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    auto anyOf = [&](const auto& c) { return *std::next(c.begin(), long(pick(c.size()))); };
    // A name, of an open file half the time.
    auto aName = [&] {
      std::set<std::string> ofOpen;
      for (const auto& [fd, file] : m.open)
        for (const std::string& n : m.NamesOf(file)) ofOpen.insert(n);
      return !ofOpen.empty() && pick(2) == 0 ? anyOf(ofOpen) : anyOf(m.names).first;
    };
    for (int step = 0; step < 80 && !HasFailure(); ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      const std::string fresh = dirs[pick(2)] + "/n" + std::to_string(step);
      switch (pick(8)) {
        case 0: New(fresh, std::string(1 + pick(700), char('a' + pick(26)))); break;
        case 1: if (!m.names.empty()) Link(aName(), fresh); break;
        case 2: {  // open a name whose file no descriptor holds (one writer per file)
          if (m.names.empty() || m.open.size() >= 6) break;
          const auto [name, file] = anyOf(m.names);
          bool held = false;
          for (const auto& [fd, f] : m.open) held |= f == file;
          if (!held) Open(name, true);
          break;
        }
        case 3: if (!m.open.empty()) Write(anyOf(m.open).first, std::string(1 + pick(900), char('A' + pick(26))));
          break;
        case 4: case 5: if (!m.names.empty()) Remove(aName()); break;
        case 6: if (!m.open.empty()) Close(anyOf(m.open).first); break;
        case 7: if (pick(3) == 0) ASSERT_EQ(ffs_sync("TmpDisc"), 0); else if (!m.open.empty()) CheckOpenFile(anyOf(m.open).first); break;
      }
    }
    CheckAfterRemount(dirs);
  }
}

}  // namespace
