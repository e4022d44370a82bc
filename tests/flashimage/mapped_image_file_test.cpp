// The mapped image file: sizes of new and existing files, directory creation,
// relative paths, failures, the mapping name, and writes reaching the file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "hostcli/host_paths.h"
#include "flashimage/mapped_image_file.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::TempDir;
using flashimage::MappedImageFile;

TEST(MappedImageFile, NewFileIsZeroExtendedToTheRequestedSize) {
  TempDir dir;
  const std::string path = dir / "a/b/image.bin";  // missing levels are created
  {
    MappedImageFile image(path, "TmpDisc", 300000);
    ASSERT_NE(image.View(), nullptr);
    EXPECT_EQ(image.Size(), 300000u);
    for (std::uint32_t i = 0; i < image.Size(); i += 4096) ASSERT_EQ(image.View()[i], 0);
    image.View()[299999] = 0xAB;
  }
  EXPECT_EQ(std::filesystem::file_size(path), 300000u);
  EXPECT_EQ(static_cast<unsigned char>(testsupport::ReadFile(path)[299999]), 0xAB);
}

// A new image of erased sectors: 0xFF up to the last whole sector, zeros
// after it, in the view and in the file; a buffered view as a shared one
// once written back.
TEST(MappedImageFile, NewFileStartsWithTheErasedBytes) {
  TempDir dir;
  struct Case {
    std::uint32_t size, erased;
  };
  for (const auto mode : {flashimage::MapMode::Shared, flashimage::MapMode::Buffered})
  for (const Case c : {Case{300000, 262144}, Case{262144, 262144}, Case{5000, 0},
                       Case{4096, 8192}, Case{1 << 20, 1 << 20}}) {
    const std::string path = dir / ("img" + std::to_string(c.size) + "_" + std::to_string(c.erased) +
                                    (mode == flashimage::MapMode::Shared ? "s" : "b"));
    std::string view;
    {
      MappedImageFile image(path, "TmpDisc", c.size, mode, c.erased);
      ASSERT_NE(image.View(), nullptr);
      ASSERT_EQ(image.Size(), c.size);
      view.assign(reinterpret_cast<const char*>(image.View()), c.size);
      // A new buffered file is only sized until its whole view is written back.
      if (image.Mode() == flashimage::MapMode::Buffered) {
        EXPECT_EQ(testsupport::ReadFile(path), std::string(c.size, '\0'));
        EXPECT_EQ(image.WriteBack(0, c.size), 0);
      }
    }
    const std::string bytes = testsupport::ReadFile(path);
    EXPECT_EQ(bytes, view) << c.size;
    ASSERT_EQ(bytes.size(), c.size);
    const std::size_t erased = std::min(c.erased, c.size);
    EXPECT_EQ(bytes.find_first_not_of('\xFF'), erased == c.size ? std::string::npos : erased);
    EXPECT_EQ(bytes.find_first_not_of('\0', erased), std::string::npos) << c.size;
  }
  // An existing file keeps its bytes.
  testsupport::WriteFile(dir / "old", std::string(5000, 'x'));
  { MappedImageFile image(dir / "old", "TmpDisc", 8192, flashimage::MapMode::Shared, 4096); }
  EXPECT_EQ(testsupport::ReadFile(dir / "old"), std::string(5000, 'x'));
}

// A buffered view reaches the file only through WriteBack, and only the
// range written back; an existing file is read into it and keeps its size.
TEST(MappedImageFile, BufferedViewReachesTheFileByWriteBack) {
  TempDir dir;
  const std::string path = dir / "buffered.img";
  testsupport::WriteFile(path, std::string(70000, 'x'));
  MappedImageFile image(path, "TmpDisc", 4096, flashimage::MapMode::Buffered);
  ASSERT_NE(image.View(), nullptr);
  ASSERT_EQ(image.Size(), 70000u);
  if (image.Mode() != flashimage::MapMode::Buffered) GTEST_SKIP() << "no huge pages offered";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.View()), 70000), std::string(70000, 'x'));
  std::fill_n(image.View(), 70000, 'y');
  EXPECT_EQ(testsupport::ReadFile(path), std::string(70000, 'x'));
  EXPECT_EQ(image.WriteBack(100, 65536), 0);
  EXPECT_EQ(testsupport::ReadFile(path),
            std::string(100, 'x') + std::string(65536, 'y') + std::string(70000 - 65636, 'x'));
  EXPECT_EQ(image.WriteBack(69999, 2), EINVAL);  // beyond the file: nothing written
  EXPECT_EQ(image.WriteBack(0, 70000), 0);
  EXPECT_EQ(testsupport::ReadFile(path), std::string(70000, 'y'));
  EXPECT_FALSE(image.Flush());
}

TEST(MappedImageFile, PrivateViewNeverReachesTheFile) {
  TempDir dir;
  testsupport::WriteFile(dir / "img", std::string(5000, 'x'));
  ASSERT_EQ(chmod((dir / "img").c_str(), 0444), 0);  // read-only files can be inspected
  {
    MappedImageFile image(dir / "img", "TmpDisc", 1 << 20, flashimage::MapMode::Private);
    ASSERT_NE(image.View(), nullptr);
    EXPECT_EQ(image.Size(), 5000u);
    image.View()[10] = 'y';
    EXPECT_EQ(image.View()[10], 'y');
    EXPECT_FALSE(image.Flush());
  }
  EXPECT_EQ(testsupport::ReadFile(dir / "img"), std::string(5000, 'x'));
  // A missing file is neither created nor are its directories.
  MappedImageFile missing(dir / "no/img", "TmpDisc", 4096, flashimage::MapMode::Private);
  EXPECT_EQ(missing.View(), nullptr);
  EXPECT_EQ(missing.Size(), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST(MappedImageFile, ExistingSizeWins) {
  TempDir dir;
  testsupport::WriteFile(dir / "img", std::string(5000, 'x'));
  MappedImageFile image(dir / "img", "TmpDisc", 1 << 20);
  ASSERT_NE(image.View(), nullptr);
  EXPECT_EQ(image.Size(), 5000u);
  EXPECT_EQ(image.View()[4999], 'x');
  EXPECT_EQ(std::filesystem::file_size(dir / "img"), 5000u);
}

TEST(MappedImageFile, FailuresLeaveNoViewAndSizeZero) {
  TempDir dir;
  std::filesystem::create_directory(dir / "adir");
  MappedImageFile directory(dir / "adir", nullptr, 4096);  // a directory cannot be mapped
  EXPECT_EQ(directory.View(), nullptr);
  EXPECT_EQ(directory.Size(), 0u);
  testsupport::WriteFile(dir / "empty", "");
  MappedImageFile empty(dir / "empty", nullptr, 4096);  // an existing empty file
  EXPECT_EQ(empty.View(), nullptr);
  EXPECT_EQ(empty.Size(), 0u);
  MappedImageFile zero(dir / "new0", nullptr, 0);
  EXPECT_EQ(zero.View(), nullptr);
  EXPECT_EQ(zero.Size(), 0u);
  testsupport::WriteFile(dir / "plain", "x");
  MappedImageFile underFile(dir / "plain/inside", nullptr, 4096);  // a file as directory
  EXPECT_EQ(underFile.View(), nullptr);
  EXPECT_EQ(underFile.Size(), 0u);
}

TEST(MappedImageFile, RelativePathIsTakenFromTheProgramDirectory) {
  TempDir dir;
  const std::string name = "mapped_image_rel_" + std::to_string(getpid()) + ".bin";
  const std::string expected = hostcli::JoinPath(hostcli::ProgramDirectory(), name);
  {
    MappedImageFile image(name, nullptr, 1024);
    EXPECT_EQ(image.Path(), expected);
    EXPECT_NE(image.View(), nullptr);
  }
  EXPECT_TRUE(std::filesystem::exists(expected));
  std::filesystem::remove(expected);
}

TEST(MappedImageFile, MappingNameIsBaseAndProcessId) {
  TempDir dir;
  MappedImageFile image(dir / "img", "TmpDisc", 1024);
  EXPECT_EQ(image.MappingName(), "TmpDisc" + std::to_string(getpid()));
  MappedImageFile unnamed(dir / "img2", nullptr, 1024);
  EXPECT_EQ(unnamed.MappingName(), "");
}

// A child process writes through the view and ends without unmapping or
// flushing; the parent then finds every byte in the file.
TEST(MappedImageFile, WritesReachTheFileWhenTheProcessEnds) {
  TempDir dir;
  const std::string path = dir / "shared.img";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto* image = new MappedImageFile(path, "TmpDisc", 65536);  // never destroyed
    if (image->View() == nullptr) _exit(1);
    for (std::uint32_t i = 0; i < 65536; ++i) image->View()[i] = static_cast<std::uint8_t>(i % 251);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  const std::string bytes = testsupport::ReadFile(path);
  ASSERT_EQ(bytes.size(), 65536u);
  for (std::uint32_t i = 0; i < 65536; ++i)
    ASSERT_EQ(static_cast<unsigned char>(bytes[i]), i % 251) << i;
}

// The shared lock "ptf" holds on the destination until its new image is in
// place: a read-write mount's exclusive lock is refused while it lives, and
// one held already is reported.
TEST(MappedImageFile, SharedImageLockKeepsOutAWriterWhileItLives) {
  TempDir dir;
  const std::string path = dir / "img";
  testsupport::WriteFile(path, std::string(4096, 'x'));
  auto exclusiveTaken = [&] {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    const bool taken = flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return taken;
  };
  {
    flashimage::SharedImageLock lock(path);
    EXPECT_FALSE(lock.HeldByOther());
    EXPECT_FALSE(exclusiveTaken());
  }
  EXPECT_TRUE(exclusiveTaken());
  {
    MappedImageFile writer(path, "TmpDisc", 4096, flashimage::MapMode::Shared);
    ASSERT_NE(writer.View(), nullptr);
    EXPECT_TRUE(flashimage::SharedImageLock(path).HeldByOther());
  }
  EXPECT_FALSE(flashimage::SharedImageLock(path).HeldByOther());
  EXPECT_FALSE(flashimage::SharedImageLock(dir / "missing").HeldByOther());
}

}  // namespace
