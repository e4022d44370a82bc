// Commands on attributes: access test, attribute word, mode, owner, status,
// time stamps and file ids. Only the owner of an entry may change it.
#include "ffs/dispatch_internal.h"
#include "ffs/file_data.h"
#include "ffs/module_table.h"

namespace ffsd {
namespace {

unsigned MaskOfAccessBits(int bits) {
  unsigned mask = 0;
  if (bits & 4) mask |= kRead;
  if (bits & 2) mask |= kWrite;
  if (bits & 1) mask |= kSearch;
  return mask;
}

// The inode of a by-name command that changes it: found, owned, writable volume.
NodeSlot* OwnedInode(FileControlBlock& b, const char* name) {
  NodeSlot* e = NamedEntry(&b, name);
  if (e == nullptr) return nullptr;
  if (CheckOwner(b.volume, e) != 0) return nullptr;
  return e->inode;
}

// Stored bytes of a directory's children in the node table.
std::uint32_t DirectorySize(VolumeRecord* v, const NodeSlot* dir) {
  std::uint32_t size = 0;
  std::uint32_t steps = LinkLimit(v);
  for (const NodeSlot* c = dir->child; c != nullptr && steps-- > 0; c = c->next)
    size += (c->name ? static_cast<std::uint32_t>(std::strlen(c->name)) : 0) + EntryBytes(IsDir(c));
  return size;
}

}  // namespace

void FillStat(VolumeRecord* v, const NodeSlot* entry, FfsStat* out, bool directorySize) {
  const NodeSlot* inode = entry->inode;
  std::memset(out, 0, sizeof *out);
  if (inode == nullptr) return;
  out->ino = inode->serial;
  out->mode = static_cast<std::uint16_t>(inode->mode | (IsDir(entry) ? FFS_S_IFDIR : 0));
  out->nlink = inode->links;
  out->uid = inode->uid;
  out->gid = inode->gid;
  out->size = IsDir(entry) ? (directorySize ? DirectorySize(v, entry) : 0) : inode->size;
  out->atime = inode->time2;
  out->mtime = inode->time1;
  out->ctime = inode->time1;
}

std::intptr_t Access(FileControlBlock& b, const char* name, int bits) {
  if (!Admitted(b, Rule::kReads)) return -1;
  NodeSlot* e = NamedEntry(&b, name);
  if (e == nullptr) return -1;
  const unsigned mask = MaskOfAccessBits(bits);
  if (CheckAccess(b.volume, e->inode, mask) != 0) return -1;
  if ((mask & kWrite) && IsFile(e) && OpenForWriting(b.volume, e->inode)) return Fail(b.volume, FFS_EACCES);
  return 0;
}

std::intptr_t Attributes(FileControlBlock& b, const char* name, std::uint32_t mask, std::uint32_t* value) {
  if (!Admitted(b, Rule::kReads)) return -1;
  VolumeRecord* v = b.volume;
  NodeSlot* e = NamedEntry(&b, name);
  if (e == nullptr || value == nullptr) return e ? Fail(v, FFS_EINVAL) : -1;
  if (CheckOwner(v, e) != 0) return -1;
  if (mask != 0) {
    if (ReadOnly(v)) return Fail(v, FFS_EROFS);
    e->inode->attributes = (e->inode->attributes & ~mask) | (*value & mask);
  }
  *value = e->inode->attributes;
  return mask != 0 ? EndChange(v) : 0;
}

std::intptr_t Chmod(FileControlBlock& b, const char* name, int mode) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  NodeSlot* inode = OwnedInode(b, name);
  if (inode == nullptr) return -1;
  inode->mode = static_cast<std::uint16_t>(mode & 0xFFFF & ~FFS_S_IFDIR);
  return EndChange(b.volume);
}

std::intptr_t Chown(FileControlBlock& b, const char* name, int uid, int gid) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  NodeSlot* inode = OwnedInode(b, name);
  if (inode == nullptr) return -1;
  inode->uid = static_cast<std::uint16_t>(uid);
  inode->gid = static_cast<std::uint16_t>(gid);
  return EndChange(b.volume);
}

namespace {
std::intptr_t StatOf(FileControlBlock& b, NodeSlot* e, FfsStat* out, bool directorySize) {
  if (!Admitted(b, Rule::kReads)) return -1;
  if (out == nullptr || e == nullptr || !e->IsEntry()) return Fail(b.volume, FFS_EINVAL);
  FillStat(b.volume, e, out, directorySize);
  return 0;
}
}  // namespace

std::intptr_t Fstat(FileControlBlock& b, FfsStat* out) { return StatOf(b, EntryOf(&b), out, false); }
std::intptr_t FstatSize(FileControlBlock& b, FfsStat* out) { return StatOf(b, EntryOf(&b), out, true); }
std::intptr_t Stat(FileControlBlock& b, NodeSlot* entry, FfsStat* out) { return StatOf(b, entry, out, false); }
std::intptr_t StatSize(FileControlBlock& b, NodeSlot* entry, FfsStat* out) { return StatOf(b, entry, out, true); }

std::intptr_t SetModeTimes(FileControlBlock& b, const FfsModeTimes* rec) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  VolumeRecord* v = b.volume;
  NodeSlot* e = EntryOf(&b);
  if (rec == nullptr || e == nullptr || e->inode == nullptr) return Fail(v, FFS_EINVAL);
  if (CheckOwner(v, e) != 0) return -1;
  e->inode->mode = static_cast<std::uint16_t>(rec->mode & ~FFS_S_IFDIR);
  e->inode->time1 = rec->time1;
  e->inode->time2 = rec->time2;
  return EndChange(v);
}

std::intptr_t SetTimes(FileControlBlock& b, const char* name, const std::uint32_t* times) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  NodeSlot* inode = OwnedInode(b, name);
  if (inode == nullptr) return -1;
  inode->time1 = times ? times[0] : ffs_clock();
  inode->time2 = times ? times[1] : ffs_clock();
  return EndChange(b.volume);
}

std::intptr_t FileId(FileControlBlock& b, const char* name) {
  if (!Admitted(b, Rule::kReads)) return -1;
  NodeSlot* e = NamedEntry(&b, name);
  if (e == nullptr || e->inode == nullptr) return e ? Fail(b.volume, FFS_ENOENT) : -1;
  return (static_cast<std::intptr_t>(b.volume->volume_index) << 20) | (e->inode->serial & 0xFFFFF);
}

std::intptr_t NotOffered(FileControlBlock& b) {
  if (!Admitted(b, Rule::kReads)) return -1;
  ffs_error_of(b.volume) = FFS_EINVAL;
  return 0;
}

}  // namespace ffsd
