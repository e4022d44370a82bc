// Commands on attributes: access test, attribute word, mode, owner, status,
// time stamps and file ids. Only the owner of an entry may change it.
#include "ffs/dispatch_internal.h"
#include "ffs/file_data.h"
#include "ffs/module_table.h"

namespace ffsd {
namespace {

unsigned MaskOfAccessBits(std::intptr_t bits) {
  unsigned mask = 0;
  if (bits & 4) mask |= kRead;
  if (bits & 2) mask |= kWrite;
  if (bits & 1) mask |= kSearch;
  return mask;
}

// The inode of a by-name command that changes it: found, owned, writable volume.
NodeSlot* OwnedInode(Request& r) {
  NodeSlot* e = NamedEntry(r, Arg<const char>(r.a1));
  if (e == nullptr) return nullptr;
  if (CheckOwner(r.volume, e) != 0) return nullptr;
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

std::intptr_t CmdAccess(Request& r) {
  NodeSlot* e = NamedEntry(r, Arg<const char>(r.a1));
  if (e == nullptr) return -1;
  const unsigned mask = MaskOfAccessBits(r.a2);
  if (CheckAccess(r.volume, e->inode, mask) != 0) return -1;
  if ((mask & kWrite) && IsFile(e) && OpenForWriting(r.volume, e->inode)) return Fail(r.volume, FFS_EACCES);
  return 0;
}

std::intptr_t CmdAttributes(Request& r) {
  auto* value = Arg<std::uint32_t>(r.a3);
  const std::uint32_t mask = static_cast<std::uint32_t>(r.a2);
  NodeSlot* e = NamedEntry(r, Arg<const char>(r.a1));
  if (e == nullptr || value == nullptr) return e ? Fail(r.volume, FFS_EINVAL) : -1;
  if (CheckOwner(r.volume, e) != 0) return -1;
  if (mask != 0) {
    if (ReadOnly(r.volume)) return Fail(r.volume, FFS_EROFS);
    e->inode->attributes = (e->inode->attributes & ~mask) | (*value & mask);
  }
  *value = e->inode->attributes;
  return mask != 0 ? EndChange(r.volume) : 0;
}

std::intptr_t CmdChmod(Request& r) {
  NodeSlot* inode = OwnedInode(r);
  if (inode == nullptr) return -1;
  inode->mode = static_cast<std::uint16_t>(r.a2 & 0xFFFF & ~FFS_S_IFDIR);
  return EndChange(r.volume);
}

std::intptr_t CmdChown(Request& r) {
  NodeSlot* inode = OwnedInode(r);
  if (inode == nullptr) return -1;
  inode->uid = static_cast<std::uint16_t>(r.a2);
  inode->gid = static_cast<std::uint16_t>(r.a3);
  return EndChange(r.volume);
}

namespace {
std::intptr_t StatOf(Request& r, NodeSlot* e, FfsStat* out, bool directorySize) {
  if (out == nullptr || e == nullptr || !e->IsEntry()) return Fail(r.volume, FFS_EINVAL);
  FillStat(r.volume, e, out, directorySize);
  return 0;
}
}  // namespace

std::intptr_t CmdFstat(Request& r) { return StatOf(r, EntryOf(r.block), Arg<FfsStat>(r.a1), false); }
std::intptr_t CmdFstatSize(Request& r) { return StatOf(r, EntryOf(r.block), Arg<FfsStat>(r.a1), true); }
std::intptr_t CmdStat(Request& r) { return StatOf(r, Arg<NodeSlot>(r.a3), Arg<FfsStat>(r.a2), false); }
std::intptr_t CmdStatSize(Request& r) { return StatOf(r, Arg<NodeSlot>(r.a3), Arg<FfsStat>(r.a2), true); }

std::intptr_t CmdSetModeTimes(Request& r) {
  const auto* rec = Arg<const FfsModeTimes>(r.a1);
  NodeSlot* e = EntryOf(r.block);
  if (rec == nullptr || e == nullptr || e->inode == nullptr) return Fail(r.volume, FFS_EINVAL);
  if (CheckOwner(r.volume, e) != 0) return -1;
  e->inode->mode = static_cast<std::uint16_t>(rec->mode & ~FFS_S_IFDIR);
  e->inode->time1 = rec->time1;
  e->inode->time2 = rec->time2;
  return EndChange(r.volume);
}

std::intptr_t CmdSetTimes(Request& r) {
  NodeSlot* inode = OwnedInode(r);
  if (inode == nullptr) return -1;
  const auto* times = Arg<const std::uint32_t>(r.a2);
  inode->time1 = times ? times[0] : ffs_clock();
  inode->time2 = times ? times[1] : ffs_clock();
  return EndChange(r.volume);
}

std::intptr_t CmdFileId(Request& r) {
  NodeSlot* e = NamedEntry(r, Arg<const char>(r.a1));
  if (e == nullptr || e->inode == nullptr) return e ? Fail(r.volume, FFS_ENOENT) : -1;
  return (static_cast<std::intptr_t>(r.volume->volume_index) << 20) | (e->inode->serial & 0xFFFFF);
}

std::intptr_t CmdNotOffered(Request& r) {
  ffs_error_of(r.volume) = FFS_EINVAL;
  return 0;
}

}  // namespace ffsd
