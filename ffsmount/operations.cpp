// The operations of a mount over ImageFs. Every request takes the one mutex;
// a change marks the volume dirty, and a commit (fsync, the timer, unmount)
// writes a checkpoint of it, open files included.
#include "ffsmount/operations.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>

namespace ffsmount {

namespace {

using Lock = std::lock_guard<std::mutex>;

constexpr mode_t kPermissionBits = 07777;
constexpr blksize_t kStatBlock = 512;

bool Writes(int flags) { return (flags & O_ACCMODE) != O_RDONLY; }

std::uint32_t Serial(std::uint64_t handle) { return static_cast<std::uint32_t>(handle); }

std::uint32_t HostTime(const struct timespec& t, std::uint32_t current) {
  if (t.tv_nsec == UTIME_OMIT) return current;
  const time_t seconds = t.tv_nsec == UTIME_NOW ? time(nullptr) : t.tv_sec;
  return seconds < 0 ? 0 : seconds > time_t(UINT32_MAX) ? UINT32_MAX : std::uint32_t(seconds);
}

}  // namespace

// One control block stays free for the directory listings.
Operations::Operations(ImageFs& fs) : fs_(fs), pool_(fs, ImageFs::kControlBlocks - 1) {}

int Operations::Changed(int rc) {
  if (rc >= 0) dirty_ = true;
  return rc;
}

int Operations::Getattr(const std::string& path, struct stat& out) {
  Lock lock(mutex_);
  NodeStat st;
  if (const int rc = fs_.Stat(path, st); rc != 0) return rc;
  out = {};
  out.st_ino = st.serial;
  out.st_mode = (st.directory ? S_IFDIR : S_IFREG) | (st.permissions & kPermissionBits);
  out.st_nlink = st.links;
  out.st_uid = getuid();  // the file system stamps its one owner, the mounting user
  out.st_gid = getgid();
  out.st_size = st.size;
  out.st_blksize = kStatBlock;
  out.st_blocks = (st.size + kStatBlock - 1) / kStatBlock;
  out.st_atim.tv_sec = st.accessTime;
  out.st_mtim.tv_sec = st.modifyTime;
  out.st_ctim.tv_sec = st.modifyTime;
  return 0;
}

int Operations::Readdir(const std::string& path, std::vector<std::string>& names) {
  Lock lock(mutex_);
  return fs_.List(path, names);
}

int Operations::Open(const std::string& path, int flags, std::uint64_t& handle) {
  Lock lock(mutex_);
  if (Writes(flags) && !fs_.Writable()) return -EROFS;
  std::uint32_t serial = 0;
  const int fd = pool_.Acquire(path, Writes(flags), 0, &serial);
  if (fd < 0) return fd;
  pool_.HostOpened(serial);
  handle = serial;
  if (!((flags & O_TRUNC) && Writes(flags))) return 0;
  const int rc = Changed(fs_.Truncate(path, 0));
  // A failed open gets no release: the host's hold is given back here.
  if (rc < 0) pool_.HostReleased(serial);
  return rc;
}

int Operations::Create(const std::string& path, mode_t mode, std::uint64_t& handle) {
  Lock lock(mutex_);
  if (!fs_.Writable()) return -EROFS;
  std::uint32_t serial = 0;
  const int fd = pool_.Create(path, static_cast<std::uint16_t>(mode & kPermissionBits), serial);
  if (fd < 0) return fd;
  pool_.HostOpened(serial);
  handle = serial;
  return Changed(0);
}

int Operations::Read(const std::string& path, std::uint64_t handle, char* buffer,
                     std::size_t size, off_t offset) {
  Lock lock(mutex_);
  if (offset < 0) return -EINVAL;
  if (offset > INT32_MAX) return 0;
  const int fd = pool_.Acquire(path, false, Serial(handle));
  if (fd < 0) return fd;
  const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(size, INT32_MAX));
  return fs_.Read(fd, static_cast<std::uint32_t>(offset), buffer, count);
}

int Operations::Write(const std::string& path, std::uint64_t handle, const char* buffer,
                      std::size_t size, off_t offset) {
  Lock lock(mutex_);
  if (!fs_.Writable()) return -EROFS;
  if (offset < 0) return -EINVAL;
  if (offset > INT32_MAX || size > std::size_t(INT32_MAX - offset)) return -EFBIG;
  const int fd = pool_.Acquire(path, true, Serial(handle));
  if (fd < 0) return fd;
  return Changed(fs_.Write(fd, static_cast<std::uint32_t>(offset), buffer,
                           static_cast<std::uint32_t>(size)));
}

int Operations::Release(std::uint64_t handle) {
  Lock lock(mutex_);
  return pool_.HostReleased(Serial(handle));
}

int Operations::Truncate(const std::string& path, off_t length) {
  Lock lock(mutex_);
  if (!fs_.Writable()) return -EROFS;
  if (length < 0) return -EINVAL;
  if (length > INT32_MAX) return -EFBIG;
  return Changed(fs_.Truncate(path, static_cast<std::uint32_t>(length)));
}

int Operations::Mkdir(const std::string& path, mode_t mode) {
  Lock lock(mutex_);
  if (!fs_.Writable()) return -EROFS;
  return Changed(fs_.Mkdir(path, static_cast<std::uint16_t>(mode & kPermissionBits)));
}

int Operations::Unlink(const std::string& path) {
  Lock lock(mutex_);
  if (!fs_.Writable()) return -EROFS;
  NodeStat st;
  if (const int rc = fs_.Stat(path, st); rc != 0) return rc;
  if (st.directory) return -EISDIR;
  if (const int rc = pool_.Unlinking(path, st.serial, st.links <= 1); rc != 0) return rc;
  return Changed(fs_.Unlink(path));
}

int Operations::Rmdir(const std::string& path) {
  Lock lock(mutex_);
  if (!fs_.Writable()) return -EROFS;
  const int rc = fs_.Rmdir(path);
  return Changed(rc == -EEXIST ? -ENOTEMPTY : rc);  // the file system's "still has children"
}

// rename(2) replaces its target; the file system refuses to, so a target is
// removed first. Both happen under the mutex, before any commit can fall
// between them: a crash keeps either the old or the new state.
int Operations::RemoveTarget(const std::string& from, const std::string& to, unsigned flags) {
  NodeStat source, target;
  if (const int rc = fs_.Stat(from, source); rc != 0) return rc;
  if (fs_.Stat(to, target) != 0) return 0;  // nothing to replace
  if (flags & RENAME_NOREPLACE) return -EEXIST;
  if (source.serial == target.serial) return 1;  // two names of one file: nothing to do
  if (source.directory != target.directory) return source.directory ? -ENOTDIR : -EISDIR;
  if (target.directory) {
    if (to.compare(0, from.size() + 1, from + "/") == 0) return -EINVAL;
    std::vector<std::string> names;
    if (const int rc = fs_.List(to, names); rc != 0) return rc;
    if (!names.empty()) return -ENOTEMPTY;
    return Changed(fs_.Rmdir(to));
  }
  if (const int rc = pool_.Unlinking(to, target.serial, target.links <= 1); rc != 0) return rc;
  return Changed(fs_.Unlink(to));
}

int Operations::Rename(const std::string& from, const std::string& to, unsigned flags) {
  Lock lock(mutex_);
  if (!fs_.Writable()) return -EROFS;
  if (flags & ~unsigned(RENAME_NOREPLACE)) return -EINVAL;
  const int removed = RemoveTarget(from, to, flags);
  if (removed != 0) return removed < 0 ? removed : 0;
  return Changed(fs_.Rename(from, to));
}

int Operations::Link(const std::string& existing, const std::string& name) {
  Lock lock(mutex_);
  if (!fs_.Writable()) return -EROFS;
  return Changed(fs_.Link(existing, name));
}

int Operations::Chmod(const std::string& path, mode_t mode) {
  Lock lock(mutex_);
  if (!fs_.Writable()) return -EROFS;
  return Changed(fs_.Chmod(path, static_cast<std::uint16_t>(mode & kPermissionBits)));
}

int Operations::Utimens(const std::string& path, const struct timespec times[2]) {
  Lock lock(mutex_);
  if (!fs_.Writable()) return -EROFS;
  NodeStat st;
  if (const int rc = fs_.Stat(path, st); rc != 0) return rc;
  return Changed(fs_.SetTimes(path, HostTime(times[0], st.accessTime),
                              HostTime(times[1], st.modifyTime)));
}

int Operations::Statfs(struct statvfs& out) {
  Lock lock(mutex_);
  SpaceStat s;
  if (const int rc = fs_.Space(s); rc != 0) return rc;
  out = {};
  out.f_bsize = out.f_frsize = s.clusterSize;
  out.f_blocks = s.usableClusters;
  out.f_bfree = out.f_bavail = s.clusterSize ? s.freeBytes / s.clusterSize : 0;
  out.f_namemax = ImageFs::kNameMax;
  return 0;
}

int Operations::CommitLocked() {
  if (!fs_.Writable() || !dirty_) return 0;
  const int rc = fs_.Commit();
  if (rc == 0) dirty_ = false;
  return rc;
}

int Operations::Fsync() {
  Lock lock(mutex_);
  return CommitLocked();
}

bool Operations::Dirty() {
  Lock lock(mutex_);
  return dirty_;
}

int Operations::Shutdown() {
  Lock lock(mutex_);
  const int closed = pool_.CloseAll();
  const int rc = fs_.Close();
  dirty_ = false;
  return closed != 0 ? closed : rc;
}

}  // namespace ffsmount
