// Links of the node table as the dispatcher changes them: children lists
// (newest first, doubly linked through next and previous sibling), the
// volume locks of an open block, and the sync that ends every change.
#include <vector>

#include "ffs/dispatch_internal.h"
#include "ffs/dispatcher.h"
#include "ffs/module_table.h"
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

namespace {
constexpr std::uint32_t kSerialLimit = 1u << 20;
}

std::uint32_t NewSerial(VolumeRecord* v) {
  nor::Volume* n = v->nor;
  if (n->next_serial < kSerialLimit) return n->next_serial++;
  std::vector<bool> taken(kSerialLimit, false);
  for (auto& page : n->nodes.pages)
    for (const NodeSlot& s : page->slots)
      if (s.kind == SlotKind::Inode && s.serial < kSerialLimit) taken[s.serial] = true;
  for (std::uint32_t serial = 1; serial < kSerialLimit; ++serial)
    if (!taken[serial]) return serial;
  return n->next_serial++;
}

NodeSlot* CreateEntry(VolumeRecord* v, NodeSlot* parent, const char* name, std::uint32_t length,
                      bool directory, int mode) {
  const std::uint32_t space = length + InodeBytes(v) + EntryBytes(directory);
  if (Sm(v).check_space(v, space + NewPageBytes(v, 2)) != 0) return nullptr;
  NodeSlot* inode = Sm(v).take_slot(v);
  if (inode == nullptr) return nullptr;
  NodeSlot* entry = Sm(v).take_slot(v);
  if (entry == nullptr || v->nor->names.StoreString(&entry->name, name, length) == nullptr) {
    if (entry) Sm(v).free_slot(v, entry);
    Sm(v).free_slot(v, inode);
    Fail(v, FFS_ENOSPC);
    return nullptr;
  }
  inode->kind = SlotKind::Inode;
  inode->links = 1;
  inode->first_cluster = inode->last_cluster = inode->tail_cluster = nor::kNoCluster;
  inode->tail_fill = 0;
  inode->size = 0;
  inode->time1 = inode->time2 = ffs_clock();
  inode->serial = NewSerial(v);
  inode->uid = ffs_owner_uid(ffs_of(v));
  inode->gid = ffs_owner_gid(ffs_of(v));
  inode->mode = static_cast<std::uint16_t>(mode & ~FFS_S_IFDIR);
  inode->attributes = 0;
  entry->kind = directory ? SlotKind::Directory : SlotKind::File;
  entry->inode = inode;
  entry->child = nullptr;
  LinkFirstChild(parent, entry);
  v->nor->AdjustNodeBytes(space);
  MarkChanged(v);
  return entry;
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

std::uint32_t NewPageBytes(VolumeRecord* v, std::uint32_t slots) {
  return v->nor != nullptr && v->nor->nodes.free_slots < slots ? nor::kSlotsPerPage : 0;
}

void MarkChanged(VolumeRecord* v) {
  v->flags &= ~FFS_VF_COMMITTED;
  v->flags |= FFS_VF_CHANGED;
}

std::intptr_t EndChange(VolumeRecord* v) {
  MarkChanged(v);
  v->flags &= ~FFS_VF_COMMIT_PENDING;
  return Sm(v).sync(v, (v->flags & FFS_VF_COMMIT_ON_CLOSE) ? 1 : 0);
}

void AttachToVolume(FileControlBlock* b, VolumeRecord* v, NodeSlot* entry) {
  b->entry = entry;
  if (b->volume == nullptr) b->volume = v;
  b->handler = ffs_dispatch;
  b->lock = LockVolume;
  b->unlock = UnlockVolume;
}

void LockVolume(FileControlBlock* b, int mode) {
  VolumeRecord* v = b->volume;
  if (v == nullptr) return;
  if (mode & FFS_LOCK_WRITE) ffs_sem_wait(v->write_sem);
  ffs_sem_wait(v->read_sem);
  ffs_sem_wait(ffs_of(v).volumes.sem);
}

void UnlockVolume(FileControlBlock* b, int mode) {
  VolumeRecord* v = b->volume;
  if (v == nullptr) return;
  ffs_sem_release(v->read_sem);
  if (mode & FFS_LOCK_WRITE) ffs_sem_release(v->write_sem);
  ffs_sem_release(ffs_of(v).volumes.sem);
  if (mode & FFS_LOCK_CLOSE) {
    b->handler = nullptr;
    b->volume = nullptr;
    ffs_release_volume(v);
  }
}

}  // namespace ffsd
