// The file API over the control block table, against volumes whose request
// handler is a recording fake: descriptor allocation and limits, EBADF,
// lock modes of every call, push-back, short writes, name lengths, and
// name-space path resolution (root, volume names, "..", current directory).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ffs/file_system.h"
#include "ffs/file_api.h"
#include "ffs/file_control_block.h"
#include "ffs/module_table.h"
#include "ffs/volume_table.h"

namespace {

struct Call {
  int command;
  std::string path;  // for resolve: the rest handed over
  std::intptr_t a2;  // what / flags
  std::intptr_t a3;  // relative / mode
  std::intptr_t a4;  // lock mode / parent
};
std::vector<Call> g_calls;
std::vector<int> g_locks;  // +mode for a lock, -mode for an unlock
int g_entryDir, g_entryObj;
int g_readResult = 0;
int g_writeResult = 0;

void FakeLock(FileControlBlock*, int mode) { g_locks.push_back(mode); }
void FakeUnlock(FileControlBlock*, int mode) { g_locks.push_back(-mode); }
int FakeRead(FileControlBlock*, void* buf, std::uint32_t n) {
  if (g_readResult < 0) {
    ffs_set_errno(FFS_EIO);
    return -1;
  }
  std::memset(buf, 'r', n);
  return g_readResult;
}
int FakeWrite(FileControlBlock*, const void*, std::uint32_t) {
  ffs_set_errno(FFS_ENOSPC);
  return g_writeResult;
}

std::intptr_t FakeHandler(FileControlBlock* b, int command, std::intptr_t a1, std::intptr_t a2,
                          std::intptr_t a3, std::intptr_t a4, std::intptr_t) {
  if (command == FFS_REQ_RESOLVE) {
    auto** path = reinterpret_cast<const char**>(a1);
    const char* p = *path;
    g_calls.push_back({command, p, a2, a3, a4});
    if (std::strncmp(p, "..", 2) == 0 && (p[2] == '/' || p[2] == '\0')) {
      *path = p + 2;
      return 0;
    }
    if (std::strcmp(p, "missing") == 0) {
      ffs_set_errno(FFS_ENOENT);
      return -1;
    }
    b->handler = FakeHandler;
    b->lock = FakeLock;
    b->unlock = FakeUnlock;
    if (a4) FakeLock(b, static_cast<int>(a4));
    if (a2 == FFS_RESOLVE_PARENT) {
      const char* slash = std::strrchr(p, '/');
      *path = slash ? slash + 1 : p;
      return reinterpret_cast<std::intptr_t>(&g_entryDir);
    }
    *path = p + std::strlen(p);
    return reinterpret_cast<std::intptr_t>(&g_entryObj);
  }
  const char* name = command == FFS_REQ_OPEN || command == FFS_REQ_MKDIR || command == FFS_REQ_STAT
                         ? reinterpret_cast<const char*>(a1)
                         : "";
  g_calls.push_back({command, name, a2, a3, a4});
  switch (command) {
    case FFS_REQ_OPEN:
      b->read = FakeRead;
      b->write = FakeWrite;
      b->access = (a2 & FFS_O_WRONLY) ? FFS_ACC_WRITE : FFS_ACC_READ;
      return 0;
    case FFS_REQ_OPENDIR:
      return reinterpret_cast<std::intptr_t>(b);
    default:
      return 0;
  }
}

VolumeRecord g_volA{}, g_volB{};

class FileApi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ffs_start(), 0);
    for (auto* v : {&g_volA, &g_volB}) {
      *v = VolumeRecord{};
      v->handler = FakeHandler;
      v->self = v;
    }
    std::strcpy(g_volA.name, "TmpDisc");
    std::strcpy(g_volB.name, "Other");
    ffs_link_mounted(ffs_default(), &g_volA);
    ffs_link_mounted(ffs_default(), &g_volB);
    g_calls.clear();
    g_locks.clear();
    g_readResult = 0;
    g_writeResult = 0;
  }
  void TearDown() override {
    for (int fd = 0; fd < FFS_FCB_COUNT; ++fd) ffs_close(fd);
    ffs_unlink_mounted(ffs_default(), &g_volA);
    ffs_unlink_mounted(ffs_default(), &g_volB);
  }
};

TEST_F(FileApi, EleventhOpenFailsUntilOneIsClosed) {
  for (int i = 0; i < 10; ++i) ASSERT_EQ(ffs_open("/TmpDisc/f", 0, 0), i);
  ffs_set_errno(0);
  EXPECT_EQ(ffs_open("/TmpDisc/f", 0, 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_EMFILE);
  EXPECT_EQ(ffs_opendir("/TmpDisc"), nullptr);
  EXPECT_EQ(ffs_errno(), FFS_ENOMEM);
  EXPECT_EQ(ffs_close(4), 0);
  EXPECT_EQ(ffs_open("/TmpDisc/f", 0, 0), 4);
  EXPECT_EQ(ffs_fcb_high_mark(), 10);
}

TEST_F(FileApi, DescriptorsOutsideTheTableOrNotInUse) {
  char buf[4];
  for (int fd : {-1, 10, 1000, 3}) {
    ffs_set_errno(0);
    EXPECT_EQ(ffs_read(fd, buf, 4), -1) << fd;
    EXPECT_EQ(ffs_errno(), FFS_EBADF);
    EXPECT_EQ(ffs_write(fd, buf, 4), -1);
    EXPECT_EQ(ffs_close(fd), -1);
    EXPECT_EQ(ffs_errno(), FFS_EBADF);
    // A count of 0 answers 0 before anything else.
    EXPECT_EQ(ffs_read(fd, buf, 0), 0);
    EXPECT_EQ(ffs_write(fd, buf, 0), 0);
  }
  FileControlBlock outside{};
  EXPECT_EQ(ffs_readdir(&outside), nullptr);
  EXPECT_EQ(ffs_errno(), FFS_EBADF);
  EXPECT_EQ(ffs_closedir(&outside), -1);
  EXPECT_EQ(ffs_readdir(ffs_root_block()), nullptr);
  EXPECT_EQ(ffs_closedir(ffs_fcb(2)), -1);  // a table block not in use
  EXPECT_EQ(ffs_errno(), FFS_EBADF);
}

TEST_F(FileApi, LockModesOfEveryCall) {
  const int r = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0644);
  ASSERT_EQ(r, 0);
  EXPECT_EQ(g_calls.back().a3, 0);  // the mode counts only with FFS_O_CREAT
  const int w = ffs_open("/TmpDisc/d/g", FFS_O_WRONLY | FFS_O_CREAT, 0644);
  ASSERT_EQ(w, 1);
  EXPECT_EQ(g_calls.back().path, "g");
  EXPECT_EQ(g_calls.back().a3, 0644);
  EXPECT_EQ(g_calls.back().a4, reinterpret_cast<std::intptr_t>(&g_entryDir));
  char buf[8];
  g_readResult = 8;
  EXPECT_EQ(ffs_read(r, buf, 8), 8);
  g_writeResult = 8;
  EXPECT_EQ(ffs_write(w, buf, 8), 8);
  EXPECT_EQ(ffs_close(r), 0);
  EXPECT_EQ(ffs_close(w), 0);
  EXPECT_EQ(g_locks, (std::vector<int>{2, -2, 3, -3, 2, -2, 1, -1, 2, -0x802, 3, -0x803}));
  g_locks.clear();
  FileControlBlock* d = ffs_opendir("/TmpDisc/d");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(ffs_readdir(d), nullptr);
  EXPECT_EQ(ffs_closedir(d), 0);
  EXPECT_EQ(ffs_mkdir("/TmpDisc/n", 0x1FFFF), 0);
  EXPECT_EQ(g_calls.back().a2, 0xFFFF);
  FfsStat st;
  EXPECT_EQ(ffs_stat("/TmpDisc/n", &st), 0);
  EXPECT_EQ(g_locks, (std::vector<int>{2, -2, 2, -2, 3, -0x803, 3, -3, 2, -2}));
  // The closed blocks are free again.
  for (int fd = 0; fd < FFS_FCB_COUNT; ++fd) EXPECT_TRUE(ffs_fcb_is_free(ffs_fcb(fd)));
}

TEST_F(FileApi, ShortWritesAndFailedReadsKeepTheError) {
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDWR, 0);
  ASSERT_GE(fd, 0);
  char buf[16] = {};
  g_writeResult = 5;
  EXPECT_EQ(ffs_write(fd, buf, 16), 5);
  EXPECT_EQ(ffs_fcb(fd)->last_error, FFS_ENOSPC);
  g_writeResult = 0;
  EXPECT_EQ(ffs_write(fd, buf, 16), -1);
  g_readResult = -1;
  ffs_fcb(fd)->last_error = 0;
  EXPECT_EQ(ffs_read(fd, buf, 4), -1);
  EXPECT_EQ(ffs_fcb(fd)->last_error, FFS_EIO);
  // A pushed-back byte comes first.
  g_readResult = 3;
  ffs_fcb(fd)->pushback = 0x141;
  EXPECT_EQ(ffs_read(fd, buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "Arrr");
  EXPECT_EQ(ffs_fcb(fd)->pushback, 0);
  g_readResult = -1;
  ffs_fcb(fd)->pushback = 'B';
  EXPECT_EQ(ffs_read(fd, buf, 4), 1);
  EXPECT_EQ(buf[0], 'B');
  EXPECT_EQ(ffs_fcb(fd)->pushback, 0);
  ffs_fcb(fd)->pushback = 'C';
  EXPECT_EQ(ffs_read(fd, buf, 1), 1);  // only the pushed-back byte
  EXPECT_EQ(buf[0], 'C');
}

TEST_F(FileApi, NameLengths) {
  const std::string n64(64, 'x'), n65(65, 'x');
  EXPECT_EQ(ffs_mkdir(("/TmpDisc/" + n64).c_str(), 0), 0);
  ffs_set_errno(0);
  EXPECT_EQ(ffs_mkdir(("/TmpDisc/" + n65).c_str(), 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_ENAMETOOLONG);
  const int fd = ffs_open(("/TmpDisc/" + n64).c_str(), 0, 0);
  EXPECT_EQ(fd, 0);
  EXPECT_EQ(ffs_open(("/TmpDisc/" + n65).c_str(), 0, 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_ENAMETOOLONG);
  EXPECT_TRUE(ffs_fcb_is_free(ffs_fcb(1)));  // the block went back
  // Both locked and unlocked for the refused calls.
  EXPECT_EQ(g_locks.back(), -2);
}

TEST_F(FileApi, NameSpaceRootAndVolumeNames) {
  ffs_set_errno(0);
  EXPECT_EQ(ffs_open("/TmpDisc", 0, 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_ENOENT);
  EXPECT_EQ(ffs_open("/TmpDisc///", 0, 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_ENOENT);
  EXPECT_TRUE(g_calls.empty());  // the volume was not asked
  for (const char* path : {"/TmpDisc", "TmpDisc", "//TmpDisc//", "/./TmpDisc"}) {
    g_calls.clear();
    FileControlBlock* d = ffs_opendir(path);
    ASSERT_NE(d, nullptr) << path;
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls[0].command, FFS_REQ_RESOLVE);
    EXPECT_EQ(g_calls[0].path, "");
    EXPECT_EQ(g_calls[0].a2, FFS_RESOLVE_DIRECTORY);
    EXPECT_EQ(g_calls[0].a3, 0);  // absolute
    EXPECT_EQ(ffs_closedir(d), 0);
  }
  g_calls.clear();
  EXPECT_EQ(ffs_open("//TmpDisc/./a", 0, 0), 0);
  EXPECT_EQ(g_calls[0].path, "./a");  // the rest belongs to the volume
  EXPECT_EQ(ffs_open("/Nothing/a", 0, 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_ENXIO);
  EXPECT_EQ(ffs_open("/TmpDisc/missing", 0, 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_ENOENT);
  const std::string longVolume(65, 'v');
  EXPECT_EQ(ffs_opendir(("/" + longVolume).c_str()), nullptr);
  EXPECT_EQ(ffs_errno(), FFS_ENAMETOOLONG);
  EXPECT_EQ(ffs_opendir(("/" + longVolume + "/x").c_str()), nullptr);
  EXPECT_EQ(ffs_errno(), FFS_ENAMETOOLONG);
}

TEST_F(FileApi, RootListsTheMountedVolumes) {
  for (const char* path : {"/", "", ".", "//./"}) {
    FileControlBlock* d = ffs_opendir(path);
    ASSERT_NE(d, nullptr) << path;
    std::vector<std::string> names;
    while (FfsDirent* e = ffs_readdir(d)) names.push_back(e->name);
    EXPECT_EQ(names, (std::vector<std::string>{"TmpDisc", "Other"}));
    EXPECT_EQ(ffs_readdir(d), nullptr);  // stays at the end
    EXPECT_EQ(ffs_closedir(d), 0);
  }
  FfsStat st;
  std::memset(&st, 0xAB, sizeof st);
  EXPECT_EQ(ffs_stat("/", &st), 0);
  EXPECT_EQ(st.mode, 0x41C0);
  EXPECT_EQ(st.size, 0u);
  EXPECT_EQ(st.ino, 0u);
  EXPECT_EQ(ffs_open("/", 0, 0), -1);  // the root refuses opening
  EXPECT_EQ(ffs_errno(), FFS_EINVAL);
  EXPECT_EQ(ffs_mkdir("/", 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_EINVAL);
}

TEST_F(FileApi, DotDotLeavesTheVolume) {
  g_calls.clear();
  EXPECT_EQ(ffs_open("/TmpDisc/../Other/x", 0, 0), 0);
  ASSERT_EQ(g_calls.size(), 3u);
  EXPECT_EQ(g_calls[0].path, "../Other/x");
  EXPECT_EQ(g_calls[1].path, "x");
  EXPECT_EQ(ffs_fcb(0)->volume, &g_volB);
  // Up to the name-space root.
  FileControlBlock* d = ffs_opendir("/TmpDisc/..");
  ASSERT_NE(d, nullptr);
  FfsDirent* e = ffs_readdir(d);
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->name, "TmpDisc");
  ffs_closedir(d);
}

TEST_F(FileApi, RelativePathsStartInTheCurrentDirectory) {
  int cwd;
  ffs_set_current_directory(&g_volB, &cwd);
  g_calls.clear();
  EXPECT_EQ(ffs_open("a/b", 0, 0), 0);
  EXPECT_EQ(g_calls[0].path, "a/b");
  EXPECT_EQ(g_calls[0].a3, 1);  // relative
  EXPECT_EQ(ffs_fcb(0)->volume, &g_volB);
  g_calls.clear();
  EXPECT_EQ(ffs_open("../TmpDisc/c", 0, 0), 1);  // up and into another volume
  EXPECT_EQ(g_calls[1].path, "c");
  EXPECT_EQ(g_calls[1].a3, 0);
  EXPECT_EQ(ffs_fcb(1)->volume, &g_volA);
  ffs_set_current_directory(nullptr, nullptr);
}

TEST_F(FileApi, NoVolumeMounted) {
  ffs_unlink_mounted(ffs_default(), &g_volA);
  ffs_unlink_mounted(ffs_default(), &g_volB);
  ffs_set_errno(0);
  EXPECT_EQ(ffs_open("/TmpDisc/a", 0, 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_EINVAL);
  FileControlBlock* d = ffs_opendir("/");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(ffs_readdir(d), nullptr);
  ffs_closedir(d);
  ffs_link_mounted(ffs_default(), &g_volA);
  ffs_link_mounted(ffs_default(), &g_volB);
}

}  // namespace
