// Resolution of a path inside a volume (request 18): from the root or the
// current directory, component by component, with search permission on every
// directory passed. ".." at the volume root hands the rest back to the
// name-space layer. Every step consumes input, so the walk always ends.
#include "ffs/dispatch_internal.h"
#include "ffs/dispatcher.h"
#include "ffs/module_table.h"

namespace ffsd {
namespace {

const char* SkipDots(const char* p) {
  for (;;) {
    if (p[0] == '.' && p[1] == '/') {
      p += 2;
      while (*p == '/') ++p;
    } else if (p[0] == '.' && p[1] == '\0') {
      ++p;
    } else {
      return p;
    }
  }
}

bool IsDotDot(const char* p) { return p[0] == '.' && p[1] == '.' && (p[2] == '/' || p[2] == '\0'); }

const char* SkipSlashes(const char* p) {
  while (*p == '/') ++p;
  return p;
}

}  // namespace

std::intptr_t Resolve(FileControlBlock& block, const char** path, int what, bool relative, int lockMode) {
  if (!Admitted(block, Rule::kResolves)) return -1;
  FileControlBlock* b = &block;
  VolumeRecord* v = b->volume;
  if (path == nullptr || *path == nullptr) return Fail(v, FFS_EINVAL);
  if (v->flags & FFS_VF_BUSY) return Fail(v, FFS_EBUSY);
  if (lockMode) LockVolume(b, lockMode);
  auto fail = [&](int error) {
    if (lockMode) UnlockVolume(b, lockMode);
    return Fail(v, error);
  };
  NodeSlot* root = Root(v);
  NodeSlot* cur = root;
  if (relative && ffs_current_directory_volume(ffs_of(v)) == v && ffs_current_directory(ffs_of(v)))
    cur = static_cast<NodeSlot*>(ffs_current_directory(ffs_of(v)));
  const char* p = *path;
  for (;;) {
    p = SkipDots(p);
    *path = p;
    if (IsDotDot(p)) {
      if (cur == root || cur->parent == nullptr) {
        *path = p + 2;
        if (lockMode) UnlockVolume(b, lockMode);
        return 0;
      }
      cur = cur->parent;
      p = SkipSlashes(p + 2);
      continue;
    }
    if (*p == '\0') break;
    const std::size_t len = ComponentLength(p);
    const char* after = SkipSlashes(p + len);
    const bool last = *after == '\0';
    if (last && what == FFS_RESOLVE_PARENT) {
      *path = p;
      break;
    }
    if (len > FFS_NAME_MAX) return fail(FFS_ENAMETOOLONG);
    if (CheckAccess(v, cur->inode, kSearch) != 0) return fail(FFS_EACCES);
    NodeSlot* child = FindChild(v, cur, p, len);
    if (child == nullptr) return fail(FFS_ENOENT);
    if (!IsDir(child) && !(what == FFS_RESOLVE_OBJECT && last)) return fail(FFS_ENOTDIR);
    cur = child;
    p = after;
  }
  if (**path == '\0' && what == FFS_RESOLVE_PARENT) return fail(FFS_ENOENT);
  AttachToVolume(b, v, cur);
  return Ptr(cur);
}

}  // namespace ffsd
