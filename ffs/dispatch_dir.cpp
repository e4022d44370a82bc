// Directory commands: make, open, list (plain, with status, opening the
// entry), close, remove, empty a tree, sort, and change the current
// directory. Listings return the children newest first.
#include <algorithm>
#include <vector>

#include "ffs/dispatch_internal.h"
#include "ffs/dispatcher.h"
#include "ffs/module_table.h"
#include "ffs/volume_table.h"

namespace ffsd {
namespace {

NodeSlot* NextListed(FileControlBlock* b) {
  NodeSlot* dir = EntryOf(b);
  if (!IsDir(dir)) return nullptr;
  NodeSlot* cursor = static_cast<NodeSlot*>(b->cursor);
  NodeSlot* next = cursor ? cursor->next : dir->child;
  if (next == nullptr) return nullptr;
  b->cursor = next;
  b->dirent.unused = 0;
  std::strncpy(b->dirent.name, next->name ? next->name : "", FFS_NAME_MAX);
  b->dirent.name[FFS_NAME_MAX] = '\0';
  return next;
}

}  // namespace

std::intptr_t Mkdir(FileControlBlock& b, const char* name, int mode, NodeSlot* parent) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  VolumeRecord* v = b.volume;
  if (name == nullptr || !IsDir(parent)) return Fail(v, FFS_EINVAL);
  if (ffs_check_name(ffs_of(v), name, true) != 0) return -1;
  const std::uint32_t len = static_cast<std::uint32_t>(ComponentLength(name));
  if (len == 0) return Fail(v, FFS_EINVAL);
  if (CheckAccess(v, parent->inode, kWrite | kSearch) != 0) return -1;
  if (FindChild(v, parent, name, len) != nullptr) return Fail(v, FFS_EEXIST);
  if (CreateEntry(v, parent, name, len, true, mode) == nullptr) return -1;
  return EndChange(v);
}

std::intptr_t Opendir(FileControlBlock& block, NodeSlot* dir) {
  if (!Admitted(block, Rule::kReads)) return -1;
  FileControlBlock* b = &block;
  VolumeRecord* v = b->volume;
  if (!IsDir(dir)) return Fail(v, FFS_ENOTDIR);
  ffs_fcb_reset(b, FFS_KIND_DIRECTORY);
  AttachToVolume(b, v, dir);
  ++v->ref_count;  // dropped when the block is closed
  return Ptr(b);
}

std::intptr_t Readdir(FileControlBlock& b) {
  if (!Admitted(b, Rule::kReads)) return -1;
  return NextListed(&b) ? Ptr(&b.dirent) : 0;
}

std::intptr_t ReaddirStat(FileControlBlock& b) {
  if (!Admitted(b, Rule::kReads)) return -1;
  NodeSlot* e = NextListed(&b);
  if (e == nullptr) return 0;
  FillStat(b.volume, e, &b.dirstat, true);
  return Ptr(&b.dirent);
}

std::intptr_t ReaddirOpen(FileControlBlock& b, int flags, int* out) {
  if (!Admitted(b, Rule::kReads)) return -1;
  VolumeRecord* v = b.volume;
  NodeSlot* e = NextListed(&b);
  if (e == nullptr) return 0;
  int fd = -1;
  if (IsDir(e)) {
    fd = -2;
  } else if (ReadOnly(v) && flags != 0) {
    Fail(v, FFS_EROFS);
  } else if (v->open_files >= v->cache_size) {
    Fail(v, FFS_EMFILE);
  } else {
    for (int i = 0; i < FFS_FCB_COUNT && fd < 0; ++i) {
      FileControlBlock* nb = ffs_fcb(ffs_of(v), i);
      if (nb == &b || !ffs_fcb_is_free(nb)) continue;
      ffs_fcb_reset(nb, FFS_KIND_FILE);
      if (CheckAccess(v, e->inode, flags & FFS_O_WRONLY ? kWrite : kRead) == 0) {
        AttachFile(nb, v, e, flags);
        fd = i;
        ffs_fcb_raise_high_mark(ffs_of(v), i);
      }
      break;
    }
    if (fd < 0 && ffs_error_of(v) != FFS_EACCES) Fail(v, FFS_EMFILE);
  }
  if (out) *out = fd;
  return Ptr(&b.dirent);
}

std::intptr_t Closedir(FileControlBlock& b) { return Admitted(b, Rule::kReads) ? 0 : -1; }

std::intptr_t RemoveDirectoryEntry(VolumeRecord* v, NodeSlot* entry) {
  if (entry == Root(v)) return Fail(v, FFS_ENOENT);
  if (CheckOwner(v, entry) != 0) return -1;
  if (entry->child != nullptr) return Fail(v, FFS_EEXIST);
  if (IsOpen(v, entry)) return Fail(v, FFS_EBUSY);
  if (ffs_current_directory(ffs_of(v)) == entry) ffs_set_current_directory(ffs_of(v), nullptr, nullptr);
  ForgetCursor(v, entry);
  UnlinkChild(entry);
  MarkChanged(v);  // the slots' checkpoint bytes go when they are freed
  NodeSlot* inode = entry->inode;
  Sm(v).free_slot(v, entry);
  if (inode != nullptr && (inode->links <= 1)) Sm(v).free_slot(v, inode);
  else if (inode != nullptr) --inode->links;
  return 0;
}

std::intptr_t Rmdir(FileControlBlock& b, NodeSlot* entry) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  VolumeRecord* v = b.volume;
  if (!IsDir(entry)) return Fail(v, FFS_ENOTDIR);
  if (RemoveDirectoryEntry(v, entry) != 0) return -1;
  const std::intptr_t s = EndChange(v);
  return (s == -1 && ffs_error_of(v) == FFS_ENOSPC) ? 0 : s;
}

std::intptr_t EmptyTree(FileControlBlock& b, NodeSlot* top) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  VolumeRecord* v = b.volume;
  if (!IsDir(top)) return Fail(v, FFS_ENOTDIR);
  NodeSlot* cur = top;
  std::intptr_t result = 0;
  // Depth first without recursion: each step removes one entry or moves one
  // level, and every level it enters holds children, so the walk ends.
  for (std::uint32_t steps = 0; result == 0 && steps < 4 * LinkLimit(v); ++steps) {
    NodeSlot* c = cur->child;
    if (c == nullptr) {
      if (cur == top) break;
      NodeSlot* up = cur->parent;
      result = RemoveDirectoryEntry(v, cur);
      cur = up;
    } else if (IsDir(c) && c->child != nullptr) {
      cur = c;
    } else if (IsDir(c)) {
      result = RemoveDirectoryEntry(v, c);
    } else {
      result = CheckOwner(v, c) == 0 ? RemoveFileEntry(v, c) : -1;
    }
  }
  const std::intptr_t s = EndChange(v);
  if (result != 0) return result;
  return (s == -1 && ffs_error_of(v) == FFS_ENOSPC) ? 0 : s;
}

std::intptr_t SortDir(FileControlBlock& b, NodeSlot* dir, int (*compare)(const char*, const char*)) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  VolumeRecord* v = b.volume;
  if (!IsDir(dir) || compare == nullptr) return Fail(v, FFS_EINVAL);
  for (int i = 0; i < FFS_FCB_COUNT; ++i)
    if (ffs_fcb(ffs_of(v), i)->handler != nullptr && EntryOf(ffs_fcb(ffs_of(v), i)) == dir) return Fail(v, FFS_EBUSY);
  std::vector<NodeSlot*> children;
  std::uint32_t steps = LinkLimit(v);
  for (NodeSlot* c = dir->child; c != nullptr && steps-- > 0; c = c->next) children.push_back(c);
  std::stable_sort(children.begin(), children.end(), [&](NodeSlot* x, NodeSlot* y) {
    return compare(x->name ? x->name : "", y->name ? y->name : "") < 0;
  });
  dir->child = nullptr;
  for (auto it = children.rbegin(); it != children.rend(); ++it) LinkFirstChild(dir, *it);
  return EndChange(v);
}

std::intptr_t Chdir(FileControlBlock& b) {
  if (!Admitted(b, Rule::kReads)) return -1;
  VolumeRecord* v = b.volume;
  NodeSlot* dir = EntryOf(&b);
  if (!IsDir(dir)) return Fail(v, FFS_ENOTDIR);
  if (CheckAccess(v, dir->inode, kSearch) != 0) return -1;
  ffs_set_current_directory(ffs_of(v), v, dir);
  return 0;
}

}  // namespace ffsd
