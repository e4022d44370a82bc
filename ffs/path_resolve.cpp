// Name-space path resolution. Each round consumes at least the volume name
// component, so a path leaving volumes upwards ("..") cannot loop forever.
#include "ffs/path_resolve.h"

#include <cstring>

#include "ffs/dispatcher.h"
#include "ffs/file_system.h"
#include "ffs/module_table.h"
#include "ffs/root_handler.h"
#include "ffs/volume_table.h"

namespace {

const char* SkipDots(const char* p) {
  while (*p == '/') ++p;
  while (p[0] == '.' && p[1] == '/') p += 2;
  if (p[0] == '.' && p[1] == '\0') ++p;
  return p;
}

// A volume's dispatcher resolves by a direct call; another handler gets
// command 18.
std::intptr_t AskVolume(FileControlBlock* block, VolumeRecord* v, const char** path, int what,
                        int relative, int lockMode) {
  block->volume = v;
  if (v->handler == ffs_dispatch) return ffsd::Resolve(*block, path, what, relative != 0, lockMode);
  return v->handler(block, FFS_REQ_RESOLVE, reinterpret_cast<std::intptr_t>(path), what, relative,
                    lockMode, 0);
}

std::intptr_t BecomeRootTwin(FileSystem& fs, FileControlBlock* block) {
  block->handler = ffs_root_handler;
  block->lock = ffs_fcb_no_lock;
  block->unlock = ffs_fcb_no_lock;
  block->volume = nullptr;
  block->entry = nullptr;
  return reinterpret_cast<std::intptr_t>(ffs_root_block(fs));
}

}  // namespace

std::intptr_t ffs_resolve_path(FileControlBlock* block, const char** path, int what, int lockMode) {
  FileSystem& fs = ffs_of(block);
  if (path == nullptr || *path == nullptr) return Fail(fs, FFS_EINVAL);
  if (**path != '/' && ffs_current_directory(fs) != nullptr) {
    const std::intptr_t r = AskVolume(block, ffs_current_directory_volume(fs), path, what, 1, lockMode);
    if (r != 0) return r;
  }
  for (;;) {
    const char* p = SkipDots(*path);
    *path = p;
    if (*p == '\0') return BecomeRootTwin(fs, block);
    if (ffs_mounted_head(fs) == nullptr) return Fail(fs, FFS_EINVAL);
    const char* end = std::strchr(p, '/');
    const std::size_t len = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
    const char* rest = p + len;
    while (*rest == '/') ++rest;
    if (*rest == '\0' && what == FFS_RESOLVE_PARENT) return Fail(fs, FFS_ENOENT);
    if (what != FFS_RESOLVE_PARENT && len > FFS_NAME_MAX) return Fail(fs, FFS_ENAMETOOLONG);
    VolumeRecord* volume = nullptr;
    for (VolumeRecord* v = ffs_mounted_head(fs); v != nullptr && volume == nullptr; v = v->mount_next)
      if (std::strlen(v->name) == len && std::memcmp(v->name, p, len) == 0) volume = v;
    if (volume == nullptr) return Fail(fs, FFS_ENXIO);
    *path = rest;
    const std::intptr_t r = AskVolume(block, volume, path, what, 0, lockMode);
    if (r != 0) return r;
    // Left the volume upwards: go on above it with the rest the volume left,
    // which must lie beyond the ".." it consumed.
    if (*path <= rest) return Fail(fs, FFS_ENOENT);
  }
}
