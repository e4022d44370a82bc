// The further file calls: each resolves its path (or takes its descriptor)
// and calls the dispatcher's named operation for it (a handler other than
// the dispatcher gets the command code). Two-path calls resolve the target
// first and then run the operation on the source's directory.
#include "ffs/file_api.h"
#include "ffs/file_system.h"
#include "ffs/module_table.h"
#include "ffs/path_resolve.h"
#include "ffs/volume_table.h"

namespace {

using ffsd::Entry;

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

// A volume request by the volume's name: the named operation on a volume
// the dispatcher serves, else the command code to its handler.
template <typename Operation>
int VolumeRequest(FileSystem& fs, const char* volume, int command, Operation operation, std::intptr_t a2 = 0) {
  VolumeRecord* v = MountedVolume(fs, volume);
  if (v == nullptr) return -1;
  if (v->handler == ffs_dispatch) return static_cast<int>(operation(*v));
  return static_cast<int>(v->handler(nullptr, command, ffs_arg(v), a2, 0, 0, 0));
}

// A call on the last component of a path, in its parent directory.
template <typename Call>
int OnLastName(FileSystem& fs, const char* path, int lockMode, Call call) {
  return static_cast<int>(ffs_on_path(fs, path, FFS_RESOLVE_PARENT, lockMode, FFS_KIND_FILE,
                                      [&](FileControlBlock& b, const char* name, std::intptr_t) {
                                        return call(b, name);
                                      }));
}

int Result(std::intptr_t r) { return static_cast<int>(r); }

}  // namespace

int ffs_unlink(FileSystem& fs, const char* path) {
  return OnLastName(fs, path, FFS_LOCK_OPEN, [&](FileControlBlock& b, const char* name) {
    return ffs_by_dispatcher(b) ? ffsd::Remove(b, name) : ffs_ask(b, FFS_REQ_REMOVE, ffs_arg(name));
  });
}

int ffs_rmdir(FileSystem& fs, const char* path) {
  return Result(ffs_on_path(fs, path, FFS_RESOLVE_OBJECT, FFS_LOCK_OPEN, FFS_KIND_DIRECTORY,
                            [&](FileControlBlock& b, const char*, std::intptr_t entry) {
                              return ffs_by_dispatcher(b) ? ffsd::Rmdir(b, ffs_entry(entry))
                                                          : ffs_ask(b, FFS_REQ_RMDIR, entry);
                            }));
}

int ffs_rename(FileSystem& fs, const char* from, const char* to) {
  const Target t = ResolveTarget(fs, to, FFS_RESOLVE_PARENT);
  if (t.dir == -1) return -1;
  FileControlBlock block = ffs_temporary_block(fs, FFS_KIND_DIRECTORY);
  const char* name = from;
  if (ffs_resolve_path(&block, &name, FFS_RESOLVE_PARENT, FFS_LOCK_OPEN) == -1) return -1;
  std::intptr_t r;
  if (block.volume != t.volume) r = Fail(fs, FFS_EINVAL);  // no moves between volumes
  else if (ffs_by_dispatcher(block)) r = ffsd::Rename(block, name, t.name, ffs_entry(t.dir));
  else r = ffs_ask(block, FFS_REQ_RENAME, ffs_arg(name), ffs_arg(t.name), t.dir);
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
  else if (ffs_by_dispatcher(block)) r = ffsd::Link(block, last, ffs_entry(dir), ffs_entry(source.dir));
  else r = ffs_ask(block, FFS_REQ_LINK, ffs_arg(last), dir, source.dir);
  block.unlock(&block, FFS_LOCK_OPEN);
  return Result(r);
}

int ffs_truncate(FileSystem& fs, const char* path, std::uint32_t length) {
  return OnLastName(fs, path, FFS_LOCK_OPEN, [&](FileControlBlock& b, const char* name) {
    return ffs_by_dispatcher(b) ? ffsd::Truncate(b, name, length)
                                : ffs_ask(b, FFS_REQ_TRUNCATE, ffs_arg(name), length);
  });
}

int ffs_chmod(FileSystem& fs, const char* path, int mode) {
  return OnLastName(fs, path, FFS_LOCK_OPEN, [&](FileControlBlock& b, const char* name) {
    return ffs_by_dispatcher(b) ? ffsd::Chmod(b, name, mode) : ffs_ask(b, FFS_REQ_CHMOD, ffs_arg(name), mode);
  });
}

int ffs_chown(FileSystem& fs, const char* path, int uid, int gid) {
  return OnLastName(fs, path, FFS_LOCK_OPEN, [&](FileControlBlock& b, const char* name) {
    return ffs_by_dispatcher(b) ? ffsd::Chown(b, name, uid, gid)
                                : ffs_ask(b, FFS_REQ_CHOWN, ffs_arg(name), uid, gid);
  });
}

int ffs_access(FileSystem& fs, const char* path, int bits) {
  return OnLastName(fs, path, FFS_LOCK_READ, [&](FileControlBlock& b, const char* name) {
    return ffs_by_dispatcher(b) ? ffsd::Access(b, name, bits) : ffs_ask(b, FFS_REQ_ACCESS, ffs_arg(name), bits);
  });
}

int ffs_chdir(FileSystem& fs, const char* path) {
  return Result(ffs_on_path(fs, path, FFS_RESOLVE_DIRECTORY, FFS_LOCK_READ, FFS_KIND_DIRECTORY,
                            [&](FileControlBlock& b, const char*, std::intptr_t) {
                              return ffs_by_dispatcher(b) ? ffsd::Chdir(b) : ffs_ask(b, FFS_REQ_CHDIR);
                            }));
}

char* ffs_getcwd(FileSystem& fs, char* buffer, std::uint32_t size) {
  VolumeRecord* v = ffs_current_directory_volume(fs);
  if (v == nullptr) return Fail(fs, FFS_EINVAL), nullptr;
  const std::intptr_t r = v->handler == ffs_dispatch
                              ? ffsd::Getcwd(*v, buffer, size)
                              : v->handler(nullptr, FFS_REQ_GETCWD, ffs_arg(v), ffs_arg(buffer), size, 0, 0);
  return (r == 0 || r == -1) ? nullptr : reinterpret_cast<char*>(r);
}

int ffs_empty_tree(FileSystem& fs, const char* path) {
  return Result(ffs_on_path(fs, path, FFS_RESOLVE_DIRECTORY, FFS_LOCK_OPEN, FFS_KIND_DIRECTORY,
                            [&](FileControlBlock& b, const char*, std::intptr_t entry) {
                              return ffs_by_dispatcher(b) ? ffsd::EmptyTree(b, ffs_entry(entry))
                                                          : ffs_ask(b, FFS_REQ_EMPTY_TREE, entry);
                            }));
}

int ffs_set_times(FileSystem& fs, const char* path, const std::uint32_t* times) {
  return OnLastName(fs, path, FFS_LOCK_OPEN, [&](FileControlBlock& b, const char* name) {
    return ffs_by_dispatcher(b) ? ffsd::SetTimes(b, name, times)
                                : ffs_ask(b, FFS_REQ_SET_TIMES, ffs_arg(name), ffs_arg(times));
  });
}

int ffs_file_id(FileSystem& fs, const char* path) {
  return OnLastName(fs, path, FFS_LOCK_READ, [&](FileControlBlock& b, const char* name) {
    return ffs_by_dispatcher(b) ? ffsd::FileId(b, name) : ffs_ask(b, FFS_REQ_FILE_ID, ffs_arg(name));
  });
}

int ffs_lseek(FileSystem& fs, int fd, std::int32_t offset, int whence) {
  const std::intptr_t r = ffs_on_fd(fs, fd, FFS_LOCK_READ, [&](FileControlBlock& b) {
    return ffs_by_dispatcher(b) ? ffsd::Seek(b, offset, whence) : ffs_ask(b, FFS_REQ_SEEK, offset, whence);
  });
  if (r != 0) return -1;
  return ffs_tell(fs, fd);
}

int ffs_tell(FileSystem& fs, int fd) {
  return Result(ffs_on_fd(fs, fd, FFS_LOCK_READ, [](FileControlBlock& b) {
    return ffs_by_dispatcher(b) ? ffsd::Tell(b) : ffs_ask(b, FFS_REQ_TELL);
  }));
}

int ffs_ftruncate(FileSystem& fs, int fd, std::uint32_t length) {
  return Result(ffs_on_fd(fs, fd, FFS_LOCK_WRITE, [&](FileControlBlock& b) {
    return ffs_by_dispatcher(b) ? ffsd::Ftruncate(b, length) : ffs_ask(b, FFS_REQ_FTRUNCATE, length);
  }));
}

int ffs_fstat(FileSystem& fs, int fd, FfsStat* out) {
  if (out == nullptr) return Result(Fail(fs, FFS_EINVAL));
  return Result(ffs_on_fd(fs, fd, FFS_LOCK_READ, [&](FileControlBlock& b) {
    return ffs_by_dispatcher(b) ? ffsd::FstatSize(b, out) : ffs_ask(b, FFS_REQ_FSTAT_SIZE, ffs_arg(out));
  }));
}

int ffs_eof(FileSystem& fs, int fd) {
  return Result(ffs_on_fd(fs, fd, FFS_LOCK_READ, [](FileControlBlock& b) {
    return ffs_by_dispatcher(b) ? ffsd::Eof(b) : ffs_ask(b, FFS_REQ_EOF);
  }));
}

int ffs_get_flags(FileSystem& fs, int fd) {
  return Result(ffs_on_fd(fs, fd, FFS_LOCK_READ, [](FileControlBlock& b) {
    return ffs_by_dispatcher(b) ? ffsd::GetFlags(b) : ffs_ask(b, FFS_REQ_GET_FLAGS);
  }));
}

int ffs_set_flags(FileSystem& fs, int fd, int flags) {
  return Result(ffs_on_fd(fs, fd, FFS_LOCK_READ, [&](FileControlBlock& b) {
    return ffs_by_dispatcher(b) ? ffsd::SetFlags(b, flags) : ffs_ask(b, FFS_REQ_SET_FLAGS, flags);
  }));
}

int ffs_dup(FileSystem& fs, int fd) {
  return Result(ffs_on_fd(fs, fd, FFS_LOCK_OPEN, [](FileControlBlock& b) {
    return ffs_by_dispatcher(b) ? ffsd::Dup(b) : ffs_ask(b, FFS_REQ_DUP);
  }));
}

int ffs_sync(FileSystem& fs, const char* volume) {
  return VolumeRequest(fs, volume, FFS_REQ_SYNC_NOW, [](VolumeRecord& v) { return ffsd::SyncNow(v); });
}

int ffs_volume_stats(FileSystem& fs, const char* volume, FfsVolumeStats* out) {
  return VolumeRequest(
      fs, volume, FFS_REQ_VOLUME_STATS, [&](VolumeRecord& v) { return ffsd::VolumeStats(v, out); }, ffs_arg(out));
}

int ffs_hold_commits(FileSystem& fs, const char* volume) {
  return VolumeRequest(fs, volume, FFS_REQ_HOLD_COMMITS, [](VolumeRecord& v) { return ffsd::HoldCommits(v); });
}

int ffs_release_commits(FileSystem& fs, const char* volume) {
  return VolumeRequest(fs, volume, FFS_REQ_RELEASE_COMMITS,
                       [](VolumeRecord& v) { return ffsd::ReleaseCommits(v); });
}

int ffs_compact_names(FileSystem& fs, const char* volume) {
  return VolumeRequest(fs, volume, FFS_REQ_COMPACT_NAMES, [](VolumeRecord& v) { return ffsd::CompactNames(v); });
}
