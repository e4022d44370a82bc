// Opening and mapping the image file: a relative path is taken from the
// program's directory, missing directory levels are created, the file is
// opened (or created), sized and mapped shared and writable. A private view
// opens an existing file read-only and maps it copy-on-write; a buffered one
// copies the file into anonymous memory and writes back what it is told.
#include "flashimage/mapped_image_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <cstring>
#include <limits>
#include <string_view>
#include <system_error>
#include <vector>

#include "hostcli/host_paths.h"

namespace flashimage {

namespace fs = std::filesystem;

namespace {

constexpr int kMappedState = 1;
constexpr std::size_t kFillChunk = 1 << 18;
constexpr std::uint8_t kErasedFill = 0xFF;

// Writes [from, to) of the file with `value` in large blocks. Answers 0 or
// the host's error number.
int FillRange(int fd, std::uint32_t from, std::uint32_t to, std::uint8_t value) {
  const std::vector<std::uint8_t> block(std::min<std::size_t>(kFillChunk, to - from), value);
  for (std::uint32_t at = from; at < to;) {
    const std::size_t n = std::min<std::size_t>(block.size(), to - at);
    const ssize_t written = pwrite(fd, block.data(), n, static_cast<off_t>(at));
    if (written <= 0) return written < 0 ? errno : ENOSPC;
    at += static_cast<std::uint32_t>(written);
  }
  return 0;
}

// Reserves the blocks of [0, size) so that writes through a mapping cannot
// fail later. The erased part is written with 0xFF before the file is
// mapped: large writes instead of one page fault per page of the view, and
// writing every byte reserves it too. Without an erased part a file system
// that cannot reserve gets the zeros written. Answers 0 or the host's error
// number.
int ReserveBlocks(int fd, std::uint32_t size, std::uint32_t erasedBytes) {
  if (erasedBytes > 0) {
    const int rc = FillRange(fd, 0, erasedBytes, kErasedFill);
    return rc != 0 ? rc : FillRange(fd, erasedBytes, size, 0);
  }
  const int rc = posix_fallocate(fd, 0, static_cast<off_t>(size));
  if (rc != EOPNOTSUPP && rc != ENOSYS && rc != EINVAL) return rc;
  return FillRange(fd, 0, size, 0);
}

// True when anonymous memory may get huge pages (always, or when asked).
bool HugePagesOffered() {
  char text[64] = {};
  const int fd = open("/sys/kernel/mm/transparent_hugepage/enabled", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  const std::string_view line(text, n > 0 ? static_cast<std::size_t>(n) : 0);
  return line.find("[always]") != line.npos || line.find("[madvise]") != line.npos;
}

}  // namespace

MappedImageFile::MappedImageFile(const std::string& path, const char* mappingNameBase,
                                 std::uint32_t size, MapMode mode, std::uint32_t erasedBytes)
    : size_(size), mode_(mode), erasedBytes_(erasedBytes) {
  if (mappingNameBase != nullptr)
    mappingName_ = std::string(mappingNameBase) + std::to_string(static_cast<long>(getpid()));
  Open(path);
}

MappedImageFile::~MappedImageFile() {
  if (view_ != nullptr) {
    if (mode_ == MapMode::Shared) Flush();
    munmap(view_, size_);
  }
  if (file_ >= 0) close(file_);
}

bool MappedImageFile::Flush() const {
  return mode_ == MapMode::Shared && view_ != nullptr && msync(view_, size_, MS_SYNC) == 0;
}

bool MappedImageFile::Fail(int error) {
  hostError_ = error;
  if (file_ >= 0) close(file_);
  file_ = -1;
  size_ = 0;
  created_ = false;
  return false;
}

bool MappedImageFile::Open(const std::string& path) {
  fs::path full(path);
  if (full.is_relative()) full = fs::path(hostcli::ProgramDirectory()) / full;
  path_ = full.string();
  const fs::path dir = full.parent_path();
  if (dir.empty() || !full.has_filename()) return Fail(0);
  if (mode_ == MapMode::Buffered && !HugePagesOffered()) mode_ = MapMode::Shared;
  const bool shared = mode_ != MapMode::Private;
  std::error_code ec;
  if (shared) fs::create_directories(dir, ec);  // the outcome shows when the file is opened

  // Never blocks: a FIFO or device is refused below, not waited for.
  bool& created = created_;
  file_ = open(path_.c_str(), (shared ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
  if (file_ < 0 && shared && errno == ENOENT) {
    file_ = open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    created = true;
  }
  if (file_ < 0) return Fail(errno);
  struct stat st {};
  if (fstat(file_, &st) != 0) return Fail(errno);
  if (!S_ISREG(st.st_mode)) return Fail(EINVAL);
  // A shared view (a writer: ffsmount -rw, a new vorel image) locks the file
  // exclusively, a private one shares the lock: nobody reads bytes that a
  // live writer is changing. The lock ends when the file is closed.
  if (flock(file_, (shared ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0)
    return Fail(errno == EWOULDBLOCK ? kImageLocked : errno);
  if (!created) {
    if (st.st_size < 0 ||
        static_cast<unsigned long long>(st.st_size) > std::numeric_limits<std::uint32_t>::max())
      return Fail(EFBIG);
    size_ = static_cast<std::uint32_t>(st.st_size);
  }
  if (size_ == 0) return Fail(0);
  if (created) {
    if (ftruncate(file_, size_) != 0) return Fail(errno);
    // A buffered view's erased bytes reach the file with its first
    // WriteBack, of the whole view: here the blocks are only reserved.
    const std::uint32_t erased = mode_ == MapMode::Buffered ? 0 : std::min(erasedBytes_, size_);
    const int rc = ReserveBlocks(file_, size_, erased);
    if (rc != 0) return Fail(rc);
  }
  if (mode_ == MapMode::Buffered) return MapBuffer();
  void* view = mmap(nullptr, size_, PROT_READ | PROT_WRITE, shared ? MAP_SHARED : MAP_PRIVATE,
                    file_, 0);
  if (view == MAP_FAILED) return Fail(errno);
  view_ = static_cast<std::uint8_t*>(view);
  mapping_ = kMappedState;
  return true;
}

// A new file's view is its erased bytes (the rest stays zero, as anonymous
// memory starts); an existing file is read into it.
bool MappedImageFile::MapBuffer() {
  void* view = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (view == MAP_FAILED) return Fail(errno);
  view_ = static_cast<std::uint8_t*>(view);
  madvise(view_, size_, MADV_HUGEPAGE);  // a hint: small pages only cost time
  if (created_) {
    std::memset(view_, kErasedFill, std::min(erasedBytes_, size_));
  } else {
    for (std::uint32_t at = 0; at < size_;) {
      const ssize_t n = pread(file_, view_ + at, size_ - at, static_cast<off_t>(at));
      if (n <= 0) {
        munmap(view_, size_);
        view_ = nullptr;
        return Fail(n < 0 ? errno : EIO);
      }
      at += static_cast<std::uint32_t>(n);
    }
  }
  mapping_ = kMappedState;
  return true;
}

int MappedImageFile::WriteBack(std::uint32_t offset, std::uint32_t count) {
  if (mode_ != MapMode::Buffered || view_ == nullptr || offset > size_ || count > size_ - offset)
    return EINVAL;
  for (std::uint32_t at = offset; at < offset + count;) {
    const ssize_t n = pwrite(file_, view_ + at, offset + count - at, static_cast<off_t>(at));
    if (n <= 0) return hostError_ = n < 0 ? errno : ENOSPC;
    at += static_cast<std::uint32_t>(n);
  }
  return 0;
}

SharedImageLock::SharedImageLock(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
  if (fd_ >= 0 && flock(fd_, LOCK_SH | LOCK_NB) != 0) {
    heldByOther_ = errno == EWOULDBLOCK;
    ::close(fd_);
    fd_ = -1;
  }
}

SharedImageLock::~SharedImageLock() {
  if (fd_ >= 0) ::close(fd_);  // drops the lock
}

}  // namespace flashimage
