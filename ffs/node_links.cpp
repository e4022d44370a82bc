// Links of the node table as the dispatcher changes them: children lists
// (newest first, doubly linked through next and previous sibling), the
// volume locks of an open block, and the sync that ends every change.
#include "ffs/dispatch_internal.h"
#include "ffs/semaphore.h"
#include "ffs/volume_table.h"

namespace ffsd {

NodeSlot* FindChild(VolumeRecord* v, NodeSlot* dir, const char* name, std::size_t length) {
  if (!IsDir(dir)) return nullptr;
  std::uint32_t steps = LinkLimit(v);
  for (NodeSlot* c = dir->child; c != nullptr && steps-- > 0; c = c->next) {
    if (c->name != nullptr && std::strlen(c->name) == length && std::memcmp(c->name, name, length) == 0)
      return c;
  }
  return nullptr;
}

void LinkFirstChild(NodeSlot* parent, NodeSlot* entry) {
  entry->parent = parent;
  entry->prev = nullptr;
  entry->next = parent->child;
  if (parent->child) parent->child->prev = entry;
  parent->child = entry;
}

void UnlinkChild(NodeSlot* entry) {
  if (entry->prev) entry->prev->next = entry->next;
  else if (entry->parent && entry->parent->child == entry) entry->parent->child = entry->next;
  if (entry->next) entry->next->prev = entry->prev;
  entry->next = entry->prev = nullptr;
}

bool IsSameOrBelow(VolumeRecord* v, const NodeSlot* dir, const NodeSlot* entry) {
  std::uint32_t steps = LinkLimit(v);
  for (const NodeSlot* d = dir; d != nullptr && steps-- > 0; d = d->parent)
    if (d == entry) return true;
  return false;
}

std::intptr_t EndChange(VolumeRecord* v) {
  v->flags &= ~FFS_VF_COMMIT_PENDING;
  return Sm().sync(v, (v->flags & FFS_VF_COMMIT_ON_CLOSE) ? 1 : 0);
}

void LockVolume(FileControlBlock* b, int mode) {
  VolumeRecord* v = b->volume;
  if (v == nullptr) return;
  if (mode & FFS_LOCK_WRITE) ffs_sem_wait(v->write_sem);
  ffs_sem_wait(v->read_sem);
  ffs_sem_wait(ffs_volume_layer().sem);
}

void UnlockVolume(FileControlBlock* b, int mode) {
  VolumeRecord* v = b->volume;
  if (v == nullptr) return;
  ffs_sem_release(v->read_sem);
  if (mode & FFS_LOCK_WRITE) ffs_sem_release(v->write_sem);
  ffs_sem_release(ffs_volume_layer().sem);
  if (mode & FFS_LOCK_CLOSE) {
    b->handler = nullptr;
    b->volume = nullptr;
    ffs_release_volume(v);
  }
}

}  // namespace ffsd
