// The further file calls: each resolves its path (or takes its descriptor)
// and sends one request to the volume's dispatcher. Two-path calls resolve
// the target first and then run the request on the source's directory.
#include "ffs/file_api.h"
#include "ffs/file_system.h"
#include "ffs/module_table.h"
#include "ffs/path_resolve.h"
#include "ffs/volume_table.h"

namespace {

std::intptr_t Ptr(const void* p) { return reinterpret_cast<std::intptr_t>(p); }

// The parent directory of a path's last component and that component.
struct Target {
  VolumeRecord* volume = nullptr;
  std::intptr_t dir = -1;
  const char* name = nullptr;
};

Target ResolveTarget(FileSystem& fs, const char* path, int what) {
  FileControlBlock block = ffs_temporary_block(fs, FFS_KIND_DIRECTORY);
  Target t;
  t.name = path;
  t.dir = ffs_resolve_path(&block, &t.name, what, FFS_LOCK_READ);
  if (t.dir == -1) return t;
  block.unlock(&block, FFS_LOCK_READ);
  t.volume = block.volume;
  if (t.volume == nullptr) t.dir = Fail(fs, FFS_EINVAL);  // the name-space root
  return t;
}

VolumeRecord* MountedVolume(FileSystem& fs, const char* name) {
  if (name != nullptr && (*name == '/' || *name == '\\')) ++name;
  VolumeRecord* v = name ? ffs_find_mounted(fs, name) : nullptr;
  if (v == nullptr) Fail(fs, FFS_ENXIO);
  return v;
}

int VolumeRequest(FileSystem& fs, const char* volume, int command, std::intptr_t a2 = 0) {
  VolumeRecord* v = MountedVolume(fs, volume);
  if (v == nullptr) return -1;
  return static_cast<int>(v->handler(nullptr, command, Ptr(v), a2, 0, 0, 0));
}

int Result(std::intptr_t r) { return static_cast<int>(r); }

}  // namespace

int ffs_unlink(FileSystem& fs, const char* path) {
  return Result(ffs_path_call(fs, path, FFS_RESOLVE_PARENT, FFS_LOCK_OPEN, FFS_KIND_FILE,
                              FFS_REQ_REMOVE, FFS_ARG_NAME));
}

int ffs_rmdir(FileSystem& fs, const char* path) {
  return Result(ffs_path_call(fs, path, FFS_RESOLVE_OBJECT, FFS_LOCK_OPEN, FFS_KIND_DIRECTORY,
                              FFS_REQ_RMDIR, FFS_ARG_ENTRY));
}

int ffs_rename(FileSystem& fs, const char* from, const char* to) {
  const Target t = ResolveTarget(fs, to, FFS_RESOLVE_PARENT);
  if (t.dir == -1) return -1;
  FileControlBlock block = ffs_temporary_block(fs, FFS_KIND_DIRECTORY);
  const char* name = from;
  if (ffs_resolve_path(&block, &name, FFS_RESOLVE_PARENT, FFS_LOCK_OPEN) == -1) return -1;
  std::intptr_t r;
  if (block.volume != t.volume) r = Fail(fs, FFS_EINVAL);  // no moves between volumes
  else r = block.handler(&block, FFS_REQ_RENAME, Ptr(name), Ptr(t.name), t.dir, 0, 0);
  block.unlock(&block, FFS_LOCK_OPEN);
  return Result(r);
}

int ffs_link(FileSystem& fs, const char* existing, const char* name) {
  const Target source = ResolveTarget(fs, existing, FFS_RESOLVE_OBJECT);
  if (source.dir == -1) return -1;
  FileControlBlock block = ffs_temporary_block(fs, FFS_KIND_DIRECTORY);
  const char* last = name;
  const std::intptr_t dir = ffs_resolve_path(&block, &last, FFS_RESOLVE_PARENT, FFS_LOCK_OPEN);
  if (dir == -1) return -1;
  std::intptr_t r;
  if (block.volume != source.volume) r = Fail(fs, FFS_EINVAL);
  else r = block.handler(&block, FFS_REQ_LINK, Ptr(last), dir, source.dir, 0, 0);
  block.unlock(&block, FFS_LOCK_OPEN);
  return Result(r);
}

int ffs_truncate(FileSystem& fs, const char* path, std::uint32_t length) {
  return Result(ffs_path_call(fs, path, FFS_RESOLVE_PARENT, FFS_LOCK_OPEN, FFS_KIND_FILE,
                              FFS_REQ_TRUNCATE, FFS_ARG_NAME, length));
}

int ffs_chmod(FileSystem& fs, const char* path, int mode) {
  return Result(ffs_path_call(fs, path, FFS_RESOLVE_PARENT, FFS_LOCK_OPEN, FFS_KIND_FILE,
                              FFS_REQ_CHMOD, FFS_ARG_NAME, mode));
}

int ffs_chown(FileSystem& fs, const char* path, int uid, int gid) {
  return Result(ffs_path_call(fs, path, FFS_RESOLVE_PARENT, FFS_LOCK_OPEN, FFS_KIND_FILE,
                              FFS_REQ_CHOWN, FFS_ARG_NAME, uid, gid));
}

int ffs_access(FileSystem& fs, const char* path, int bits) {
  return Result(ffs_path_call(fs, path, FFS_RESOLVE_PARENT, FFS_LOCK_READ, FFS_KIND_FILE,
                              FFS_REQ_ACCESS, FFS_ARG_NAME, bits));
}

int ffs_chdir(FileSystem& fs, const char* path) {
  return Result(ffs_path_call(fs, path, FFS_RESOLVE_DIRECTORY, FFS_LOCK_READ, FFS_KIND_DIRECTORY,
                              FFS_REQ_CHDIR));
}

char* ffs_getcwd(FileSystem& fs, char* buffer, std::uint32_t size) {
  VolumeRecord* v = ffs_current_directory_volume(fs);
  if (v == nullptr) return Fail(fs, FFS_EINVAL), nullptr;
  const std::intptr_t r = v->handler(nullptr, FFS_REQ_GETCWD, Ptr(v), Ptr(buffer), size, 0, 0);
  return (r == 0 || r == -1) ? nullptr : reinterpret_cast<char*>(r);
}

int ffs_empty_tree(FileSystem& fs, const char* path) {
  return Result(ffs_path_call(fs, path, FFS_RESOLVE_DIRECTORY, FFS_LOCK_OPEN, FFS_KIND_DIRECTORY,
                              FFS_REQ_EMPTY_TREE, FFS_ARG_ENTRY));
}

int ffs_set_times(FileSystem& fs, const char* path, const std::uint32_t* times) {
  return Result(ffs_path_call(fs, path, FFS_RESOLVE_PARENT, FFS_LOCK_OPEN, FFS_KIND_FILE,
                              FFS_REQ_SET_TIMES, FFS_ARG_NAME, Ptr(times)));
}

int ffs_file_id(FileSystem& fs, const char* path) {
  return Result(ffs_path_call(fs, path, FFS_RESOLVE_PARENT, FFS_LOCK_READ, FFS_KIND_FILE,
                              FFS_REQ_FILE_ID, FFS_ARG_NAME));
}

int ffs_lseek(FileSystem& fs, int fd, std::int32_t offset, int whence) {
  if (ffs_fd_call(fs, fd, FFS_LOCK_READ, FFS_REQ_SEEK, offset, whence) != 0) return -1;
  return ffs_tell(fs, fd);
}

int ffs_tell(FileSystem& fs, int fd) { return Result(ffs_fd_call(fs, fd, FFS_LOCK_READ, FFS_REQ_TELL)); }

int ffs_ftruncate(FileSystem& fs, int fd, std::uint32_t length) {
  return Result(ffs_fd_call(fs, fd, FFS_LOCK_WRITE, FFS_REQ_FTRUNCATE, length));
}

int ffs_fstat(FileSystem& fs, int fd, FfsStat* out) {
  if (out == nullptr) return Result(Fail(fs, FFS_EINVAL));
  return Result(ffs_fd_call(fs, fd, FFS_LOCK_READ, FFS_REQ_FSTAT_SIZE, Ptr(out)));
}

int ffs_eof(FileSystem& fs, int fd) { return Result(ffs_fd_call(fs, fd, FFS_LOCK_READ, FFS_REQ_EOF)); }
int ffs_get_flags(FileSystem& fs, int fd) { return Result(ffs_fd_call(fs, fd, FFS_LOCK_READ, FFS_REQ_GET_FLAGS)); }
int ffs_set_flags(FileSystem& fs, int fd, int flags) {
  return Result(ffs_fd_call(fs, fd, FFS_LOCK_READ, FFS_REQ_SET_FLAGS, flags));
}
int ffs_dup(FileSystem& fs, int fd) { return Result(ffs_fd_call(fs, fd, FFS_LOCK_OPEN, FFS_REQ_DUP)); }

int ffs_sync(FileSystem& fs, const char* volume) { return VolumeRequest(fs, volume, FFS_REQ_SYNC_NOW); }
int ffs_volume_stats(FileSystem& fs, const char* volume, FfsVolumeStats* out) {
  return VolumeRequest(fs, volume, FFS_REQ_VOLUME_STATS, Ptr(out));
}
int ffs_hold_commits(FileSystem& fs, const char* volume) { return VolumeRequest(fs, volume, FFS_REQ_HOLD_COMMITS); }
int ffs_release_commits(FileSystem& fs, const char* volume) {
  return VolumeRequest(fs, volume, FFS_REQ_RELEASE_COMMITS);
}
int ffs_compact_names(FileSystem& fs, const char* volume) { return VolumeRequest(fs, volume, FFS_REQ_COMPACT_NAMES); }
