// Sample images made by vorel and byte-level edits of image files.
#include "tests/imagecheck/checker_images.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "tests/support/process.h"

namespace inspecttest {

std::string MakeSampleImage(const testsupport::TempDir& dir, const std::string& name,
                            const std::string& type, std::uint32_t size) {
  const std::string src = dir / (name + ".src");
  std::filesystem::create_directories(src + "/d");
  testsupport::WriteFile(src + "/a.txt", "hello");
  std::string b(600, '\0');
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<char>(i * 7 + 3);
  testsupport::WriteFile(src + "/d/b.bin", b);
  const std::string img = dir / name;
  testsupport::ProcessOptions o;
  o.workingDirectory = dir.path();
  o.setEnv = {{"TEMP", dir.path()}};
  const auto r = testsupport::RunProcess({VOREL_BINARY, "-dir:ptf", "-src:" + src, "-dst:" + img,
                                          "-size:" + std::to_string(size), "-flashType:" + type},
                                         o);
  EXPECT_EQ(r.exitCode, 0) << r.out;
  return img;
}

std::string ReadAt(const std::string& path, std::uint64_t offset, std::size_t count) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(std::streamoff(offset));
  std::string out(count, '\0');
  in.read(out.data(), std::streamsize(count));
  out.resize(std::size_t(in.gcount()));
  return out;
}

void WriteAt(const std::string& path, std::uint64_t offset, const std::string& bytes) {
  std::fstream io(path, std::ios::binary | std::ios::in | std::ios::out);
  io.seekp(std::streamoff(offset));
  io.write(bytes.data(), std::streamsize(bytes.size()));
  ASSERT_TRUE(io.good()) << path;
}

long long ModifiedNs(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

}  // namespace inspecttest
