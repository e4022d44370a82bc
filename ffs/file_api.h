// The file API's building blocks beyond ffs.h: descriptor allocation, the
// locking protocol, and the two shapes of a call (on a path, on an open
// descriptor) that the further ffs_* calls are made of.
#pragma once

#include <cstring>

#include "ffs/dispatcher.h"
#include "ffs/ffs.h"
#include "ffs/file_control_block.h"
#include "ffs/file_system.h"
#include "ffs/path_resolve.h"
#include "ffs/semaphore.h"

// A block of a volume is served by the dispatcher: the file API then calls
// the dispatcher's named operation (dispatcher.h) directly. Any other
// handler, the name-space root's or a volume handler of a host's own, is
// asked with the command code (ffs_ask).
inline bool ffs_by_dispatcher(const FileControlBlock& b) { return b.handler == ffs_dispatch; }
inline std::intptr_t ffs_ask(FileControlBlock& b, int command, std::intptr_t a1 = 0, std::intptr_t a2 = 0,
                             std::intptr_t a3 = 0, std::intptr_t a4 = 0) {
  return b.handler(&b, command, a1, a2, a3, a4, 0);
}
inline std::intptr_t ffs_arg(const void* p) { return reinterpret_cast<std::intptr_t>(p); }
// The entry path resolution answered, as the dispatcher's operations take it.
inline ffsd::Entry* ffs_entry(std::intptr_t resolved) { return reinterpret_cast<ffsd::Entry*>(resolved); }

// A block outside the table for one call on a path (reset to a kind).
FileControlBlock ffs_temporary_block(FileSystem& fs, std::uint32_t kind);
// The block of an open descriptor or handle with its semaphore taken; null
// (EBADF) when it is outside the table or not in use.
FileControlBlock* ffs_take_open_block(FileSystem& fs, FileControlBlock* b);

// Runs call(block, name, entry) on the object a path names: a temporary
// block of the given kind, resolution with lockMode (name: the rest of the
// path, for FFS_RESOLVE_PARENT the last component, refused with
// ENAMETOOLONG above 64 bytes; entry: what resolution found), then the
// unlock with lockMode.
template <typename Call>
std::intptr_t ffs_on_path(FileSystem& fs, const char* path, int what, int lockMode, std::uint32_t kind,
                          Call call) {
  FileControlBlock block = ffs_temporary_block(fs, kind);
  const char* rest = path;
  const std::intptr_t entry = ffs_resolve_path(&block, &rest, what, lockMode);
  if (entry == -1) return -1;
  std::intptr_t r;
  if (what == FFS_RESOLVE_PARENT && std::strlen(rest) > FFS_NAME_MAX) r = Fail(fs, FFS_ENAMETOOLONG);
  else r = call(block, rest, entry);
  block.unlock(&block, lockMode);
  return r;
}

// Runs call(block) on an open descriptor under its semaphore and lock mode.
template <typename Call>
std::intptr_t ffs_on_fd(FileSystem& fs, int fd, int lockMode, Call call) {
  FileControlBlock* b = ffs_take_open_block(fs, ffs_fcb(fs, fd));
  if (b == nullptr) return -1;
  b->lock(b, lockMode);
  const std::intptr_t r = call(*b);
  b->unlock(b, lockMode);
  ffs_sem_release(b->sem);
  return r;
}

