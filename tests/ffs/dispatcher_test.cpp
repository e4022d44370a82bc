// The dispatcher through the file API on an in-memory volume: opening and
// creating, limits, path forms, listings, status, rename, remove, links,
// permissions, read-only volumes, volume requests and the command table.
#include <cstring>

#include "ffs/file_system.h"
#include "ffs/dispatcher.h"
#include "ffs/file_api.h"
#include "ffs/module_table.h"
#include "tests/ffs/fs_fixture.h"
#include "tests/ffs/semaphore_recorder.h"

namespace {

// Every test runs on the in-memory services and on the sector manager itself.
class Dispatcher : public FsTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool OnFlash() const override { return GetParam(); }
};
using DispatcherInRam = FsTest;

TEST_P(Dispatcher, EleventhOpenFailsWithEmfileUntilAClose) {
  int fds[10];
  for (int i = 0; i < 10; ++i) {
    fds[i] = Create("/TmpDisc/f" + std::to_string(i));
    ASSERT_EQ(fds[i], i);
  }
  ExpectError(Create("/TmpDisc/f10"), FFS_EMFILE);
  EXPECT_EQ(vol->open_files, 10u);
  ASSERT_EQ(ffs_close(fds[6]), 0);
  EXPECT_EQ(Create("/TmpDisc/f10"), 6);
  // With every block in use not even a directory can be opened.
  EXPECT_EQ(ffs_opendir("/TmpDisc"), nullptr);
  EXPECT_EQ(ffs_errno(), FFS_ENOMEM);
  for (int fd = 0; fd < 10; ++fd) ASSERT_EQ(ffs_close(fd), 0);
  EXPECT_EQ(vol->open_files, 0u);
  EXPECT_EQ(List("/TmpDisc").size(), 11u);
}

TEST_P(Dispatcher, VolumeNameIsADirectoryNotAFile) {
  WriteFile("/TmpDisc/a", "x");
  ExpectError(ffs_open("/TmpDisc", FFS_O_RDONLY, 0), FFS_ENOENT);
  ExpectError(Create("/TmpDisc"), FFS_ENOENT);
  EXPECT_EQ(List("/TmpDisc"), std::vector<std::string>{"a"});
  EXPECT_EQ(List("TmpDisc"), std::vector<std::string>{"a"});
  EXPECT_EQ(List("/TmpDisc/"), std::vector<std::string>{"a"});
  FfsStat st;
  ASSERT_EQ(ffs_stat("/TmpDisc", &st), 0);
  EXPECT_EQ(st.mode, FFS_S_IFDIR | 7);
}

TEST_F(DispatcherInRam, SlashListsTheMountedVolumes) {
  ASSERT_EQ(sm->AddVolume("Second", 65536, 4), 0);
  EXPECT_EQ(List("/"), (std::vector<std::string>{"TmpDisc", "Second"}));
}

TEST_P(Dispatcher, DoubledSlashesAndDotSlashAreSkipped) {
  WriteFile("//TmpDisc/./a", "one");
  ASSERT_EQ(ffs_mkdir("/TmpDisc//d", 0x1FF), 0);
  WriteFile("/TmpDisc/d//./././b", "two");
  EXPECT_EQ(ReadFile("/TmpDisc/a"), "one");
  EXPECT_EQ(ReadFile("/TmpDisc/./d/b"), "two");
  ExpectError(ffs_open("/./TmpDisc/d/./b/", FFS_O_RDONLY, 0), FFS_EINVAL);  // a file name with a slash
  EXPECT_EQ(List("/TmpDisc/d/."), std::vector<std::string>{"b"});
}

TEST_P(Dispatcher, DotDotMovesUpAndLeavesTheVolumeAtItsRoot) {
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
  WriteFile("/TmpDisc/a", "top");
  EXPECT_EQ(ReadFile("/TmpDisc/d/../a"), "top");
  EXPECT_EQ(ReadFile("/TmpDisc/../TmpDisc/a"), "top");
  EXPECT_EQ(List("/TmpDisc/.."), std::vector<std::string>{"TmpDisc"});
  EXPECT_EQ(ffs_open("/TmpDisc/../a", FFS_O_RDONLY, 0), -1);  // "a" names no volume
  EXPECT_EQ(ffs_errno(), FFS_ENOENT);
}

TEST_P(Dispatcher, ComponentOfSixtyFiveCharactersIsTooLong) {
  const std::string n64(64, 'a'), n65(65, 'b');
  ASSERT_EQ(ffs_mkdir(("/TmpDisc/" + n64).c_str(), 0x1FF), 0);
  WriteFile("/TmpDisc/" + n64 + "/" + n64, "deep");
  ExpectError(ffs_mkdir(("/TmpDisc/" + n65).c_str(), 0x1FF), FFS_ENAMETOOLONG);
  ExpectError(Create("/TmpDisc/" + n65), FFS_ENAMETOOLONG);
  ExpectError(Create("/TmpDisc/" + n65 + "/x"), FFS_ENAMETOOLONG);
  FileControlBlock* d = ffs_opendir(("/TmpDisc/" + n65).c_str());
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(ffs_errno(), FFS_ENAMETOOLONG);
  EXPECT_EQ(List("/TmpDisc"), std::vector<std::string>{n64});
}

TEST_P(Dispatcher, ListingReturnsTheNewestChildFirst) {
  for (const char* n : {"first", "second", "third"}) WriteFile(std::string("/TmpDisc/") + n, n);
  ASSERT_EQ(ffs_mkdir("/TmpDisc/dir", 0x1FF), 0);
  EXPECT_EQ(List("/TmpDisc"), (std::vector<std::string>{"dir", "third", "second", "first"}));
  EXPECT_TRUE(List("/TmpDisc/dir").empty());
}

TEST_P(Dispatcher, CreateExclusiveOnAnExistingFile) {
  WriteFile("/TmpDisc/f", "keep");
  ExpectError(Create("/TmpDisc/f", FFS_O_WRONLY | FFS_O_CREAT | FFS_O_EXCL), FFS_EEXIST);
  const int fd = Create("/TmpDisc/f", FFS_O_RDWR | FFS_O_CREAT);
  ASSERT_GE(fd, 0);
  char buf[8] = {};
  EXPECT_EQ(ffs_read(fd, buf, 8), 4);
  EXPECT_STREQ(buf, "keep");
  ASSERT_EQ(ffs_close(fd), 0);
  ExpectError(ffs_open("/TmpDisc/none", FFS_O_RDONLY, 0), FFS_ENOENT);
  ExpectError(ffs_open("/TmpDisc/no/f", FFS_O_RDONLY, 0), FFS_ENOENT);
  WriteFile("/TmpDisc/plain", "x");
  ExpectError(Create("/TmpDisc/plain/f"), FFS_ENOTDIR);
}

TEST_P(Dispatcher, DirectoryOpenedForWritingIsRefused) {
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
  ExpectError(ffs_open("/TmpDisc/d", FFS_O_WRONLY, 0), FFS_EISDIR);
  ExpectError(ffs_open("/TmpDisc/d", FFS_O_RDWR, 0), FFS_EISDIR);
  const int fd = ffs_open("/TmpDisc/d", FFS_O_RDONLY, 0);
  ASSERT_GE(fd, 0);
  char c;
  ExpectError(ffs_read(fd, &c, 1), FFS_EISDIR);
  EXPECT_EQ(ffs_fcb(fd)->last_error, FFS_EISDIR);
  EXPECT_EQ(ffs_close(fd), 0);
  ExpectError(ffs_mkdir("/TmpDisc/d", 0x1FF), FFS_EEXIST);
  ExpectError(ffs_mkdir("/TmpDisc/d/", 0x1FF), FFS_EEXIST);
}

TEST_P(Dispatcher, SecondWriterIsRefusedReadersAreNot) {
  const int w = Create("/TmpDisc/f");
  ASSERT_GE(w, 0);
  ExpectError(ffs_open("/TmpDisc/f", FFS_O_WRONLY, 0), FFS_EACCES);
  ExpectError(ffs_open("/TmpDisc/f", FFS_O_RDWR, 0), FFS_EACCES);
  const int r = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  EXPECT_GE(r, 0);
  ExpectError(ffs_access("/TmpDisc/f", 2), FFS_EACCES);
  EXPECT_EQ(ffs_access("/TmpDisc/f", 4), 0);
  ASSERT_EQ(ffs_close(w), 0);
  const int w2 = ffs_open("/TmpDisc/f", FFS_O_WRONLY, 0);  // the reader does not stop it
  EXPECT_GE(w2, 0);
}

TEST_P(Dispatcher, ReadOnlyVolumeRefusesEveryChange) {
  WriteFile("/TmpDisc/f", "data");
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
  vol->flags |= FFS_VF_READ_ONLY;
  for (int flags : {FFS_O_WRONLY, FFS_O_RDWR, FFS_O_CREAT, FFS_O_APPEND, FFS_O_TRUNC})
    ExpectError(ffs_open("/TmpDisc/f", flags, 0), FFS_EROFS);
  ExpectError(ffs_mkdir("/TmpDisc/e", 0x1FF), FFS_EROFS);
  ExpectError(ffs_rename("/TmpDisc/f", "/TmpDisc/g"), FFS_EROFS);
  ExpectError(ffs_unlink("/TmpDisc/f"), FFS_EROFS);
  ExpectError(ffs_rmdir("/TmpDisc/d"), FFS_EROFS);
  ExpectError(ffs_truncate("/TmpDisc/f", 0), FFS_EROFS);
  ExpectError(ffs_chmod("/TmpDisc/f", 0), FFS_EROFS);
  EXPECT_EQ(ReadFile("/TmpDisc/f"), "data");  // reading goes on
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  ExpectError(ffs_ftruncate(fd, 0), FFS_EROFS);
  vol->flags &= ~FFS_VF_READ_ONLY;
}

TEST_P(Dispatcher, StatusOfFilesAndDirectories) {
  WriteFile("/TmpDisc/f", Pattern(1000));
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1ED), 0);
  FfsStat f{}, d{};
  ASSERT_EQ(ffs_stat("/TmpDisc/f", &f), 0);
  ASSERT_EQ(ffs_stat("/TmpDisc/d", &d), 0);
  EXPECT_EQ(f.size, 1000u);
  EXPECT_EQ(f.mode, 0x1FF);
  EXPECT_EQ(f.nlink, 1u);
  EXPECT_EQ(d.mode, FFS_S_IFDIR | 0x1ED);
  EXPECT_EQ(d.size, 0u);
  EXPECT_NE(f.ino, d.ino);
  EXPECT_EQ(f.mtime, 0u);  // the clock yields 0
  EXPECT_EQ(f.atime, 0u);
  ExpectError(ffs_stat("/TmpDisc/none", &f), FFS_ENOENT);
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  FfsStat viaFd{};
  ASSERT_EQ(ffs_fstat(fd, &viaFd), 0);
  EXPECT_EQ(viaFd.ino, f.ino);
  EXPECT_EQ(viaFd.size, 1000u);
}

TEST_P(Dispatcher, RenameWithinAndAcrossDirectories) {
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d/sub", 0x1FF), 0);
  WriteFile("/TmpDisc/a", "A");
  WriteFile("/TmpDisc/b", "B");
  ASSERT_EQ(ffs_rename("/TmpDisc/a", "/TmpDisc/a"), 0);
  ASSERT_EQ(ffs_rename("/TmpDisc/a", "/TmpDisc/renamed-with-a-longer-name"), 0);
  EXPECT_EQ(ReadFile("/TmpDisc/renamed-with-a-longer-name"), "A");
  ExpectError(ffs_rename("/TmpDisc/renamed-with-a-longer-name", "/TmpDisc/b"), FFS_EEXIST);
  ASSERT_EQ(ffs_rename("/TmpDisc/b", "/TmpDisc/d/sub/b2"), 0);
  EXPECT_EQ(ReadFile("/TmpDisc/d/sub/b2"), "B");
  ExpectError(ffs_rename("/TmpDisc/d", "/TmpDisc/d/sub/d"), FFS_EINVAL);
  ExpectError(ffs_rename("/TmpDisc/nothing", "/TmpDisc/x"), FFS_ENOENT);
  ExpectError(ffs_rename("/TmpDisc/d/sub/b2", "/TmpDisc/a*b"), FFS_EINVAL);
  ASSERT_EQ(ffs_rename("/TmpDisc/d/sub", "/TmpDisc/top"), 0);
  EXPECT_EQ(List("/TmpDisc"), (std::vector<std::string>{"top", "renamed-with-a-longer-name", "d"}));
  EXPECT_EQ(ReadFile("/TmpDisc/top/b2"), "B");
}

TEST_F(DispatcherInRam, RemoveAndRemoveWhileOpen) {
  WriteFile("/TmpDisc/f", Pattern(3000));
  WriteFile("/TmpDisc/g", "g");
  const std::uint32_t freeBefore = sm->FreeCount(vol);
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  ASSERT_EQ(ffs_unlink("/TmpDisc/f"), 0);
  EXPECT_EQ(List("/TmpDisc"), std::vector<std::string>{"g"});
  ExpectError(ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0), FFS_ENOENT);
  std::string back(3000, '\0');
  EXPECT_EQ(ffs_read(fd, back.data(), 3000), 3000);  // still readable while open
  EXPECT_EQ(back, Pattern(3000));
  EXPECT_EQ(sm->FreeCount(vol), freeBefore);
  ASSERT_EQ(ffs_close(fd), 0);
  EXPECT_EQ(sm->FreeCount(vol), freeBefore + 6);  // its six clusters come back
  ExpectError(ffs_unlink("/TmpDisc/f"), FFS_ENOENT);
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
  ExpectError(ffs_unlink("/TmpDisc/d"), FFS_EISDIR);
}

TEST_P(Dispatcher, RemoveDirectory) {
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
  WriteFile("/TmpDisc/d/f", "x");
  ExpectError(ffs_rmdir("/TmpDisc/d"), FFS_EEXIST);
  ExpectError(ffs_rmdir("/TmpDisc"), FFS_ENOENT);
  ExpectError(ffs_rmdir("/TmpDisc/d/f"), FFS_ENOTDIR);
  ASSERT_EQ(ffs_unlink("/TmpDisc/d/f"), 0);
  FileControlBlock* open = ffs_opendir("/TmpDisc/d");
  ExpectError(ffs_rmdir("/TmpDisc/d"), FFS_EBUSY);
  ffs_closedir(open);
  ffs_set_owner(3, 0);
  ExpectError(ffs_rmdir("/TmpDisc/d"), FFS_EPERM);
  ffs_set_owner(0, 0);
  EXPECT_EQ(ffs_rmdir("/TmpDisc/d"), 0);
  EXPECT_TRUE(List("/TmpDisc").empty());
}

TEST_P(Dispatcher, ListingSurvivesRemovalOfItsCursor) {
  for (const char* n : {"a", "b", "c", "d"}) WriteFile(std::string("/TmpDisc/") + n, n);
  FileControlBlock* dir = ffs_opendir("/TmpDisc");
  ASSERT_STREQ(ffs_readdir(dir)->name, "d");
  ASSERT_STREQ(ffs_readdir(dir)->name, "c");
  ASSERT_EQ(ffs_unlink("/TmpDisc/c"), 0);
  EXPECT_STREQ(ffs_readdir(dir)->name, "b");
  ASSERT_EQ(ffs_unlink("/TmpDisc/b"), 0);
  ASSERT_EQ(ffs_unlink("/TmpDisc/d"), 0);
  EXPECT_STREQ(ffs_readdir(dir)->name, "a");
  EXPECT_EQ(ffs_readdir(dir), nullptr);
  ffs_closedir(dir);
}

TEST_P(Dispatcher, LinksShareTheData) {
  WriteFile("/TmpDisc/f", "shared");
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
  ASSERT_EQ(ffs_link("/TmpDisc/f", "/TmpDisc/d/g"), 0);
  FfsStat st{};
  ASSERT_EQ(ffs_stat("/TmpDisc/d/g", &st), 0);
  EXPECT_EQ(st.nlink, 2u);
  ASSERT_EQ(ffs_unlink("/TmpDisc/f"), 0);
  EXPECT_EQ(ReadFile("/TmpDisc/d/g"), "shared");
  ExpectError(ffs_link("/TmpDisc/d", "/TmpDisc/d2"), FFS_EPERM);
  ExpectError(ffs_link("/TmpDisc/d/g", "/TmpDisc/d/g"), FFS_EEXIST);
}

TEST_P(Dispatcher, PermissionsFollowOwnerGroupAndEverybody) {
  WriteFile("/TmpDisc/f", "x");
  ASSERT_EQ(ffs_chmod("/TmpDisc/f", 0), 0);
  ExpectError(ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0), FFS_EACCES);
  ASSERT_EQ(ffs_chmod("/TmpDisc/f", 0x100), 0);  // owner read
  int fd = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  EXPECT_GE(fd, 0);
  ffs_close(fd);
  ExpectError(ffs_open("/TmpDisc/f", FFS_O_WRONLY, 0), FFS_EACCES);
  ASSERT_EQ(ffs_chmod("/TmpDisc/f", 0x10), 0);  // group write only: the owner is in the group
  EXPECT_GE(fd = ffs_open("/TmpDisc/f", FFS_O_WRONLY, 0), 0);
  ffs_close(fd);
  ffs_set_owner(9, 9);  // another user in another group
  ExpectError(ffs_open("/TmpDisc/f", FFS_O_WRONLY, 0), FFS_EACCES);
  ExpectError(ffs_chmod("/TmpDisc/f", 0x1FF), FFS_EPERM);
  ffs_set_owner(9, 0);  // another user in the owner's group
  EXPECT_GE(fd = ffs_open("/TmpDisc/f", FFS_O_WRONLY, 0), 0);
  ffs_close(fd);
  ffs_set_owner(0, 0);
  ASSERT_EQ(ffs_chmod("/TmpDisc/f", FFS_S_IFDIR | 0x4), 0);  // the directory bit is never stored
  FfsStat st{};
  ffs_stat("/TmpDisc/f", &st);
  EXPECT_EQ(st.mode, 0x4);
  ASSERT_EQ(ffs_chown("/TmpDisc/f", 5, 6), 0);
  ffs_stat("/TmpDisc/f", &st);
  EXPECT_EQ(st.uid, 5);
  EXPECT_EQ(st.gid, 6);
  ExpectError(ffs_chown("/TmpDisc/f", 0, 0), FFS_EPERM);
  // Search permission on a directory on the way.
  ASSERT_EQ(ffs_mkdir("/TmpDisc/locked", 0x1FF & ~0x49), 0);
  WriteFile("/TmpDisc/x", "");
  ExpectError(ffs_open("/TmpDisc/locked/y", FFS_O_CREAT | FFS_O_WRONLY, 0), FFS_EACCES);
}

TEST_P(Dispatcher, CurrentDirectoryAndRelativePaths) {
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d/e", 0x1FF), 0);
  EXPECT_EQ(ffs_getcwd(nullptr, 0), nullptr);
  ASSERT_EQ(ffs_chdir("/TmpDisc/d/e"), 0);
  char buf[64];
  ASSERT_NE(ffs_getcwd(buf, sizeof buf), nullptr);
  EXPECT_STREQ(buf, "/TmpDisc/d/e");
  EXPECT_EQ(ffs_getcwd(buf, 12), nullptr);
  EXPECT_EQ(ffs_errno(), FFS_ERANGE);
  char* allocated = ffs_getcwd(nullptr, 0);
  ASSERT_NE(allocated, nullptr);
  EXPECT_STREQ(allocated, "/TmpDisc/d/e");
  std::free(allocated);
  WriteFile("rel", "relative");
  EXPECT_EQ(ReadFile("/TmpDisc/d/e/rel"), "relative");
  EXPECT_EQ(ReadFile("../e/./rel"), "relative");
  EXPECT_EQ(ReadFile("../../../TmpDisc/d/e/rel"), "relative");  // up, out and back in
  ExpectError(ffs_chdir("/TmpDisc/d/e/rel"), FFS_ENOTDIR);
}

TEST_P(Dispatcher, FileIdsAndNamesInUse) {
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
  WriteFile("/TmpDisc/d/f", "x");
  const int id = ffs_file_id("/TmpDisc/d/f");
  FfsStat st{};
  ffs_stat("/TmpDisc/d/f", &st);
  EXPECT_EQ(id, static_cast<int>((vol->volume_index << 20) | st.ino));
  char buf[64];
  FfsPathBuffer pb{buf, sizeof buf};
  auto ask = [&](std::intptr_t index, int mode) {
    return vol->handler(nullptr, FFS_REQ_FILE_ID_NAME, reinterpret_cast<std::intptr_t>(vol), index,
                        st.ino, mode, reinterpret_cast<std::intptr_t>(&pb));
  };
  ASSERT_NE(ask(vol->volume_index, 1), -1);
  EXPECT_STREQ(buf, "f");
  ASSERT_NE(ask(vol->volume_index, 0), -1);
  EXPECT_STREQ(buf, "/TmpDisc/d/f");
  EXPECT_EQ(ask(vol->volume_index + 1, 0), 0);  // another volume's id
  auto inUse = [&](const char* name) {
    return vol->handler(nullptr, FFS_REQ_NAME_IN_USE, reinterpret_cast<std::intptr_t>(name), 0, 0, 0, 0);
  };
  EXPECT_EQ(inUse("f"), 1);
  EXPECT_EQ(inUse("d"), 0);  // directories do not count
  EXPECT_EQ(inUse("g"), 0);
}

TEST_F(DispatcherInRam, SortEmptyTreeAndTimes) {
  for (const char* n : {"b", "c", "a"}) WriteFile(std::string("/TmpDisc/") + n, n);
  FileControlBlock block{};
  ffs_fcb_reset(&block, FFS_KIND_DIRECTORY);
  block.volume = vol;
  auto* root = vol->nor->nodes.Root();
  auto cmp = +[](const char* x, const char* y) { return std::strcmp(x, y); };
  ASSERT_EQ(ffs_dispatch(&block, FFS_REQ_SORT_DIR, reinterpret_cast<std::intptr_t>(root),
                         reinterpret_cast<std::intptr_t>(cmp), 0, 0, 0), 0);
  EXPECT_EQ(List("/TmpDisc"), (std::vector<std::string>{"a", "b", "c"}));
  ASSERT_EQ(ffs_mkdir("/TmpDisc/t", 0x1FF), 0);
  ASSERT_EQ(ffs_mkdir("/TmpDisc/t/u", 0x1FF), 0);
  ASSERT_EQ(ffs_mkdir("/TmpDisc/t/u/v", 0x1FF), 0);
  WriteFile("/TmpDisc/t/u/v/f", Pattern(2000));
  WriteFile("/TmpDisc/t/g", "g");
  const std::uint32_t freeBefore = sm->FreeCount(vol);
  ASSERT_EQ(ffs_empty_tree("/TmpDisc/t"), 0);
  EXPECT_TRUE(List("/TmpDisc/t").empty());
  EXPECT_EQ(sm->FreeCount(vol), freeBefore + 4 + 1);
  const std::uint32_t times[2] = {11, 22};
  ASSERT_EQ(ffs_set_times("/TmpDisc/a", times), 0);
  FfsStat st{};
  ffs_stat("/TmpDisc/a", &st);
  EXPECT_EQ(st.mtime, 11u);
  EXPECT_EQ(st.atime, 22u);
  ASSERT_EQ(ffs_set_times("/TmpDisc/a", nullptr), 0);
  ffs_stat("/TmpDisc/a", &st);
  EXPECT_EQ(st.mtime, 0u);
}

TEST_P(Dispatcher, AttributeWord) {
  WriteFile("/TmpDisc/f", "x");
  FileControlBlock block{};
  ffs_fcb_reset(&block, FFS_KIND_DIRECTORY);
  block.volume = vol;
  block.entry = vol->nor->nodes.Root();
  std::uint32_t value = 0xF0F0;
  ASSERT_EQ(ffs_dispatch(&block, FFS_REQ_ATTRIBUTES, reinterpret_cast<std::intptr_t>("f"), 0x0FF0,
                         reinterpret_cast<std::intptr_t>(&value), 0, 0), 0);
  EXPECT_EQ(value, 0x00F0u);
  value = 0;
  ASSERT_EQ(ffs_dispatch(&block, FFS_REQ_ATTRIBUTES, reinterpret_cast<std::intptr_t>("f"), 0,
                         reinterpret_cast<std::intptr_t>(&value), 0, 0), 0);
  EXPECT_EQ(value, 0x00F0u);
  ffs_set_owner(4, 0);
  EXPECT_EQ(ffs_dispatch(&block, FFS_REQ_ATTRIBUTES, reinterpret_cast<std::intptr_t>("f"), 1,
                         reinterpret_cast<std::intptr_t>(&value), 0, 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_EPERM);
}

TEST_P(Dispatcher, OpenFlagsRoundTrip) {
  int fd = Create("/TmpDisc/f", FFS_O_WRONLY | FFS_O_CREAT | FFS_O_APPEND);
  EXPECT_EQ(ffs_get_flags(fd), 5);
  ffs_close(fd);
  fd = ffs_open("/TmpDisc/f", FFS_O_RDWR, 0);
  EXPECT_EQ(ffs_get_flags(fd), 2);
  EXPECT_EQ(ffs_set_flags(fd, 4 | 64 | 128), 0);
  EXPECT_EQ(ffs_get_flags(fd), 6 | 64 | 128);
  ffs_close(fd);
  fd = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  EXPECT_EQ(ffs_get_flags(fd), 0);
  EXPECT_EQ(ffs_set_flags(fd, 4), 0);  // append needs a writable file
  EXPECT_EQ(ffs_get_flags(fd), 0);
}

TEST_P(Dispatcher, CommandTableRefusesUnknownCodes) {
  FileControlBlock block{};
  ffs_fcb_reset(&block, FFS_KIND_FILE);
  block.volume = vol;
  for (int code : {-1, 0, 3, 11, 13, 26, 63, 67, 1000}) {
    ffs_set_errno(0);
    EXPECT_EQ(ffs_dispatch(&block, code, 0, 0, 0, 0, 0), -1) << code;
    EXPECT_EQ(ffs_errno(), FFS_EINVAL) << code;
  }
  const auto v = reinterpret_cast<std::intptr_t>(vol);
  for (int code : {4, 10, 12, 35, 62, 10, 67, 99}) {
    ffs_set_errno(0);
    EXPECT_EQ(ffs_dispatch(nullptr, code, v, 0, 0, 0, 0), -1) << code;
    EXPECT_EQ(ffs_errno(), FFS_EINVAL) << code;
  }
  EXPECT_EQ(ffs_dispatch(&block, FFS_REQ_NOT_OFFERED, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(ffs_errno(), FFS_EINVAL);
  // A volume request names a real record.
  VolumeRecord fake{};
  EXPECT_EQ(ffs_dispatch(nullptr, FFS_REQ_SYNC_NOW, reinterpret_cast<std::intptr_t>(&fake), 0, 0, 0, 0), -1);
}

TEST_P(Dispatcher, FailedVolumeAnswersEio) {
  WriteFile("/TmpDisc/f", "x");
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  vol->flags |= FFS_VF_IO_ERROR;
  char c;
  ExpectError(ffs_read(fd, &c, 1), FFS_EIO);
  ExpectError(ffs_tell(fd), FFS_EIO);
  ExpectError(ffs_sync("TmpDisc"), FFS_EIO);
  vol->flags |= FFS_VF_BUSY;
  ExpectError(ffs_hold_commits("TmpDisc"), FFS_EBUSY);
  vol->flags &= ~(FFS_VF_IO_ERROR | FFS_VF_BUSY);
}

TEST_F(DispatcherInRam, HoldAndReleaseCommits) {
  vol->flags |= FFS_VF_COMMIT_ON_CLOSE;
  ASSERT_EQ(ffs_hold_commits("TmpDisc"), 0);
  ASSERT_EQ(ffs_hold_commits("TmpDisc"), 0);
  EXPECT_EQ(vol->flags & FFS_VF_COMMIT_ON_CLOSE, 0u);
  WriteFile("/TmpDisc/f", "x");
  EXPECT_NE(vol->flags & FFS_VF_CHANGED, 0u);
  const int syncs = sm->Syncs();
  ASSERT_EQ(ffs_release_commits("TmpDisc"), 0);
  EXPECT_EQ(sm->Syncs(), syncs);  // not the last release
  ASSERT_EQ(ffs_release_commits("TmpDisc"), 0);
  EXPECT_EQ(sm->Syncs(), syncs + 1);
  EXPECT_NE(vol->flags & FFS_VF_COMMIT_ON_CLOSE, 0u);
}

TEST_F(DispatcherInRam, VolumeStatistics) {
  WriteFile("/TmpDisc/f", Pattern(2048));
  FfsVolumeStats st{};
  ASSERT_EQ(ffs_volume_stats("TmpDisc", &st), 0);
  EXPECT_EQ(st.one, 1u);
  EXPECT_EQ(st.cluster_size, 512u);
  EXPECT_EQ(st.usable_clusters, 8u * 127);
  EXPECT_EQ(st.sector_size, 65536u);
  EXPECT_EQ(st.sector_count, 8u);
  EXPECT_EQ(st.version, 4u);
  EXPECT_EQ(st.open_file_limit, 10u);
  EXPECT_EQ(st.open_files, 0u);
  EXPECT_EQ(st.free_clusters, 8u * 127 - 4);
  EXPECT_EQ(st.free_bytes, (8u * 127 - 5) * 512);
  EXPECT_GT(st.name_pool_used, 0u);
  ASSERT_EQ(ffs_compact_names("TmpDisc"), 0);
  ExpectError(ffs_volume_stats("Nothing", &st), FFS_ENXIO);
}

TEST_P(Dispatcher, UnmountClosesEverythingAndMountBringsTheTreeBack) {
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
  WriteFile("/TmpDisc/d/f", Pattern(1500));
  const int fd = Create("/TmpDisc/open");
  ASSERT_EQ(ffs_write(fd, "abc", 3), 3);
  FileControlBlock* dir = ffs_opendir("/TmpDisc/d");
  ASSERT_EQ(ffs_chdir("/TmpDisc/d"), 0);
  const std::uint32_t refs = vol->ref_count;
  EXPECT_EQ(refs, 3u);
  ASSERT_EQ(ffs_unmount("TmpDisc"), 0);
  EXPECT_EQ(vol->ref_count, 1u);
  EXPECT_EQ(vol->open_files, 0u);
  EXPECT_TRUE(ffs_fcb_is_free(ffs_fcb(fd)));
  EXPECT_TRUE(ffs_fcb_is_free(dir));
  EXPECT_EQ(ffs_getcwd(nullptr, 0), nullptr);
  ExpectError(ffs_open("/TmpDisc/d/f", FFS_O_RDONLY, 0), FFS_EINVAL);  // nothing mounted
  ASSERT_EQ(ffs_mount("TmpDisc"), 0);
  EXPECT_EQ(ReadFile("/TmpDisc/d/f"), Pattern(1500));
  EXPECT_EQ(ReadFile("/TmpDisc/open"), "abc");
}

TEST_P(Dispatcher, LockOrderOfACall) {
  WriteFile("/TmpDisc/f", "x");
  const int fd = ffs_open("/TmpDisc/f", FFS_O_WRONLY, 0);
  SemaphoreRecorder rec;
  ASSERT_EQ(ffs_write(fd, "y", 1), 1);
  char w[16];
  std::snprintf(w, sizeof w, "FFS_W%03u", 0u);
  const auto e = rec.Events();
  ASSERT_EQ(e.size(), 8u);
  EXPECT_EQ(e[0], "wait fcb00000");
  EXPECT_EQ(e[1].substr(0, 10), "wait FFS_W");
  EXPECT_EQ(e[2].substr(0, 10), "wait FFS_R");
  EXPECT_EQ(e[3], "wait FFS_SEM");
  EXPECT_EQ(e[4].substr(0, 13), "release FFS_R");
  EXPECT_EQ(e[5].substr(0, 13), "release FFS_W");
  EXPECT_EQ(e[6], "release FFS_SEM");
  EXPECT_EQ(e[7], "release fcb00000");
}

INSTANTIATE_TEST_SUITE_P(Backends, Dispatcher, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "OnFlash" : "InRam"; });

}  // namespace

namespace {

// Commands the file API reaches only through a block of its own.
class BlockCommands : public FsTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool OnFlash() const override { return GetParam(); }
  std::intptr_t OnFd(int fd, int command, std::intptr_t a1 = 0, std::intptr_t a2 = 0) {
    return ffs_on_fd(ffs_default(), fd, FFS_LOCK_OPEN,
                     [&](FileControlBlock& b) { return ffs_ask(b, command, a1, a2); });
  }
};

TEST_P(BlockCommands, ReadDirectoryWithStatusAndWithOpening) {
  WriteFile("/TmpDisc/f", "12345");
  ASSERT_EQ(ffs_mkdir("/TmpDisc/d", 0x1FF), 0);
  FileControlBlock* dir = ffs_opendir("/TmpDisc");
  ASSERT_NE(dir, nullptr);
  const int dfd = ffs_fcb_index(dir);
  int opened = 99;
  auto* e = reinterpret_cast<FfsDirent*>(
      OnFd(dfd, FFS_REQ_READDIR_OPEN, FFS_O_RDONLY, reinterpret_cast<std::intptr_t>(&opened)));
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->name, "d");
  EXPECT_EQ(opened, -2);  // a directory is not opened
  e = reinterpret_cast<FfsDirent*>(
      OnFd(dfd, FFS_REQ_READDIR_OPEN, FFS_O_RDONLY, reinterpret_cast<std::intptr_t>(&opened)));
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->name, "f");
  ASSERT_GE(opened, 0);
  char buf[8] = {};
  EXPECT_EQ(ffs_read(opened, buf, 8), 5);
  EXPECT_STREQ(buf, "12345");
  EXPECT_EQ(ffs_close(opened), 0);
  EXPECT_EQ(OnFd(dfd, FFS_REQ_READDIR_OPEN, 0, reinterpret_cast<std::intptr_t>(&opened)), 0);
  ffs_closedir(dir);

  dir = ffs_opendir("/TmpDisc");
  auto* s = reinterpret_cast<FfsDirent*>(OnFd(ffs_fcb_index(dir), FFS_REQ_READDIR_STAT));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(dir->dirstat.mode & FFS_S_IFDIR, FFS_S_IFDIR);
  OnFd(ffs_fcb_index(dir), FFS_REQ_READDIR_STAT);
  EXPECT_EQ(dir->dirstat.size, 5u);
  EXPECT_EQ(dir->dirstat.mode, 0x1FF);
  ffs_closedir(dir);
}

TEST_P(BlockCommands, DuplicateFlushRestoreAndModeTimes) {
  WriteFile("/TmpDisc/f", Pattern(1300));
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDWR, 0);
  ASSERT_EQ(ffs_lseek(fd, 700, 0), 700);
  const FcbPosition saved = ffs_fcb(fd)->position;
  const int copy = ffs_dup(fd);
  ASSERT_GE(copy, 0);
  EXPECT_NE(copy, fd);
  EXPECT_EQ(ffs_tell(copy), 700);
  EXPECT_EQ(vol->open_files, 2u);
  ASSERT_EQ(ffs_write(fd, "W", 1), 1);
  EXPECT_EQ(OnFd(fd, FFS_REQ_FLUSH), 0);
  ASSERT_EQ(ffs_lseek(fd, 0, 0), 0);
  EXPECT_EQ(OnFd(fd, FFS_REQ_RESTORE_POSITION, reinterpret_cast<std::intptr_t>(&saved)), 0);
  EXPECT_EQ(ffs_tell(fd), 700);
  char c = 0;
  ASSERT_EQ(ffs_read(fd, &c, 1), 1);
  EXPECT_EQ(c, 'W');
  const FfsModeTimes mt{0x1A4, 5, 6};
  EXPECT_EQ(OnFd(fd, FFS_REQ_SET_MODE_TIMES, reinterpret_cast<std::intptr_t>(&mt)), 0);
  FfsStat st{};
  ASSERT_EQ(ffs_fstat(fd, &st), 0);
  EXPECT_EQ(st.mode, 0x1A4);
  EXPECT_EQ(st.mtime, 5u);
  EXPECT_EQ(st.atime, 6u);
  EXPECT_EQ(ffs_close(copy), 0);
  EXPECT_EQ(ffs_close(fd), 0);
  EXPECT_EQ(vol->open_files, 0u);
  ExpectError(ffs_close(fd), FFS_EBADF);
}

TEST_P(BlockCommands, NamesAreChecked) {
  for (const char* bad : {"/TmpDisc/a*b", "/TmpDisc/\xC0\x80", "/TmpDisc/\xF4\x90\x80\x80"}) {
    ExpectError(Create(bad), FFS_EINVAL);
    ExpectError(ffs_mkdir(bad, 0x1FF), FFS_EINVAL);
  }
  EXPECT_GE(Create("/TmpDisc/\xF4\x8F\xBF\xBF"), 0);
  ASSERT_EQ(ffs_mkdir("/TmpDisc/trailing//", 0x1FF), 0);
  EXPECT_EQ(List("/TmpDisc/trailing").size(), 0u);
}

TEST_P(BlockCommands, SpaceCheckAndCompaction) {
  WriteFile("/TmpDisc/f", Pattern(4000));
  const std::intptr_t space = vol->handler(nullptr, FFS_REQ_SPACE_CHECK,
                                           reinterpret_cast<std::intptr_t>(vol), 0, 0, 0, 0);
  EXPECT_GT(space, 0);
  EXPECT_LT(space, 8 * 128);
  for (int i = 0; i < 30; ++i) WriteFile("/TmpDisc/n" + std::to_string(i), "x");
  for (int i = 0; i < 30; i += 2) ASSERT_EQ(ffs_unlink(("/TmpDisc/n" + std::to_string(i)).c_str()), 0);
  EXPECT_EQ(ffs_compact_names("TmpDisc"), 0);
  for (int i = 1; i < 30; i += 2) EXPECT_EQ(ReadFile("/TmpDisc/n" + std::to_string(i)), "x");
  EXPECT_EQ(ReadFile("/TmpDisc/f"), Pattern(4000));
}

INSTANTIATE_TEST_SUITE_P(Backends, BlockCommands, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "OnFlash" : "InRam"; });

}  // namespace
