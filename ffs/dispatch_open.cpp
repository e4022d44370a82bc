// Opening and closing files, and the commands on an open file's position,
// flags and length. An open file holds one reference on its volume record and
// counts in the volume's open files until it is closed.
#include <algorithm>

#include "ffs/dispatch_internal.h"
#include "ffs/dispatcher.h"
#include "ffs/file_data.h"
#include "ffs/module_table.h"
#include "ffs/volume_table.h"

namespace ffsd {
namespace {

std::uint32_t AccessOfFlags(int flags) {
  const bool append = flags & FFS_O_APPEND;
  if (flags & FFS_O_WRONLY) return append ? FFS_ACC_APPEND : FFS_ACC_WRITE;
  if (flags & FFS_O_RDWR) return FFS_ACC_READ | (append ? FFS_ACC_APPEND : FFS_ACC_WRITE);
  return FFS_ACC_READ;
}

bool WantsWrite(int flags) { return (flags & (FFS_O_WRONLY | FFS_O_RDWR)) != 0; }

unsigned RightsOfFlags(int flags) {
  if (flags & FFS_O_WRONLY) return kWrite;
  if (flags & FFS_O_RDWR) return kRead | kWrite;
  return kRead;
}

// The table blocks holding a file (through any of its names).
template <typename Visit>
void ForEachOpenOf(VolumeRecord* v, const NodeSlot* inode, Visit visit) {
  for (int i = 0; i < FFS_FCB_COUNT; ++i) {
    const FileControlBlock* b = ffs_fcb(ffs_of(v), i);
    if (b->handler != nullptr && IsFile(EntryOf(b)) && EntryOf(b)->inode == inode) visit(*b);
  }
}

}  // namespace

bool IsFileOpen(VolumeRecord* v, const NodeSlot* inode) {
  bool open = false;
  ForEachOpenOf(v, inode, [&](const FileControlBlock&) { open = true; });
  return open;
}

bool OpenForWriting(VolumeRecord* v, const NodeSlot* inode) {
  bool writing = false;
  ForEachOpenOf(v, inode, [&](const FileControlBlock& b) {
    writing |= (b.access & (FFS_ACC_WRITE | FFS_ACC_APPEND)) != 0;
  });
  return writing;
}

std::intptr_t AttachFile(FileControlBlock* b, VolumeRecord* v, NodeSlot* entry, int flags) {
  NodeSlot* inode = entry->inode;
  b->volume = v;
  AttachToVolume(b, v, entry);
  b->read = FileRead;
  b->write = FileWrite;
  b->held = nullptr;
  b->written = false;
  b->access = AccessOfFlags(flags);
  if (flags & FFS_O_APPEND) PositionAtEnd(v, b, inode);
  else PositionAtStart(b, inode);
  b->saved = b->position;
  ++v->open_files;
  ++v->ref_count;
  return 0;
}

std::intptr_t Open(FileControlBlock& b, const char* name, int flags, int mode, NodeSlot* parent) {
  if (!Admitted(b, Rule::kReads)) return -1;
  VolumeRecord* v = b.volume;
  if (name == nullptr || !IsDir(parent)) return Fail(v, FFS_EINVAL);
  if (v->open_files >= v->cache_size) return Fail(v, FFS_EMFILE);
  if (ReadOnly(v) && flags != 0) return Fail(v, FFS_EROFS);
  if (ffs_check_name(ffs_of(v), name, false) != 0) return -1;
  NodeSlot* entry = FindChild(v, parent, name, std::strlen(name));
  if (entry != nullptr) {
    if ((flags & FFS_O_CREAT) && (flags & FFS_O_EXCL)) return Fail(v, FFS_EEXIST);
    if (IsDir(entry)) {
      if (WantsWrite(flags)) return Fail(v, FFS_EISDIR);
      return Opendir(b, entry) != 0 ? 0 : -1;
    }
    NodeSlot* inode = entry->inode;
    if (inode == nullptr) return Fail(v, FFS_EIO);
    if (WantsWrite(flags) && OpenForWriting(v, inode)) return Fail(v, FFS_EACCES);
    if (CheckAccess(v, inode, RightsOfFlags(flags)) != 0) return -1;
    AttachFile(&b, v, entry, flags);
    if ((flags & FFS_O_TRUNC) && WantsWrite(flags) && inode->size > 0) {
      const std::intptr_t t = TruncateInode(v, inode, 0);
      PositionAtStart(&b, inode);
      b.saved = b.position;
      return t == -1 ? -1 : 0;
    }
    return 0;
  }
  if (!(flags & FFS_O_CREAT)) return Fail(v, FFS_ENOENT);
  if (CheckAccess(v, parent->inode, kWrite | kSearch) != 0) return -1;
  entry = CreateEntry(v, parent, name, static_cast<std::uint32_t>(std::strlen(name)), false, mode);
  if (entry == nullptr) return -1;
  return AttachFile(&b, v, entry, flags);
}

int CloseBlock(FileControlBlock* b) {
  VolumeRecord* v = b->volume;
  NodeSlot* entry = EntryOf(b);
  if (v == nullptr || !IsFile(entry) || entry->inode == nullptr) return 0;
  ReleaseHeld(v, b);
  NodeSlot* inode = entry->inode;
  const int result = v->nor != nullptr && Sm(v).flush_file(v, inode) != 0 ? -1 : 0;
  if (v->open_files > 0) --v->open_files;
  // From here the block no longer holds the file: a closed writer no longer
  // keeps other writers out.
  b->entry = nullptr;
  if (entry->unlinked && !IsOpen(v, entry) && v->nor != nullptr) ReclaimUnlinked(v, entry);
  return result;
}

std::intptr_t Close(FileControlBlock& block) {
  if (!Admitted(block, Rule::kReads)) return -1;
  FileControlBlock* b = &block;
  VolumeRecord* v = b->volume;
  if (!IsFile(EntryOf(b))) return 0;  // a directory block is only released
  const bool written = b->written;
  std::intptr_t result = CloseBlock(b);
  if (written) {
    v->flags &= ~FFS_VF_COMMIT_PENDING;
    if (v->flags & FFS_VF_COMMIT_ON_CLOSE) {
      if (Sm(v).sync(v, 1) != 0 && ffs_error_of(v) != FFS_ENOSPC) result = -1;
    }
    v->flags |= FFS_VF_CHANGED;
  }
  return result;
}

std::intptr_t Dup(FileControlBlock& block) {
  if (!Admitted(block, Rule::kReads)) return -1;
  FileControlBlock* b = &block;
  VolumeRecord* v = b->volume;
  NodeSlot* entry = EntryOf(b);
  if (v->open_files >= v->cache_size) return Fail(v, FFS_EMFILE);
  FileControlBlock* copy = nullptr;
  for (int i = 0; i < FFS_FCB_COUNT && copy == nullptr; ++i)
    if (ffs_fcb_is_free(ffs_fcb(ffs_of(v), i))) copy = ffs_fcb(ffs_of(v), i);
  if (copy == nullptr || !IsFile(entry)) return Fail(v, FFS_EMFILE);
  const FfsSem sem = copy->sem;
  *copy = *b;
  copy->sem = sem;
  copy->held = nullptr;
  ++v->open_files;
  ++v->ref_count;
  return ffs_fcb_index(ffs_of(v), copy);
}

std::intptr_t Eof(FileControlBlock& b) {
  if (!Admitted(b, Rule::kReads)) return -1;
  NodeSlot* entry = EntryOf(&b);
  if (!IsFile(entry)) return 1;
  return Tell(b.volume, &b, entry->inode) >= entry->inode->size ? 1 : 0;
}

std::intptr_t Flush(FileControlBlock& b) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  NodeSlot* entry = EntryOf(&b);
  if (!IsFile(entry)) return 0;
  ReleaseHeld(b.volume, &b);
  return Sm(b.volume).flush_file(b.volume, entry->inode) == 0 ? 0 : -1;
}

std::intptr_t Seek(FileControlBlock& b, std::int32_t offset32, int whence) {
  if (!Admitted(b, Rule::kReads)) return -1;
  VolumeRecord* v = b.volume;
  NodeSlot* entry = EntryOf(&b);
  if (!IsFile(entry)) return Fail(v, FFS_EINVAL);
  NodeSlot* inode = entry->inode;
  const std::int64_t offset = offset32;
  std::int64_t base;
  switch (whence) {
    case 0:
      if (offset < 0) return Fail(v, FFS_EINVAL);
      base = 0;
      break;
    case 1: base = Tell(v, &b, inode); break;
    case 2: base = inode->size; break;
    default: return Fail(v, FFS_EINVAL);
  }
  const std::int64_t target = base + offset;
  if (target < 0 || target > 0x7FFFFFFF) return Fail(v, FFS_EINVAL);
  if (offset < 0 && inode->first_cluster == nor::kNoCluster) return Fail(v, FFS_EINVAL);
  ReleaseHeld(v, &b);
  PositionAt(v, &b, inode, static_cast<std::uint32_t>(target));
  return 0;
}

std::intptr_t RestorePosition(FileControlBlock& b, const FcbPosition* p) {
  if (!Admitted(b, Rule::kReads)) return -1;
  VolumeRecord* v = b.volume;
  NodeSlot* entry = EntryOf(&b);
  if (p == nullptr || !IsFile(entry)) return Fail(v, FFS_EINVAL);
  // The record is taken as a byte position: a stale cluster number can
  // never lead the block outside the file's chain.
  ReleaseHeld(v, &b);
  FileControlBlock probe = b;
  probe.position = *p;
  PositionAt(v, &b, entry->inode, Tell(v, &probe, entry->inode));
  return 0;
}

std::intptr_t Tell(FileControlBlock& b) {
  if (!Admitted(b, Rule::kReads)) return -1;
  NodeSlot* entry = EntryOf(&b);
  if (!IsFile(entry)) return Fail(b.volume, FFS_EINVAL);
  return Tell(b.volume, &b, entry->inode);
}

std::intptr_t Ftruncate(FileControlBlock& b, std::int64_t length) {
  if (!Admitted(b, Rule::kChanges)) return -1;
  VolumeRecord* v = b.volume;
  NodeSlot* entry = EntryOf(&b);
  if (!IsFile(entry)) return Fail(v, FFS_EINVAL);
  if (!(b.access & (FFS_ACC_WRITE | FFS_ACC_APPEND))) return Fail(v, FFS_EACCES);
  if (length < 0) return Fail(v, FFS_EINVAL);
  if (TruncateInode(v, entry->inode, static_cast<std::uint32_t>(length)) != 0) return -1;
  return EndChange(v);
}

std::intptr_t GetFlags(FileControlBlock& b) {
  if (!Admitted(b, Rule::kReads)) return -1;
  const std::uint32_t a = b.access;
  std::intptr_t flags = 0;
  const bool append = a & FFS_ACC_APPEND;
  if (a & FFS_ACC_READ) {
    if (a & (FFS_ACC_WRITE | FFS_ACC_APPEND)) flags = append ? 6 : 2;
  } else if (a & (FFS_ACC_WRITE | FFS_ACC_APPEND)) {
    flags = append ? 5 : 1;
  }
  if (a & FFS_ACC_FLAG16) flags |= 64;
  if (a & FFS_ACC_FLAG32) flags |= 128;
  return flags;
}

std::intptr_t SetFlags(FileControlBlock& b, int flags) {
  if (!Admitted(b, Rule::kReads)) return -1;
  if ((flags & FFS_O_APPEND) && (b.access & FFS_ACC_WRITE)) {
    b.access = (b.access & ~FFS_ACC_WRITE) | FFS_ACC_APPEND;
  }
  if (flags & 64) b.access |= FFS_ACC_FLAG16;
  if (flags & 128) b.access |= FFS_ACC_FLAG32;
  return 0;
}

}  // namespace ffsd
