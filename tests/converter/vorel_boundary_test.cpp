// vorel and ffsinspect at the host's boundary, as processes: an existing
// image is only ever replaced by a complete one, a full host disk is a clear
// error with nothing left behind, relative paths mean the starting working
// directory, FIFOs and devices never block, and extracting never changes the
// image.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "converter/image_replacement.h"
#include "converter/run_signals.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProcessOptions;
using testsupport::ProcessResult;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

const std::string kSuccess = "-- VoRel -- Task executed successfully\n\n";
const std::string kMountFailed = "Error: Could not mount volume\n";
constexpr int kTimeout = 20;

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.insert(e.path().filename());
  return out;
}

class Boundary : public ::testing::Test {
 protected:
  ProcessResult Run(const char* binary, std::vector<std::string> args, ProcessOptions o = {}) {
    args.insert(args.begin(), binary);
    if (o.workingDirectory.empty()) o.workingDirectory = dir.path();
    o.setEnv.emplace("TEMP", dir.path());
    o.timeoutSeconds = kTimeout;
    auto r = testsupport::RunProcess(args, o);
    EXPECT_FALSE(r.timedOut) << args[1];
    return r;
  }
  ProcessResult Ptf(const std::string& dst, const std::string& size, ProcessOptions o = {}) {
    return Run(VOREL_BINARY, {"-dir:ptf", "-src:" + (dir / "tree"), "-dst:" + dst, "-size:" + size,
                              "-flashType:MX29LV640B"}, o);
  }
  ProcessResult Ftp(const std::string& src, const std::string& dst, ProcessOptions o = {}) {
    return Run(VOREL_BINARY, {"-dir:ftp", "-src:" + src, "-dst:" + dst, "-flashType:MX29LV640B"}, o);
  }
  void Tree() {
    fs::create_directories(dir / "tree/sub");
    WriteFile(dir / "tree/small.txt", "small");
    WriteFile(dir / "tree/sub/big.bin", std::string(300000, 'b'));
  }
  TempDir dir;
};

// A bad -size: fails at mount: the image that was there keeps every byte and
// no temporary file stays beside it.
TEST_F(Boundary, BadSizeLeavesTheExistingImageUnchanged) {
  Tree();
  ASSERT_EQ(Ptf(dir / "o.img", "4194304").exitCode, 0);
  const std::string before = ReadFile(dir / "o.img");
  const auto names = Names(dir.path());
  for (const char* size : {"abc", "-5", "0x400000", "", "99999999999", "100000"}) {
    const auto r = Ptf(dir / "o.img", size);
    EXPECT_EQ(r.exitCode, 255) << size;
    EXPECT_NE(r.out.find(kMountFailed), std::string::npos) << size << ": " << r.out;
    EXPECT_TRUE(ReadFile(dir / "o.img") == before) << size;
    EXPECT_EQ(Names(dir.path()), names) << size;
  }
}

// The new image replaces the old one only when it is complete.
TEST_F(Boundary, AGoodRunReplacesTheExistingImage) {
  Tree();
  WriteFile(dir / "o.img", "previous image content");
  const auto r = Ptf(dir / "o.img", "4194304");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(fs::file_size(dir / "o.img"), 4194304u);
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"o.img", "tree"}));
}

// A run ended by SIGTERM or SIGINT before the new image is in place removes it
// and says so; the destination is untouched.
TEST_F(Boundary, SignalBeforeTheImageIsInPlaceRemovesIt) {
  for (int sig : {SIGTERM, SIGINT}) {
    WriteFile(dir / "o.img", "keep");
    const pid_t pid = fork();
    if (pid == 0) {
      std::freopen("/dev/null", "w", stdout);
      vorel::InstallRunSignalHandlers();
      vorel::ImageReplacement replacement(dir / "o.img");
      WriteFile(replacement.TemporaryPath(), "half built");
      raise(sig);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
    EXPECT_EQ(ReadFile(dir / "o.img"), "keep");
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"o.img"});
  }
}

// A host that cannot hold the image: a file-size limit here, a small tmpfs
// as well when the test may mount one. One clear line, nothing left behind,
// an existing image untouched.
TEST_F(Boundary, FullHostDiskIsNamedAndLeavesNothing) {
  Tree();
  WriteFile(dir / "o.img", "keep");
  ProcessOptions limited;
  limited.fileSizeLimit = 1 << 20;
  auto r = Ptf(dir / "o.img", "4194304", limited);
  EXPECT_EQ(r.out, "Error:   Could not prepare the image file " + (dir / "o.img") + ": File too large\n");
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(ReadFile(dir / "o.img"), "keep");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"o.img", "tree"}));

  const std::string small = dir / "small";
  fs::create_directories(small);
  if (geteuid() != 0 || mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0) return;
  r = Ptf(small + "/x.img", "4194304");
  const auto left = Names(small);
  umount(small.c_str());
  EXPECT_EQ(r.out, "Error:   Could not prepare the image file " + small + "/x.img: No space left on device\n");
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_TRUE(left.empty());
}

// Copying out onto a full host disk: the file that did not fit is removed,
// named with the host's reason; what fitted stays.
TEST_F(Boundary, FullHostDiskOnCopyOutRemovesThePartialFile) {
  Tree();
  ASSERT_EQ(Ptf(dir / "o.img", "4194304").exitCode, 0);
  ProcessOptions limited;
  limited.fileSizeLimit = 64 << 10;
  const auto r = Ftp(dir / "o.img", dir / "back", limited);
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_NE(r.out.find("Error:   Could not copy " + (dir / "back/sub/big.bin") +
                       ": File too large\n-----------------VoRel ERROR"),
            std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(dir / "back/small.txt"), "small");
  EXPECT_FALSE(fs::exists(dir / "back/sub/big.bin"));
}

// From working directory A, "-src:B/tree -dst:rel.img" writes A/rel.img and
// leaves a B/rel.img alone.
TEST_F(Boundary, RelativeDestinationMeansTheStartingWorkingDirectory) {
  fs::create_directories(dir / "A/B/tree");
  WriteFile(dir / "A/B/tree/f.txt", "f");
  WriteFile(dir / "A/B/rel.img", "keep");
  ProcessOptions o;
  o.workingDirectory = dir / "A";
  const auto r = Run(VOREL_BINARY, {"-dir:ptf", "-src:B/tree", "-dst:rel.img", "-size:1048576",
                                    "-flashType:MX29LV640B"}, o);
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(fs::file_size(dir / "A/rel.img"), 1048576u);
  EXPECT_EQ(ReadFile(dir / "A/B/rel.img"), "keep");
  // And back, relative both ways, from the same directory.
  const auto back = Run(VOREL_BINARY, {"-dir:ftp", "-src:rel.img", "-dst:B/out", "-flashType:MX29LV640B"}, o);
  EXPECT_EQ(back.exitCode, 0) << back.out;
  EXPECT_EQ(ReadFile(dir / "A/B/out/f.txt"), "f");
}

// FIFOs and devices where an image or a scratch file is expected: refused
// with the existing messages (or deleted, for the scratch file), never waited on.
TEST_F(Boundary, FifosAndDevicesNeverBlock) {
  Tree();
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  const std::string notValid = "Error:   Source path name not valid!\n";
  for (const std::string& src : {dir / "fifo", std::string("/dev/zero")}) {
    const auto r = Ftp(src, dir / "out");
    EXPECT_EQ(r.out, notValid) << src;
    EXPECT_EQ(r.exitCode, 255) << src;
    const auto c = Run(FFSINSPECT_BINARY, {src, "check", "-flashType:MX29LV640B"});
    EXPECT_EQ(c.exitCode, 3) << src << c.out;
  }
  const auto p = Ptf(dir / "fifo", "4194304");
  EXPECT_EQ(p.out, "Error: destination path has to be a file name (not a path name)!");
  EXPECT_EQ(p.exitCode, 255);
  struct stat st {};
  EXPECT_TRUE(stat((dir / "fifo").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
  // A FIFO named like the scratch file is deleted like it.
  ASSERT_EQ(mkfifo((dir / "Disk2.dat").c_str(), 0600), 0);
  EXPECT_EQ(Ftp(dir / "missing.img", dir / "out").out, notValid);
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "Disk2.dat")));
}

// Extracting maps the image privately: its bytes and modification time stay,
// and an image the user may only read extracts.
TEST_F(Boundary, ExtractingNeverChangesTheImage) {
  Tree();
  ASSERT_EQ(Ptf(dir / "o.img", "4194304").exitCode, 0);
  const timeval past[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimes((dir / "o.img").c_str(), past), 0);
  ASSERT_EQ(chmod((dir / "o.img").c_str(), 0444), 0);
  const std::string before = ReadFile(dir / "o.img");
  ProcessOptions o;
  if (geteuid() == 0) {
    // As another user the read-only mode really binds.
    chmod(dir.path().c_str(), 0777);
    o.runAsUid = 65534;
  }
  const auto r = Ftp(dir / "o.img", dir / "back", o);
  EXPECT_EQ(r.out, kSuccess);
  EXPECT_EQ(ReadFile(dir / "back/sub/big.bin"), std::string(300000, 'b'));
  EXPECT_TRUE(ReadFile(dir / "o.img") == before);
  struct stat st {};
  ASSERT_EQ(stat((dir / "o.img").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1000000000);
}

}  // namespace
