// Host services behind the portable layer, on POSIX.
// Nothing here writes to standard error: every message goes to standard output.
#include "converter/host_fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <vector>

#include "converter/messages.h"

namespace vorel::host {

bool IsDirectory(const std::string& path) {
  if (::chdir(path.c_str()) != 0) return false;
  if (::chdir("..") != 0) { /* the answer stands: path was a directory */ }
  return true;
}

namespace {

// Opens path for reading without ever blocking (a FIFO without a writer, a
// device); -1 when it cannot be opened.
int OpenForReading(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
  const int fd = OpenForReading(path);
  if (fd < 0) return false;
  if (::close(fd) != 0) std::printf("%s", msg::kFileNotClosed);
  return true;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DeleteIfExists(const std::string& path) {
  if (!FileExists(path)) return true;
  return std::remove(path.c_str()) == 0;
}

CreateDirResult CreateDirectoryLevel(const std::string& path) {
  errno = 0;
  if (::mkdir(path.c_str(), 0777) == 0) return CreateDirResult::Created;
  return errno == EEXIST ? CreateDirResult::AlreadyExists : CreateDirResult::Failed;
}

constexpr std::size_t kZeroCheckFirstBlock = 4096;
constexpr std::size_t kZeroCheckLargestBlock = 1 << 20;

// Only a regular file is read: a FIFO could block and a device never end.
int ZeroDataCheck(const std::string& path) {
  if (!IsRegularFile(path)) return kCannotOpen;
  const int fd = OpenForReading(path);
  if (fd < 0) return kCannotOpen;
  // An image shows a non-zero byte in its first block; an all-zero file is
  // read in blocks that grow to 1 MiB.
  std::vector<unsigned char> block(kZeroCheckFirstBlock);
  bool nonZero = false;
  for (ssize_t n; (n = ::read(fd, block.data(), block.size())) > 0;) {
    nonZero = std::any_of(block.begin(), block.begin() + n, [](unsigned char b) { return b != 0; });
    if (nonZero) break;  // the larger block only once a block was all zero
    block.resize(std::min(block.size() * 16, kZeroCheckLargestBlock));
  }
  ::close(fd);
  if (nonZero) return kHasData;
  std::printf("%s", msg::kErrorPrefix);
  std::printf(msg::kOnlyZeroData, path.c_str());
  return kOnlyZeroData;
}

std::optional<std::string> TempDirectory() {
  for (const char* name : {"TEMP", "TMP"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::string(value);
  }
  std::string cwd = WorkingDirectory();
  if (cwd.empty()) return std::nullopt;
  return cwd;
}

namespace {

EntryKind ClassifyEntry(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return EntryKind::Other;
  if (S_ISDIR(st.st_mode)) return EntryKind::Directory;
  if (S_ISREG(st.st_mode)) return EntryKind::RegularFile;
  if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    return EntryKind::RegularFile;
  return EntryKind::Other;
}

// The listing's own type saves a stat per entry; only links and entries of
// unknown type are looked at.
EntryKind KindOf(const dirent& e, const std::string& dir) {
  switch (e.d_type) {
    case DT_DIR: return EntryKind::Directory;
    case DT_REG: return EntryKind::RegularFile;
    case DT_LNK:
    case DT_UNKNOWN: return ClassifyEntry(JoinPath(dir, e.d_name));
    default: return EntryKind::Other;
  }
}

}  // namespace

std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& path) {
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return std::nullopt;
  std::vector<DirectoryEntry> entries;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    entries.push_back({name, KindOf(*e, path)});
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return entries;
}

int CreateFileNoFollow(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool WriteAll(int fd, const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t written = ::write(fd, p, n);
    if (written < 0 && errno == EINTR) continue;
    if (written == 0) errno = ENOSPC;  // nothing taken: treated as a full disk
    if (written <= 0) return false;
    p += written;
    n -= static_cast<std::size_t>(written);
  }
  return true;
}

bool IsRealDirectory(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace vorel::host
