// The host layer under the tree copies: listing order, what counts as a file
// or a directory, and creating files and directories without following links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "converter/host_fs.h"
#include "tests/support/temp_dir.h"

namespace vorel::host {
namespace {

using testsupport::TempDir;
namespace fs = std::filesystem;

TEST(HostListing, ByteWiseNameOrderWhateverTheCreationOrder) {
  TempDir dir;
  for (const char* name : {"b", "B", "a.txt", "_x", "a", "Z9", "\xc3\xa9"}) testsupport::WriteFile(dir / name, "x");
  const auto entries = ListDirectory(dir.path());
  ASSERT_TRUE(entries);
  std::vector<std::string> names;
  for (const auto& e : *entries) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"B", "Z9", "_x", "a", "a.txt", "b", "\xc3\xa9"}));
}

TEST(HostListing, KindsOfEntries) {
  TempDir dir;
  fs::create_directory(dir / "d");
  testsupport::WriteFile(dir / "f", "x");
  fs::create_symlink(dir / "f", dir / "link_to_file");
  fs::create_directory_symlink(dir / "d", dir / "link_to_dir");
  fs::create_symlink(dir / "nothing", dir / "dangling");
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  const auto entries = ListDirectory(dir.path());
  ASSERT_TRUE(entries);
  std::map<std::string, EntryKind> kinds;
  for (const auto& e : *entries) kinds[e.name] = e.kind;
  EXPECT_EQ(kinds.size(), 6u);
  EXPECT_EQ(kinds["d"], EntryKind::Directory);
  EXPECT_EQ(kinds["f"], EntryKind::RegularFile);
  EXPECT_EQ(kinds["link_to_file"], EntryKind::RegularFile);
  EXPECT_EQ(kinds["link_to_dir"], EntryKind::Other);
  EXPECT_EQ(kinds["dangling"], EntryKind::Other);
  EXPECT_EQ(kinds["fifo"], EntryKind::Other);
}

TEST(HostListing, MissingDirectoryCannotBeListed) {
  TempDir dir;
  EXPECT_FALSE(ListDirectory(dir / "none"));
  testsupport::WriteFile(dir / "file", "x");
  EXPECT_FALSE(ListDirectory(dir / "file"));
}

TEST(HostCreate, NewFileAndReplacedFile) {
  TempDir dir;
  int fd = CreateFileNoFollow(dir / "new");
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "abc", 3), 3);
  close(fd);
  EXPECT_EQ(testsupport::ReadFile(dir / "new"), "abc");
  fd = CreateFileNoFollow(dir / "new");
  ASSERT_GE(fd, 0);
  close(fd);
  EXPECT_EQ(testsupport::ReadFile(dir / "new"), "");
}

TEST(HostCreate, NeverThroughALinkOrIntoAFifo) {
  TempDir dir;
  testsupport::WriteFile(dir / "target", "keep");
  fs::create_symlink(dir / "target", dir / "link");
  EXPECT_EQ(CreateFileNoFollow(dir / "link"), -1);
  EXPECT_EQ(testsupport::ReadFile(dir / "target"), "keep");
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(CreateFileNoFollow(dir / "fifo"), -1);  // must not block either
  fs::create_directory(dir / "d");
  EXPECT_EQ(CreateFileNoFollow(dir / "d"), -1);
}

TEST(HostCreate, RealDirectoryIsNotALink) {
  TempDir dir;
  fs::create_directory(dir / "d");
  fs::create_directory_symlink(dir / "d", dir / "l");
  EXPECT_TRUE(IsRealDirectory(dir / "d"));
  EXPECT_FALSE(IsRealDirectory(dir / "l"));
  EXPECT_FALSE(IsRealDirectory(dir / "none"));
  EXPECT_EQ(CreateDirectoryLevel(dir / "d"), CreateDirResult::AlreadyExists);
  EXPECT_EQ(CreateDirectoryLevel(dir / "e"), CreateDirResult::Created);
  EXPECT_EQ(CreateDirectoryLevel(dir / "x/y"), CreateDirResult::Failed);
}

TEST(HostZeroData, ResultsOfTheCheck) {
  TempDir dir;
  testing::internal::CaptureStdout();
  testsupport::WriteFile(dir / "zeros", std::string(200000, '\0'));
  EXPECT_EQ(ZeroDataCheck(dir / "zeros"), kOnlyZeroData);
  testsupport::WriteFile(dir / "empty", "");
  EXPECT_EQ(ZeroDataCheck(dir / "empty"), kOnlyZeroData);
  std::string late(200000, '\0');
  late.back() = '\x80';
  testsupport::WriteFile(dir / "late", late);
  EXPECT_EQ(ZeroDataCheck(dir / "late"), kHasData);
  EXPECT_EQ(ZeroDataCheck(dir / "none"), kCannotOpen);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "Error:   The file " + (dir / "zeros") + " contains only zero data (000)\n" +
                     "Error:   The file " + (dir / "empty") + " contains only zero data (000)\n");
}

}  // namespace
}  // namespace vorel::host
