// The volume request dispatcher: one table from command code to a named
// function and the rules around it (which commands need a control block,
// which change the volume, which locks a volume request takes). Every path
// out of a volume request releases exactly the semaphores it took.
#include "ffs/dispatcher.h"

#include "ffs/dispatch_internal.h"
#include "ffs/semaphore.h"
#include "ffs/volume_table.h"

namespace ffsd {
namespace {

enum : unsigned {
  kBlock = 1,      // a command on a control block
  kVolume = 2,     // a volume request (no control block)
  kChanges = 4,    // changes the volume: refused on a read-only volume
  kReadsOnly = 8,  // a volume request that only reads: no write semaphore
  kNoRecord = 16,  // a volume request whose first argument is not a volume record
  kMayFail = 32,   // a volume request allowed after an I/O error or while busy
};

struct Entry {
  CommandFn fn;
  unsigned flags;
};

constexpr int kTableSize = 67;

constexpr Entry MakeEntry(int code) {
  switch (code) {
    case FFS_REQ_ACCESS: return {CmdAccess, kBlock};
    case FFS_REQ_ATTRIBUTES: return {CmdAttributes, kBlock};
    case FFS_REQ_CHDIR: return {CmdChdir, kBlock};
    case FFS_REQ_CHMOD: return {CmdChmod, kBlock | kChanges};
    case FFS_REQ_CHOWN: return {CmdChown, kBlock | kChanges};
    case FFS_REQ_CLOSEDIR: return {CmdClosedir, kBlock};
    case FFS_REQ_HOLD_COMMITS: return {ReqHoldCommits, kVolume};
    case FFS_REQ_DUP: return {CmdDup, kBlock};
    case FFS_REQ_RELEASE_COMMITS: return {ReqReleaseCommits, kVolume};
    case FFS_REQ_CLOSE: return {CmdClose, kBlock};
    case FFS_REQ_EOF: return {CmdEof, kBlock};
    case FFS_REQ_FLUSH: return {CmdFlush, kBlock | kChanges};
    case FFS_REQ_RESOLVE: return {CmdResolve, kBlock};
    case FFS_REQ_SEEK: return {CmdSeek, kBlock};
    case FFS_REQ_RESTORE_POSITION: return {CmdRestorePosition, kBlock};
    case FFS_REQ_FSTAT_SIZE: return {CmdFstatSize, kBlock};
    case FFS_REQ_FSTAT: return {CmdFstat, kBlock};
    case FFS_REQ_SET_MODE_TIMES: return {CmdSetModeTimes, kBlock | kChanges};
    case FFS_REQ_TELL: return {CmdTell, kBlock};
    case FFS_REQ_FTRUNCATE: return {CmdFtruncate, kBlock | kChanges};
    case FFS_REQ_GETCWD: return {ReqGetcwd, kVolume | kReadsOnly};
    case FFS_REQ_GET_FLAGS: return {CmdGetFlags, kBlock};
    case FFS_REQ_FILE_ID: return {CmdFileId, kBlock};
    case FFS_REQ_FILE_ID_NAME: return {ReqFileIdName, kVolume | kReadsOnly};
    case FFS_REQ_LINK: return {CmdLink, kBlock | kChanges};
    case FFS_REQ_MKDIR: return {CmdMkdir, kBlock | kChanges};
    case FFS_REQ_OPEN: return {CmdOpen, kBlock};
    case FFS_REQ_OPENDIR: return {CmdOpendir, kBlock};
    case FFS_REQ_READDIR: return {CmdReaddir, kBlock};
    case FFS_REQ_READDIR_OPEN: return {CmdReaddirOpen, kBlock};
    case FFS_REQ_READDIR_STAT: return {CmdReaddirStat, kBlock};
    case FFS_REQ_REMOVE: return {CmdRemove, kBlock | kChanges};
    case FFS_REQ_RENAME: return {CmdRename, kBlock | kChanges};
    case FFS_REQ_RMDIR: return {CmdRmdir, kBlock | kChanges};
    case FFS_REQ_STAT_SIZE: return {CmdStatSize, kBlock};
    case FFS_REQ_SET_FLAGS: return {CmdSetFlags, kBlock};
    case FFS_REQ_SORT_DIR: return {CmdSortDir, kBlock | kChanges};
    case FFS_REQ_STAT: return {CmdStat, kBlock};
    case FFS_REQ_SET_MODE_TIMES2: return {CmdSetModeTimes, kBlock | kChanges};
    case FFS_REQ_NOT_OFFERED: return {CmdNotOffered, kBlock};
    case FFS_REQ_NAME_IN_USE: return {ReqNameInUse, kVolume | kNoRecord};
    case FFS_REQ_TRUNCATE: return {CmdTruncate, kBlock | kChanges};
    case FFS_REQ_EMPTY_TREE: return {CmdEmptyTree, kBlock | kChanges};
    case FFS_REQ_UNMOUNT: return {ReqUnmount, kVolume | kMayFail};
    case FFS_REQ_SET_TIMES: return {CmdSetTimes, kBlock | kChanges};
    case FFS_REQ_SPACE_CHECK: return {ReqSpaceCheck, kVolume | kReadsOnly};
    case FFS_REQ_COMPACT_NAMES: return {ReqCompactNames, kVolume};
    case FFS_REQ_VOLUME_STATS: return {ReqVolumeStats, kVolume | kReadsOnly | kMayFail};
    case FFS_REQ_SYNC_NOW: return {ReqSyncNow, kVolume};
    default: return {nullptr, 0};
  }
}

struct Table {
  Entry entries[kTableSize];
  constexpr Table() : entries() {
    for (int i = 0; i < kTableSize; ++i) entries[i] = MakeEntry(i);
  }
};
constexpr Table kTable;

const Entry* Find(int command, unsigned kind) {
  if (command < 0 || command >= kTableSize) return nullptr;
  const Entry& e = kTable.entries[command];
  return (e.fn != nullptr && (e.flags & kind)) ? &e : nullptr;
}

std::intptr_t VolumeRequest(const Entry& e, Request& r) {
  VolumeRecord* v = (e.flags & kNoRecord) ? nullptr : r.volume;
  if (!(e.flags & kNoRecord) && (v == nullptr || v->self != v)) return Fail(static_cast<VolumeRecord*>(nullptr), FFS_EINVAL);
  const bool write = !(e.flags & kReadsOnly) && v != nullptr;
  if (write) ffs_sem_wait(v->write_sem);
  if (v) ffs_sem_wait(v->read_sem);
  // A request naming no volume works on the default file system.
  VolumeLayer& layer = ffs_of(v).volumes;
  ffs_sem_wait(layer.sem);
  std::intptr_t result;
  if (v && !(e.flags & (kReadsOnly | kMayFail)) && (v->flags & FFS_VF_BUSY)) {
    result = Fail(v, FFS_EBUSY);
  } else if (v && !(e.flags & kMayFail) && (v->flags & FFS_VF_IO_ERROR)) {
    result = Fail(v, FFS_EIO);
  } else if (v && v->nor == nullptr && e.fn != ReqUnmount) {
    result = Fail(v, FFS_ENXIO);  // not mounted
  } else {
    result = e.fn(r);
  }
  ffs_sem_release(layer.sem);
  if (v) ffs_sem_release(v->read_sem);
  if (write) ffs_sem_release(v->write_sem);
  return result;
}

std::intptr_t BlockCommand(const Entry& e, int command, Request& r) {
  VolumeRecord* v = r.volume;
  if (v == nullptr) return Fail(r.block, FFS_EINVAL);
  if (command != FFS_REQ_RESOLVE && (v->flags & FFS_VF_IO_ERROR)) return Fail(v, FFS_EIO);
  if (v->nor == nullptr) return Fail(v, FFS_ENXIO);  // unmounted under an open block
  if ((e.flags & kChanges) && ReadOnly(v)) return Fail(v, FFS_EROFS);
  return e.fn(r);
}

}  // namespace
}  // namespace ffsd

std::intptr_t ffs_dispatch(FileControlBlock* block, int command, std::intptr_t a1, std::intptr_t a2,
                           std::intptr_t a3, std::intptr_t a4, std::intptr_t a5) {
  using namespace ffsd;
  if (block == nullptr) {
    const Entry* e = Find(command, kVolume);
    auto* v = reinterpret_cast<VolumeRecord*>(a1);
    if (e == nullptr) return Fail(v != nullptr && v->self == v ? v : nullptr, FFS_EINVAL);
    // A request whose first argument is no record (a name) names no volume.
    Request r{nullptr, (e->flags & kNoRecord) ? nullptr : v, a1, a2, a3, a4, a5};
    return VolumeRequest(*e, r);
  }
  const Entry* e = Find(command, kBlock);
  if (e == nullptr) return Fail(block, FFS_EINVAL);
  Request r{block, block->volume, a1, a2, a3, a4, a5};
  return BlockCommand(*e, command, r);
}
