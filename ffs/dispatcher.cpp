// The volume request dispatcher's command-code side: one table from command
// code to a thin adapter that unpacks the untyped arguments and calls the
// named operation (dispatcher.h), and the dispatch rules every operation
// applies. Every path out of a volume request releases exactly the
// semaphores it took.
#include "ffs/dispatcher.h"

#include "ffs/dispatch_internal.h"
#include "ffs/semaphore.h"
#include "ffs/volume_table.h"

namespace ffsd {

bool Admitted(FileControlBlock& b, Rule rule) {
  VolumeRecord* v = b.volume;
  if (v == nullptr) return Fail(&b, FFS_EINVAL), false;
  if (rule != Rule::kResolves && (v->flags & FFS_VF_IO_ERROR)) return Fail(v, FFS_EIO), false;
  if (v->nor == nullptr) return Fail(v, FFS_ENXIO), false;  // unmounted under an open block
  if (rule == Rule::kChanges && ReadOnly(v)) return Fail(v, FFS_EROFS), false;
  return true;
}

VolumeRequestScope::VolumeRequestScope(FileSystem& fs, VolumeRecord* v, unsigned rules)
    : layer_(fs.volumes), v_(v), write_(!(rules & kReadsOnly) && v != nullptr) {
  if (write_) ffs_sem_wait(v->write_sem);
  if (v) ffs_sem_wait(v->read_sem);
  ffs_sem_wait(layer_.sem);
  int error = 0;
  if (v == nullptr) error = 0;
  else if (!(rules & (kReadsOnly | kMayFail)) && (v->flags & FFS_VF_BUSY)) error = FFS_EBUSY;
  else if (!(rules & kMayFail) && (v->flags & FFS_VF_IO_ERROR)) error = FFS_EIO;
  else if (!(rules & kWhileUnmounted) && v->nor == nullptr) error = FFS_ENXIO;  // not mounted
  if (error != 0) Fail(v, error);
  refused_ = error != 0;
}

VolumeRequestScope::~VolumeRequestScope() {
  ffs_sem_release(layer_.sem);
  if (v_) ffs_sem_release(v_->read_sem);
  if (write_) ffs_sem_release(v_->write_sem);
}

namespace {

// The untyped arguments of a command, as the module table passes them.
struct Request {
  FileControlBlock* block;  // null for volume requests
  VolumeRecord* volume;     // the block's, or the one a volume request names
  std::intptr_t a1, a2, a3, a4, a5;
};
using Adapter = std::intptr_t (*)(const Request& r);

enum : unsigned {
  kBlock = 1,      // a command on a control block
  kVolume = 2,     // a volume request (no control block)
  kNoRecord = 4,   // a volume request whose first argument is not a volume record
};

struct Row {
  Adapter fn;
  unsigned flags;
};

constexpr int kTableSize = 67;

const char* Text(std::intptr_t a) { return reinterpret_cast<const char*>(a); }
NodeSlot* Node(std::intptr_t a) { return reinterpret_cast<NodeSlot*>(a); }
FfsStat* StatRecord(std::intptr_t a) { return reinterpret_cast<FfsStat*>(a); }
int Int(std::intptr_t a) { return static_cast<int>(a); }
// A whence outside 0..2 stays outside when narrowed.
int Whence(std::intptr_t a) { return a >= 0 && a <= 2 ? static_cast<int>(a) : -1; }

constexpr Row Block(Adapter fn) { return {fn, kBlock}; }
constexpr Row Volume(Adapter fn) { return {fn, kVolume}; }

// Each adapter unpacks the arguments in the order of the command's table
// row and hands them to the named operation.
constexpr Row MakeRow(int code) {
  switch (code) {
    case FFS_REQ_ACCESS: return Block([](const Request& r) { return Access(*r.block, Text(r.a1), Int(r.a2)); });
    case FFS_REQ_ATTRIBUTES:
      return Block([](const Request& r) {
        return Attributes(*r.block, Text(r.a1), static_cast<std::uint32_t>(r.a2), Arg<std::uint32_t>(r.a3));
      });
    case FFS_REQ_CHDIR: return Block([](const Request& r) { return Chdir(*r.block); });
    case FFS_REQ_CHMOD: return Block([](const Request& r) { return Chmod(*r.block, Text(r.a1), Int(r.a2)); });
    case FFS_REQ_CHOWN:
      return Block([](const Request& r) { return Chown(*r.block, Text(r.a1), Int(r.a2), Int(r.a3)); });
    case FFS_REQ_CLOSEDIR: return Block([](const Request& r) { return Closedir(*r.block); });
    case FFS_REQ_HOLD_COMMITS: return Volume([](const Request& r) { return HoldCommits(*r.volume); });
    case FFS_REQ_DUP: return Block([](const Request& r) { return Dup(*r.block); });
    case FFS_REQ_RELEASE_COMMITS: return Volume([](const Request& r) { return ReleaseCommits(*r.volume); });
    case FFS_REQ_CLOSE: return Block([](const Request& r) { return Close(*r.block); });
    case FFS_REQ_EOF: return Block([](const Request& r) { return Eof(*r.block); });
    case FFS_REQ_FLUSH: return Block([](const Request& r) { return Flush(*r.block); });
    case FFS_REQ_RESOLVE:
      return Block([](const Request& r) {
        return Resolve(*r.block, Arg<const char*>(r.a1), Int(r.a2), r.a3 != 0, Int(r.a4));
      });
    case FFS_REQ_SEEK:
      return Block([](const Request& r) { return Seek(*r.block, static_cast<std::int32_t>(r.a1), Whence(r.a2)); });
    case FFS_REQ_RESTORE_POSITION:
      return Block([](const Request& r) { return RestorePosition(*r.block, Arg<const FcbPosition>(r.a1)); });
    case FFS_REQ_FSTAT_SIZE: return Block([](const Request& r) { return FstatSize(*r.block, StatRecord(r.a1)); });
    case FFS_REQ_FSTAT: return Block([](const Request& r) { return Fstat(*r.block, StatRecord(r.a1)); });
    case FFS_REQ_SET_MODE_TIMES:
    case FFS_REQ_SET_MODE_TIMES2:
      return Block([](const Request& r) { return SetModeTimes(*r.block, Arg<const FfsModeTimes>(r.a1)); });
    case FFS_REQ_TELL: return Block([](const Request& r) { return Tell(*r.block); });
    case FFS_REQ_FTRUNCATE: return Block([](const Request& r) { return Ftruncate(*r.block, r.a1); });
    case FFS_REQ_GETCWD:
      return Volume([](const Request& r) {
        return Getcwd(*r.volume, Arg<char>(r.a2), static_cast<std::uint32_t>(r.a3));
      });
    case FFS_REQ_GET_FLAGS: return Block([](const Request& r) { return GetFlags(*r.block); });
    case FFS_REQ_FILE_ID: return Block([](const Request& r) { return FileId(*r.block, Text(r.a1)); });
    case FFS_REQ_FILE_ID_NAME:
      return Volume([](const Request& r) {
        return FileIdName(*r.volume, static_cast<std::uint32_t>(r.a2), static_cast<std::uint32_t>(r.a3), r.a4 == 1,
                          Arg<const FfsPathBuffer>(r.a5));
      });
    case FFS_REQ_LINK:
      return Block([](const Request& r) { return Link(*r.block, Text(r.a1), Node(r.a2), Node(r.a3)); });
    case FFS_REQ_MKDIR:
      return Block([](const Request& r) { return Mkdir(*r.block, Text(r.a1), Int(r.a2), Node(r.a3)); });
    case FFS_REQ_OPEN:
      return Block([](const Request& r) { return Open(*r.block, Text(r.a1), Int(r.a2), Int(r.a3), Node(r.a4)); });
    case FFS_REQ_OPENDIR: return Block([](const Request& r) { return Opendir(*r.block, Node(r.a1)); });
    case FFS_REQ_READDIR: return Block([](const Request& r) { return Readdir(*r.block); });
    case FFS_REQ_READDIR_OPEN:
      return Block([](const Request& r) { return ReaddirOpen(*r.block, Int(r.a1), Arg<int>(r.a2)); });
    case FFS_REQ_READDIR_STAT: return Block([](const Request& r) { return ReaddirStat(*r.block); });
    case FFS_REQ_REMOVE: return Block([](const Request& r) { return Remove(*r.block, Text(r.a1)); });
    case FFS_REQ_RENAME:
      return Block([](const Request& r) { return Rename(*r.block, Text(r.a1), Text(r.a2), Node(r.a3)); });
    case FFS_REQ_RMDIR: return Block([](const Request& r) { return Rmdir(*r.block, Node(r.a1)); });
    case FFS_REQ_STAT_SIZE:
      return Block([](const Request& r) { return StatSize(*r.block, Node(r.a3), StatRecord(r.a2)); });
    case FFS_REQ_SET_FLAGS: return Block([](const Request& r) { return SetFlags(*r.block, Int(r.a1)); });
    case FFS_REQ_SORT_DIR:
      return Block([](const Request& r) {
        return SortDir(*r.block, Node(r.a1), reinterpret_cast<int (*)(const char*, const char*)>(r.a2));
      });
    case FFS_REQ_STAT: return Block([](const Request& r) { return Stat(*r.block, Node(r.a3), StatRecord(r.a2)); });
    case FFS_REQ_NOT_OFFERED: return Block([](const Request& r) { return NotOffered(*r.block); });
    case FFS_REQ_NAME_IN_USE:
      // The request carries a name alone and every volume shares this
      // handler, so it answers for the default file system; another file
      // system asks through NameInUse(fs, name).
      return {[](const Request& r) { return NameInUse(ffs_of(r.volume), Text(r.a1)); }, kVolume | kNoRecord};
    case FFS_REQ_TRUNCATE: return Block([](const Request& r) { return Truncate(*r.block, Text(r.a1), r.a2); });
    case FFS_REQ_EMPTY_TREE: return Block([](const Request& r) { return EmptyTree(*r.block, Node(r.a1)); });
    case FFS_REQ_UNMOUNT: return Volume([](const Request& r) { return Unmount(*r.volume, r.a2 != 0); });
    case FFS_REQ_SET_TIMES:
      return Block([](const Request& r) { return SetTimes(*r.block, Text(r.a1), Arg<const std::uint32_t>(r.a2)); });
    case FFS_REQ_SPACE_CHECK: return Volume([](const Request& r) { return SpaceCheck(*r.volume); });
    case FFS_REQ_COMPACT_NAMES: return Volume([](const Request& r) { return CompactNames(*r.volume); });
    case FFS_REQ_VOLUME_STATS:
      return Volume([](const Request& r) { return VolumeStats(*r.volume, Arg<FfsVolumeStats>(r.a2)); });
    case FFS_REQ_SYNC_NOW: return Volume([](const Request& r) { return SyncNow(*r.volume); });
    default: return {nullptr, 0};
  }
}

struct Table {
  Row rows[kTableSize];
  constexpr Table() : rows() {
    for (int i = 0; i < kTableSize; ++i) rows[i] = MakeRow(i);
  }
};
constexpr Table kTable;

const Row* Find(int command, unsigned kind) {
  if (command < 0 || command >= kTableSize) return nullptr;
  const Row& e = kTable.rows[command];
  return (e.fn != nullptr && (e.flags & kind)) ? &e : nullptr;
}

}  // namespace
}  // namespace ffsd

std::intptr_t ffs_dispatch(FileControlBlock* block, int command, std::intptr_t a1, std::intptr_t a2,
                           std::intptr_t a3, std::intptr_t a4, std::intptr_t a5) {
  using namespace ffsd;
  if (block == nullptr) {
    const Row* e = Find(command, kVolume);
    auto* v = reinterpret_cast<VolumeRecord*>(a1);
    if (e == nullptr) return Fail(v != nullptr && v->self == v ? v : nullptr, FFS_EINVAL);
    // A request whose first argument is no record (a name) names no volume.
    if (e->flags & kNoRecord) v = nullptr;
    else if (v == nullptr || v->self != v) return Fail(static_cast<VolumeRecord*>(nullptr), FFS_EINVAL);
    return e->fn(Request{nullptr, v, a1, a2, a3, a4, a5});
  }
  const Row* e = Find(command, kBlock);
  if (e == nullptr) return Fail(block, FFS_EINVAL);
  return e->fn(Request{block, block->volume, a1, a2, a3, a4, a5});
}
