// vorel end to end: host trees into images and back, for both flash types,
// the copy rules (dotted directories, links, special files), reproducible
// images, full volumes, and images whose names must never reach a host path.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "converter/tree_copy.h"
#include "flashimage/flash_volumes.h"
#include "ffs/ffs.h"
#include "imagecheck/volume_check.h"
#include "ffs/nor/commit.h"
#include "ffs/nor/mount.h"
#include "tests/ffs/nor/image_builder.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

const std::string kSuccess = "-- VoRel -- Task executed successfully\n\n";
const std::string kOld = "MX29LV640B";
const std::string kNew = "M29W256G";

std::string Pattern(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 8)) & 0xFF);
  return s;
}

testsupport::ProcessResult Vorel(const std::vector<std::string>& args, const std::string& cwd) {
  std::vector<std::string> argv = {VOREL_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  testsupport::ProcessOptions o;
  o.workingDirectory = cwd;
  o.setEnv = {{"TEMP", cwd}};
  return testsupport::RunProcess(argv, o);
}

// Every image a ptf run leaves behind, complete or cut short by a full
// volume, must pass the volume check.
testsupport::ProcessResult Ptf(const std::string& src, const std::string& img, std::uint32_t size,
                               const std::string& type, const std::string& cwd) {
  auto r = Vorel({"-dir:ptf", "-src:" + src, "-dst:" + img, "-size:" + std::to_string(size),
                  "-flashType:" + type}, cwd);
  if (fs::exists(img)) {
    const auto check = inspect::CheckImage(
        img, type == kOld ? flashimage::FlashTypeCode::Old : flashimage::FlashTypeCode::New);
    EXPECT_TRUE(check.Passed()) << img << "\n" << check.Describe();
  }
  return r;
}

testsupport::ProcessResult Ftp(const std::string& img, const std::string& dst, const std::string& type,
                               const std::string& cwd) {
  return Vorel({"-dir:ftp", "-src:" + img, "-dst:" + dst, "-flashType:" + type}, cwd);
}

// Relative path -> content ("/" suffix for a directory), links not followed.
std::map<std::string, std::string> Snapshot(const std::string& root, bool skipDottedDirs) {
  std::map<std::string, std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = fs::relative(it->path(), root).string();
    if (it->is_directory() && !it->is_symlink()) {
      if (skipDottedDirs && it->path().filename().string().find('.') != std::string::npos) {
        it.disable_recursion_pending();
        continue;
      }
      out[rel + "/"] = "";
    } else if (it->is_regular_file()) {
      out[rel] = ReadFile(it->path().string());
    }
  }
  return out;
}

class TreeCopy : public ::testing::Test {
 protected:
  std::string Src(const std::string& rel = "") const { return rel.empty() ? dir / "src" : dir / ("src/" + rel); }
  void File(const std::string& rel, const std::string& content) {
    fs::create_directories(fs::path(Src(rel)).parent_path());
    WriteFile(Src(rel), content);
  }
  void Dir(const std::string& rel) { fs::create_directories(Src(rel)); }
  void BuildSampleTree() {
    File("empty.bin", "");
    File("one.bin", "x");
    File("block512.bin", Pattern(512, 1));
    File("block513.bin", Pattern(513, 2));
    File("k3.bin", Pattern(256 * 3, 3));
    File(std::string(64, 'n'), "sixty-four");
    File("sub/inner/deep.txt", "deep\n");
    File("sub/k40.bin", Pattern(256 * 40, 4));
    // Around the size of the host side's read and write blocks.
    for (const std::size_t n : {65535u, 65536u, 65537u, 65536u * 3 + 300})
      File("blocks/b" + std::to_string(n), Pattern(n, unsigned(n)));
    Dir("sub/empty");
    Dir("emptytop");
    File("data.old/skipped.txt", "not copied");
  }
  TempDir dir;
};

TEST_F(TreeCopy, VolumeRootEmptiness) {
  flashimage::FlashVolumes v;
  v.SetVolumeFileName(dir / "image.bin");
  v.SetVolumeSize(4 * 65536);
  v.SetFlashType(static_cast<std::uint32_t>(flashimage::FlashTypeCode::Old));
  testing::internal::CaptureStdout();
  const bool created = v.CreateFlashVolumes(true);
  testing::internal::GetCapturedStdout();
  ASSERT_TRUE(created);
  EXPECT_TRUE(vorel::IsVolumeRootEmpty("TmpDisc"));
  ASSERT_EQ(ffs_mkdir("/TmpDisc/sub", 0x1FF), 0);
  EXPECT_FALSE(vorel::IsVolumeRootEmpty("TmpDisc"));
  EXPECT_TRUE(vorel::IsVolumeRootEmpty("NoSuchVolume"));  // cannot be listed
}

TEST_F(TreeCopy, RoundTripBothFlashTypes) {
  BuildSampleTree();
  for (const auto& [type, size] : {std::pair{kOld, 4u << 20}, std::pair{kNew, 4u << 20}}) {
    const std::string img = dir / ("t" + type + ".img");
    const std::string back = dir / ("back" + type);
    auto r = Ptf(Src(), img, size, type, dir.path());
    ASSERT_EQ(r.exitCode, 0) << type << "\n" << r.out;
    EXPECT_EQ(r.out, "Format Volume TmpDisc \nMount Volume TmpDisc \n"
                     "Error:   Skipped (directory name holds '.'): " + Src("data.old") + "\n" + kSuccess);
    EXPECT_EQ(fs::file_size(img), size);
    r = Ftp(img, back, type, dir.path());
    ASSERT_EQ(r.exitCode, 0) << type << "\n" << r.out;
    EXPECT_EQ(r.out, kSuccess);
    EXPECT_EQ(Snapshot(back, false), Snapshot(Src(), true)) << type;
    EXPECT_FALSE(fs::exists(back + "/data.old"));
  }
}

TEST_F(TreeCopy, SameTreeGivesTheSameImageWhateverTheCreationOrder) {
  const std::vector<std::string> names = {"b", "a", "C", "z1", "m"};
  TempDir one, two;
  for (std::size_t i = 0; i < names.size(); ++i) {
    WriteFile(one / names[i], Pattern(300 + i * 97, unsigned(i)));
    fs::create_directories(one / ("d" + names[i]));
    WriteFile(one / ("d" + names[i] + "/f"), names[i]);
  }
  for (std::size_t k = names.size(); k-- > 0;) {
    fs::create_directories(two / ("d" + names[k]));
    WriteFile(two / ("d" + names[k] + "/f"), names[k]);
    WriteFile(two / names[k], Pattern(300 + k * 97, unsigned(k)));
  }
  ASSERT_EQ(Ptf(one.path(), dir / "one.img", 1u << 20, kOld, dir.path()).exitCode, 0);
  ASSERT_EQ(Ptf(two.path(), dir / "two.img", 1u << 20, kOld, dir.path()).exitCode, 0);
  EXPECT_TRUE(ReadFile(dir / "one.img") == ReadFile(dir / "two.img"));
}

TEST_F(TreeCopy, LinksAndSpecialFiles) {
  File("real.txt", "real");
  Dir("d");
  File("d/in.txt", "in");
  fs::create_symlink(Src("real.txt"), Src("file_link"));
  fs::create_directory_symlink(Src("d"), Src("dir_link"));
  ASSERT_EQ(mkfifo(Src("pipe").c_str(), 0600), 0);
  const auto r = Ptf(Src(), dir / "l.img", 1u << 20, kOld, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("Error:   Skipped (not a regular file or directory): " + Src("dir_link") + "\n"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Error:   Skipped (not a regular file or directory): " + Src("pipe") + "\n"),
            std::string::npos) << r.out;
  ASSERT_EQ(Ftp(dir / "l.img", dir / "back", kOld, dir.path()).exitCode, 0);
  EXPECT_EQ(ReadFile(dir / "back/file_link"), "real");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "back/file_link")));
  EXPECT_FALSE(fs::exists(dir / "back/dir_link"));
  EXPECT_FALSE(fs::exists(dir / "back/pipe"));
  EXPECT_EQ(ReadFile(dir / "back/d/in.txt"), "in");
}

TEST_F(TreeCopy, OnlyAnEmptySubdirectoryAndExistingHostDirectories) {
  Dir("only");
  ASSERT_EQ(Ptf(Src(), dir / "e.img", 1u << 20, kNew, dir.path()).exitCode, 0);
  fs::create_directories(dir / "back/only");  // already there: accepted
  const auto r = Ftp(dir / "e.img", dir / "back", kNew, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(fs::is_directory(dir / "back/only"));
}

TEST_F(TreeCopy, EmptyTreeGivesAnEmptyImageThatFtpReportsAsEmpty) {
  Dir("");
  ASSERT_EQ(Ptf(Src(), dir / "n.img", 1u << 20, kOld, dir.path()).exitCode, 0);
  const auto r = Ftp(dir / "n.img", dir / "back", kOld, dir.path());
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out,
            "-- VoRel -- ERROR: The input image is empty or you have selected the wrong flash type!\n\n");
}

TEST_F(TreeCopy, WrongFlashTypeDoesNotMount) {
  File("a.txt", "a");
  ASSERT_EQ(Ptf(Src(), dir / "w.img", 1u << 20, kOld, dir.path()).exitCode, 0);
  const auto r = Ftp(dir / "w.img", dir / "back", kNew, dir.path());
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out, "Error: Could not mount volume\n");
}

TEST_F(TreeCopy, FullInTheFirstDirectoryIsCopyErrors) {
  for (int i = 0; i < 12; ++i) File("big" + std::to_string(i), Pattern(40000, unsigned(i)));
  const auto r = Ptf(Src(), dir / "f.img", 4 * 65536, kOld, dir.path());
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_NE(r.out.find("-----------------VoRel ERROR --------------------\n"
                       "MakeStructureFilesOnFFs -- CopyToMurvexDir\n"
                       "working Dir: "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("source:      " + Src() + "\ndestination: TmpDisc\n"
                       "-------------------------------------------------\n"), std::string::npos) << r.out;
  const std::string last = "-------------------------------------------------\n"
                           "-- VoRel -- ERROR: Copy errors \n\n";
  EXPECT_TRUE(r.out.size() >= last.size() && r.out.compare(r.out.size() - last.size(), last.size(), last) == 0)
      << r.out;
}

TEST_F(TreeCopy, FullInTheSecondDirectoryIsDataTooLarge) {
  File("small.txt", "small");
  for (int i = 0; i < 12; ++i) File("sub/big" + std::to_string(i), Pattern(40000, unsigned(i)));
  const auto r = Ptf(Src(), dir / "f.img", 4 * 65536, kOld, dir.path());
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_NE(r.out.find("source:      " + Src("sub") + "\ndestination: TmpDisc/sub\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("-- VoRel -- ERROR: Data too largely \n\n"), std::string::npos) << r.out;
  // What the run reports as copied reads back intact.
  const auto back = Ftp(dir / "f.img", dir / "back", kOld, dir.path());
  EXPECT_EQ(ReadFile(dir / "back/small.txt"), "small") << back.out;
}

// An image holding names that must not become host paths, built with the
// sector manager's test encoders (4 sectors of 64 KiB).
TEST_F(TreeCopy, UnsafeNamesInAnImageAreSkippedAndReported) {
  using namespace nortest;
  using nor::MakeRef;
  TestFlash f(65536, 4);
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(f.geo, 3, 1);
  const std::vector<std::string> names = {"..", "a/b", "ok", "c\\d", ".", ""};
  m.slots[0].child = MakeRef(0, 2);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::uint32_t self = 2 + std::uint32_t(i);
    m.slots.push_back(FileEntry(names[i], MakeRef(0, 2 + std::uint32_t(names.size())), MakeRef(0, 0),
                                i + 1 < names.size() ? MakeRef(0, self + 1) : nor::kRefNone,
                                i > 0 ? MakeRef(0, self - 1) : nor::kRefNone));
  }
  m.slots.push_back(Inode(1));  // shared by every entry above
  WriteCheckpoint(f, m, f.geo.FirstDataCluster(3));
  WriteFile(dir / "u.img", std::string(f.mem.begin(), f.mem.end()));
  fs::create_directories(dir / "inside/out");
  const auto r = Ftp(dir / "u.img", dir / "inside/out", kOld, dir.path());
  EXPECT_EQ(r.exitCode, 255) << r.out;
  for (const char* shown : {"..", "a/b", "c\\d", ".", ""})
    EXPECT_NE(r.out.find("Error:   Unsafe name in image skipped: " + std::string(shown) + "\n"), std::string::npos)
        << shown << "\n" << r.out;
  EXPECT_NE(r.out.find("-- VoRel -- ERROR: Copy errors \n\n"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(dir / "inside/out/ok"));
  // Nothing beside the destination, nothing above it.
  std::vector<std::string> inside;
  for (const auto& e : fs::directory_iterator(dir / "inside")) inside.push_back(e.path().filename());
  EXPECT_EQ(inside, std::vector<std::string>{"out"});
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir / "inside/out")) out.push_back(e.path().filename());
  EXPECT_EQ(out, std::vector<std::string>{"ok"});
}

TEST_F(TreeCopy, CopyOutNeverFollowsLinksInTheDestination) {
  File("sub/x.txt", "x");
  File("y.txt", "y");
  ASSERT_EQ(Ptf(Src(), dir / "s.img", 1u << 20, kOld, dir.path()).exitCode, 0);
  fs::create_directories(dir / "elsewhere");
  fs::create_directories(dir / "back");
  fs::create_directory_symlink(dir / "elsewhere", dir / "back/sub");
  WriteFile(dir / "target.txt", "keep");
  fs::create_symlink(dir / "target.txt", dir / "back/y.txt");
  const auto r = Ftp(dir / "s.img", dir / "back", kOld, dir.path());
  EXPECT_EQ(r.exitCode, 255) << r.out;
  EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
  EXPECT_EQ(ReadFile(dir / "target.txt"), "keep");
}

// An entry the volume cannot take ends the copy with a line naming it and the
// reason, right before the error block.
TEST_F(TreeCopy, AFailedEntryIsNamedWithItsReason) {
  struct Case {
    std::string name;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {std::string(65, 'n'), "name longer than 64 bytes"},
      {"bad\xff" "name", "name is not valid UTF-8"},
      {"star*name", "name holds '*'"},
  };
  for (const auto& c : cases) {
    fs::remove_all(Src());
    File("ok.txt", "ok");
    File(c.name, "content");
    fs::remove(dir / "n.img");
    const auto r = Ptf(Src(), dir / "n.img", 1u << 20, kOld, dir.path());
    EXPECT_EQ(r.exitCode, 255) << c.reason;
    EXPECT_NE(r.out.find("Error:   Could not copy " + Src(c.name) + ": " + c.reason +
                         "\n-----------------VoRel ERROR --------------------\n"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("-- VoRel -- ERROR: Copy errors \n\n"), std::string::npos) << r.out;
  }
}

// A file the user may not read, seen by a user other than root.
TEST_F(TreeCopy, AnUnreadableFileIsNamedWithTheHostsReason) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  File("ok.txt", "ok");
  File("secret.txt", "secret");
  chmod(Src("secret.txt").c_str(), 0);
  chmod(dir.path().c_str(), 0777);
  chmod(Src().c_str(), 0777);
  testsupport::ProcessOptions o;
  o.workingDirectory = dir.path();
  o.setEnv = {{"TEMP", dir.path()}};
  o.runAsUid = 65534;
  const auto r = testsupport::RunProcess({VOREL_BINARY, "-dir:ptf", "-src:" + Src(), "-dst:" + (dir / "u.img"),
                                          "-size:1048576", "-flashType:" + kOld}, o);
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_NE(r.out.find("Error:   Could not copy " + Src("secret.txt") + ": Permission denied\n"
                       "-----------------VoRel ERROR"), std::string::npos) << r.out;
}

// Names holding a backslash are skipped with a line, so that what "ptf"
// stores "ftp" gives back whole: the round trip succeeds both ways.
TEST_F(TreeCopy, BackslashNamesAreSkippedAndTheRoundTripSucceeds) {
  File("plain.txt", "plain");
  File("back\\slash.txt", "file");
  File("dir\\name/in.txt", "in");
  File("sub/x\\y", "deep");
  File("sub/z.txt", "z");
  const auto r = Ptf(Src(), dir / "b.img", 1u << 20, kNew, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  for (const char* rel : {"back\\slash.txt", "dir\\name", "sub/x\\y"})
    EXPECT_NE(r.out.find("Error:   Skipped (name holds '\\'): " + Src(rel) + "\n"), std::string::npos)
        << rel << "\n" << r.out;
  const auto back = Ftp(dir / "b.img", dir / "back", kNew, dir.path());
  EXPECT_EQ(back.out, kSuccess);
  EXPECT_EQ(Snapshot(dir / "back", false),
            (std::map<std::string, std::string>{{"plain.txt", "plain"}, {"sub/", ""}, {"sub/z.txt", "z"}}));
}

}  // namespace

// Filling images to capacity, for both flash types.
namespace {

struct FillCase {
  const char* type;
  std::uint32_t sectorSize;
  std::uint32_t sectors;
};

class Filling : public TreeCopy, public ::testing::WithParamInterface<FillCase> {
 protected:
  std::uint32_t ImageSize() const { return GetParam().sectorSize * GetParam().sectors; }
  // Free bytes for file data of an empty image, as the statistics report them.
  std::uint32_t FreeBytesOfEmptyImage() {
    fs::create_directories(dir / "none");
    const auto r = Ptf(dir / "none", dir / "empty.img", ImageSize(), GetParam().type, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.out;
    const std::string bytes = ReadFile(dir / "empty.img");
    nortest::TestFlash f(GetParam().sectorSize, GetParam().sectors);
    f.Load(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    std::unique_ptr<nor::Volume> v = nor::Mount(&f.record, nor::kMountNoReclaim);
    EXPECT_NE(v, nullptr);
    return v ? nor::FreeClustersForData(*v, 0) * f.geo.cluster_size : 0;
  }
};

}  // namespace

TEST_P(Filling, ATreeLargerThanTheImageEndsFullAndEveryCopiedFileReadsBack) {
  // Twice the image in files of assorted sizes, at the top and in a
  // sub-directory.
  std::map<std::string, std::string> source;
  std::uint32_t total = 0;
  for (unsigned i = 0; total < 2 * ImageSize(); ++i) {
    const std::string rel = (i % 3 == 2 ? "sub/f" : "f") + std::to_string(1000 + i);
    source[rel] = Pattern(1000 + (i * 7919) % 60000, i);
    File(rel, source[rel]);
    total += static_cast<std::uint32_t>(source[rel].size());
  }
  const auto r = Ptf(Src(), dir / "full.img", ImageSize(), GetParam().type, dir.path());
  EXPECT_EQ(r.exitCode, 255);
  const bool dataTooLarge = r.out.find("-- VoRel -- ERROR: Data too largely \n\n") != std::string::npos;
  const bool copyErrors = r.out.find("-- VoRel -- ERROR: Copy errors \n\n") != std::string::npos;
  EXPECT_TRUE(dataTooLarge || copyErrors) << r.out;
  // The file being written when the space ran out is named; the image mounts
  // and every file in it is its source file byte for byte: the named one is
  // not in it at all.
  const std::string named = "Error:   Could not copy " + Src();
  const std::size_t at = r.out.find(named);
  ASSERT_NE(at, std::string::npos) << r.out;
  const std::size_t colon = r.out.find(": volume full\n-----------------VoRel ERROR", at);
  ASSERT_NE(colon, std::string::npos) << r.out;
  const std::string failed = r.out.substr(at + named.size() + 1, colon - at - named.size() - 1);
  ASSERT_TRUE(source.count(failed)) << failed;
  const auto back = Ftp(dir / "full.img", dir / "back", GetParam().type, dir.path());
  ASSERT_EQ(back.exitCode, 0) << back.out;
  const auto got = Snapshot(dir / "back", false);
  std::uint32_t whole = 0, copied = 0;
  for (const auto& [rel, content] : got) {
    if (rel.back() == '/') continue;
    ASSERT_TRUE(source.count(rel)) << rel;
    EXPECT_TRUE(content == source[rel]) << rel << ": " << content.size() << " of " << source[rel].size();
    ++whole;
    copied += static_cast<std::uint32_t>(content.size());
  }
  EXPECT_EQ(got.count(failed), 0u) << failed;
  EXPECT_GT(whole, 3u);
  // The image was really filled: at least half of it holds copied files.
  EXPECT_GT(copied, ImageSize() / 2) << copied;
}

TEST_P(Filling, ATreeThatJustFitsIsCopiedWhole) {
  const std::uint32_t free = FreeBytesOfEmptyImage();
  ASSERT_GT(free, 0u);
  // Files of 40 clusters' worth (the largest cluster size here is 1024
  // bytes) until 97 % of the reported free space is taken.
  const std::uint32_t fileSize = 40 * 1024;
  const std::uint32_t files = free * 97 / 100 / fileSize;
  ASSERT_GT(files, 5u);
  for (std::uint32_t i = 0; i < files; ++i) {
    File((i % 2 ? "d/g" : "g") + std::to_string(100 + i), Pattern(fileSize, i));
  }
  const auto r = Ptf(Src(), dir / "fit.img", ImageSize(), GetParam().type, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const auto back = Ftp(dir / "fit.img", dir / "back", GetParam().type, dir.path());
  ASSERT_EQ(back.exitCode, 0) << back.out;
  EXPECT_EQ(Snapshot(dir / "back", false), Snapshot(Src(), true));
}

INSTANTIATE_TEST_SUITE_P(BothFlashTypes, Filling,
                         ::testing::Values(FillCase{"MX29LV640B", 65536, 16},
                                           FillCase{"M29W256G", 131072, 8}));

// Entries without data fill an image through its checkpoint alone: a run
// either stores every one of them or fails (refused up front as a full
// volume, or a final commit that could not be written); it never reports
// success for an image that lacks some.
namespace {

struct Crowd {
  const char* what;
  int count;
  bool directories;
  std::size_t nameLength;
};

class Crowds : public TreeCopy, public ::testing::WithParamInterface<Crowd> {};

}  // namespace

TEST_P(Crowds, EveryEntryComesBackOrTheRunFails) {
  const Crowd& c = GetParam();
  fs::create_directories(Src());
  for (int i = 0; i < c.count; ++i) {
    std::string name = std::to_string(100000 + i);
    name = std::string(c.nameLength - name.size(), c.directories ? 'd' : 'f') + name;
    if (c.directories) Dir(name);
    else File(name, "");
  }
  const auto r = Ptf(Src(), dir / "crowd.img", 262144, kOld, dir.path());
  if (r.exitCode == 0) {
    EXPECT_NE(r.out.find(kSuccess), std::string::npos) << r.out;
    const auto back = Ftp(dir / "crowd.img", dir / "back", kOld, dir.path());
    ASSERT_EQ(back.exitCode, 0) << back.out;
    EXPECT_EQ(Snapshot(dir / "back", false), Snapshot(Src(), false));
    return;
  }
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out.find(kSuccess), std::string::npos) << r.out;
  const bool notWritten = r.out.find("Error:   Could not write the volume's checkpoint: ") != std::string::npos;
  const bool full = r.out.find("-- VoRel -- ERROR: Data too largely \n\n") != std::string::npos ||
                    r.out.find("-- VoRel -- ERROR: Copy errors \n\n") != std::string::npos;
  EXPECT_TRUE(notWritten || full) << r.out.substr(r.out.size() > 2000 ? r.out.size() - 2000 : 0);
  // What the image holds is whole and reads back.
  const auto back = Ftp(dir / "crowd.img", dir / "back", kOld, dir.path());
  EXPECT_TRUE(back.exitCode == 0 || back.out.find("The input image is empty") != std::string::npos) << back.out;
}

INSTANTIATE_TEST_SUITE_P(EmptyEntries, Crowds,
                         ::testing::Values(Crowd{"files", 1100, false, 60}, Crowd{"moreFiles", 1500, false, 60},
                                           Crowd{"directories", 1500, true, 30}),
                         [](const ::testing::TestParamInfo<Crowd>& i) { return std::string(i.param.what); });
