// Commands on names and lengths: rename, link, remove, truncate by name, and
// the removal and truncation they share with other commands. A file removed
// while open leaves its directory at once and is freed at its last close.
#include <algorithm>

#include "ffs/dispatch_internal.h"
#include "ffs/file_data.h"
#include "ffs/module_table.h"
#include "ffs/volume_table.h"

namespace ffsd {
namespace {

std::intptr_t SyncIgnoringFull(VolumeRecord* v) {
  const std::intptr_t s = EndChange(v);
  return (s == -1 && ffs_error_of(v) == FFS_ENOSPC) ? 0 : s;
}

// Releases every cluster of the chain from the one after keep (or the whole
// chain when keep is none).
void CutChain(VolumeRecord* v, NodeSlot* inode, std::uint32_t keep) {
  nor::Volume* n = v->nor;
  std::uint32_t first = inode->first_cluster;
  if (keep != nor::kNoCluster) {
    first = NextCluster(v, keep);
    n->clusters[keep].link = nor::kChainEnd;
    if (first < v->cluster_count) n->clusters[first].state = nor::kStateChainStart;
  }
  if (first < v->cluster_count) Sm(v).free_chain(v, first);
}

}  // namespace

bool IsOpen(VolumeRecord* v, const NodeSlot* entry) {
  for (int i = 0; i < FFS_FCB_COUNT; ++i) {
    const FileControlBlock* b = ffs_fcb(ffs_of(v), i);
    if (b->handler != nullptr && b->entry == entry) return true;
  }
  return false;
}

void ForgetCursor(VolumeRecord* v, NodeSlot* entry) {
  for (int i = 0; i < FFS_FCB_COUNT; ++i) {
    FileControlBlock* b = ffs_fcb(ffs_of(v), i);
    if (b->handler != nullptr && b->cursor == entry) b->cursor = entry->prev;
  }
}

int CheckOwner(VolumeRecord* v, const NodeSlot* entry) {
  if (entry == nullptr || entry->inode == nullptr) return static_cast<int>(Fail(v, FFS_ENOENT));
  return entry->inode->uid == ffs_owner_uid(ffs_of(v)) ? 0 : static_cast<int>(Fail(v, FFS_EPERM));
}

NodeSlot* NamedEntry(FileControlBlock* b, const char* name) {
  NodeSlot* dir = EntryOf(b);
  if (name == nullptr || *name == '\0') return dir;
  NodeSlot* e = FindChild(b->volume, dir, name, ComponentLength(name));
  if (e == nullptr) Fail(b->volume, FFS_ENOENT);
  return e;
}

namespace {

// Grows a file with zeros, written through a block of its own.
bool GrowWithZeros(VolumeRecord* v, NodeSlot* inode, std::uint32_t length) {
  FileControlBlock grow{};
  NodeSlot holder{};
  holder.kind = SlotKind::File;
  holder.inode = inode;
  grow.volume = v;
  grow.entry = &holder;
  grow.access = FFS_ACC_WRITE;
  PositionAt(v, &grow, inode, length);
  const int r = FileWrite(&grow, nullptr, 0);
  ReleaseHeld(v, &grow);
  return r == 0 && inode->size == length;
}

// Shortens the chain to the clusters that hold length bytes.
bool Shorten(VolumeRecord* v, NodeSlot* inode, std::uint32_t length) {
  const std::uint32_t cs = v->cluster_size;
  if (length == 0) {
    CutChain(v, inode, nor::kNoCluster);
    inode->first_cluster = inode->last_cluster = inode->tail_cluster = nor::kNoCluster;
    inode->tail_fill = 0;
  } else {
    std::uint32_t keep = inode->first_cluster;
    for (std::uint32_t i = 1; i < (length + cs - 1) / cs && keep < v->cluster_count; ++i)
      keep = NextCluster(v, keep);
    if (keep >= v->cluster_count) return Fail(v, FFS_EIO), false;
    if (keep != inode->last_cluster) CutChain(v, inode, keep);
    inode->last_cluster = static_cast<std::uint16_t>(keep);
    inode->tail_cluster = length % cs ? static_cast<std::uint16_t>(keep) : nor::kNoCluster;
    inode->tail_fill = length % cs;
  }
  inode->size = length;
  return true;
}

}  // namespace

std::intptr_t TruncateInode(VolumeRecord* v, NodeSlot* inode, std::uint32_t length) {
  // Every open block of this file lets go of its cluster and keeps its byte
  // position, found again in the changed chain afterwards.
  std::uint32_t tells[FFS_FCB_COUNT] = {};
  auto opens = [&](int i) {
    const FileControlBlock* b = ffs_fcb(ffs_of(v), i);
    return b->handler != nullptr && IsFile(EntryOf(b)) && EntryOf(b)->inode == inode;
  };
  for (int i = 0; i < FFS_FCB_COUNT; ++i) {
    if (!opens(i)) continue;
    ReleaseHeld(v, ffs_fcb(ffs_of(v), i));
    tells[i] = Tell(v, ffs_fcb(ffs_of(v), i), inode);
  }
  bool ok = true;
  const std::uint32_t before = inode->size;
  if (length > before) {
    ok = GrowWithZeros(v, inode, length);
    // A growth the volume has no room for is refused whole.
    if (!ok && inode->size > before) {
      const int error = ffs_error_of(v);
      Shorten(v, inode, before);
      ffs_error_of(v) = error;
    }
  } else if (length < before) {
    ok = Shorten(v, inode, length);
  }
  inode->time1 = inode->time2 = ffs_clock();
  for (int i = 0; i < FFS_FCB_COUNT; ++i)
    if (opens(i)) PositionAt(v, ffs_fcb(ffs_of(v), i), inode, tells[i]);
  MarkChanged(v);
  return ok ? 0 : -1;
}

void ReclaimUnlinked(VolumeRecord* v, NodeSlot* entry) {
  NodeSlot* inode = entry->inode;
  // An open file whose last name went lives on in the name it was opened
  // through; that name's last close frees it.
  if (inode != nullptr && inode->links == 0 && !IsFileOpen(v, inode)) {
    CutChain(v, inode, nor::kNoCluster);
    Sm(v).free_slot(v, inode);
  }
  Sm(v).free_slot(v, entry);
}

std::intptr_t RemoveFileEntry(VolumeRecord* v, NodeSlot* entry) {
  NodeSlot* inode = entry->inode;
  ForgetCursor(v, entry);
  UnlinkChild(entry);
  MarkChanged(v);  // the slots' checkpoint bytes go when they are freed
  if (inode != nullptr && inode->links > 0) --inode->links;
  if (IsOpen(v, entry)) {
    entry->unlinked = true;  // freed when its last open block closes
    entry->parent = nullptr;
    return 0;
  }
  ReclaimUnlinked(v, entry);
  return 0;
}

std::intptr_t Remove(FileControlBlock& b, const char* name) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  VolumeRecord* v = b.volume;
  NodeSlot* dir = EntryOf(&b);
  if (name == nullptr || *name == '\0') return Fail(v, FFS_ENOENT);
  NodeSlot* e = NamedEntry(&b, name);
  if (e == nullptr) return -1;
  if (IsDir(e)) return Fail(v, FFS_EISDIR);
  if (CheckAccess(v, dir->inode, kWrite | kSearch) != 0) return -1;
  RemoveFileEntry(v, e);
  return SyncIgnoringFull(v);
}

std::intptr_t Truncate(FileControlBlock& b, const char* name, std::int64_t length) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  VolumeRecord* v = b.volume;
  NodeSlot* e = NamedEntry(&b, name);
  if (e == nullptr) return -1;
  if (!IsFile(e)) return Fail(v, FFS_EISDIR);
  if (length < 0) return Fail(v, FFS_EINVAL);
  if (CheckAccess(v, e->inode, kWrite) != 0) return -1;
  if (TruncateInode(v, e->inode, static_cast<std::uint32_t>(length)) != 0) return -1;
  return EndChange(v);
}

std::intptr_t Rename(FileControlBlock& b, const char* oldName, const char* newName, NodeSlot* newDir) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  VolumeRecord* v = b.volume;
  NodeSlot* oldDir = EntryOf(&b);
  if (oldName == nullptr || newName == nullptr || !IsDir(oldDir) || !IsDir(newDir))
    return Fail(v, FFS_EINVAL);
  const std::size_t oldLen = ComponentLength(oldName), newLen = ComponentLength(newName);
  if (oldLen == newLen && std::memcmp(oldName, newName, oldLen) == 0 && oldDir == newDir) return 0;
  if (ffs_check_name(ffs_of(v), newName, true) != 0 || newLen == 0) return Fail(v, FFS_EINVAL);
  if (newLen > FFS_NAME_MAX) return Fail(v, FFS_ENAMETOOLONG);
  if (CheckAccess(v, oldDir->inode, kSearch) != 0 || CheckAccess(v, newDir->inode, kSearch) != 0) return -1;
  NodeSlot* e = FindChild(v, oldDir, oldName, oldLen);
  if (e == nullptr) return Fail(v, FFS_ENOENT);
  if (CheckOwner(v, e) != 0) return -1;
  if (FindChild(v, newDir, newName, newLen) != nullptr) return Fail(v, FFS_EEXIST);
  if (CheckAccess(v, newDir->inode, kWrite) != 0) return -1;
  if (IsDir(e) && IsSameOrBelow(v, newDir, e)) return Fail(v, FFS_EINVAL);
  if (oldLen != newLen || std::memcmp(e->name, newName, newLen) != 0) {
    if (newLen > oldLen && Sm(v).check_space(v, static_cast<std::uint32_t>(newLen - oldLen)) != 0)
      return -1;
    char* stored = nullptr;
    if (v->nor->names.StoreString(&stored, newName, static_cast<std::uint32_t>(newLen)) == nullptr)
      return Fail(v, FFS_ENOSPC);
    v->nor->names.Release(&e->name);
    v->nor->names.HandOver(&stored, &e->name);
    v->nor->AdjustNodeBytes(static_cast<std::int64_t>(newLen) - static_cast<std::int64_t>(oldLen));
  }
  if (newDir != oldDir) {
    ForgetCursor(v, e);
    UnlinkChild(e);
    LinkFirstChild(newDir, e);
  }
  if (e->inode) e->inode->time1 = e->inode->time2 = ffs_clock();
  return EndChange(v);
}

std::intptr_t Link(FileControlBlock& b, const char* name, NodeSlot* dir, NodeSlot* existing) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  VolumeRecord* v = b.volume;
  if (name == nullptr || !IsDir(dir) || existing == nullptr || !existing->IsEntry())
    return Fail(v, FFS_EINVAL);
  if (ffs_check_name(ffs_of(v), name, false) != 0) return -1;
  const std::size_t len = std::strlen(name);
  if (len == 0) return Fail(v, FFS_EINVAL);
  if (len > FFS_NAME_MAX) return Fail(v, FFS_ENAMETOOLONG);
  // A second name for a directory would let two entries claim one children
  // list; like most file systems this one refuses it.
  if (IsDir(existing)) return Fail(v, FFS_EPERM);
  if (FindChild(v, dir, name, len) != nullptr) return Fail(v, FFS_EEXIST);
  if (existing->inode == nullptr || existing->inode->links == 0xFF) return Fail(v, FFS_EINVAL);
  if (CheckAccess(v, dir->inode, kWrite | kSearch) != 0) return -1;
  const std::uint32_t space = static_cast<std::uint32_t>(len) + kFileEntryBytes;
  if (Sm(v).check_space(v, space + NewPageBytes(v, 1)) != 0) return -1;
  NodeSlot* e = Sm(v).take_slot(v);
  if (e == nullptr) return -1;
  if (v->nor->names.StoreString(&e->name, name, static_cast<std::uint32_t>(len)) == nullptr) {
    Sm(v).free_slot(v, e);
    return Fail(v, FFS_ENOSPC);
  }
  e->kind = existing->kind;
  e->inode = existing->inode;
  ++existing->inode->links;
  LinkFirstChild(dir, e);
  v->nor->AdjustNodeBytes(space);
  return EndChange(v);
}

}  // namespace ffsd
