// File read and write. Reads copy whole clusters straight from the flash into
// the caller's buffer in runs of consecutive clusters of one sector; a block
// holds at most one cache entry between calls. Writes grow the chain one
// cluster at a time and keep the tail invariant: every chain cluster but the
// last is full, and size = CS x (clusters - 1) + tail fill while a tail exists.
#include "ffs/file_data.h"

#include <algorithm>

#include "ffs/semaphore.h"
#include "ffs/volume_table.h"

namespace ffsd {
namespace {

bool IsCluster(const VolumeRecord* v, std::uint32_t c) { return c < v->cluster_count; }
bool HasTail(const NodeSlot* inode) { return inode->tail_cluster != nor::kNoCluster; }
// The tail fill, never beyond a cluster whatever a damaged image recorded.
std::uint32_t TailFill(const NodeSlot* inode, std::uint32_t cs) {
  return HasTail(inode) ? std::min(inode->tail_fill, cs) : 0;
}
std::uint32_t Above(std::uint32_t a, std::uint32_t b) { return a > b ? a - b : 0; }

// The cache entry of the position cluster: the held one, or a new one taken.
void* TakePositionEntry(VolumeRecord* v, FileControlBlock* b, NodeSlot* inode, bool skipRead) {
  const std::uint32_t c = b->position.cluster;
  if (b->held != nullptr && Sm(v).entry_cluster(b->held) == c) return b->held;
  ReleaseHeld(v, b);
  return Sm(v).get_cluster(v, c, skipRead, inode);
}

void MoveToNext(VolumeRecord* v, FileControlBlock* b) {
  b->position.cluster = NextCluster(v, b->position.cluster);
  ++b->position.index;
  b->position.offset = 0;
}

// A run of consecutive clusters of one sector, read straight into the
// caller's buffer when flushed.
class DirectRun {
 public:
  DirectRun(VolumeRecord* v, std::uint8_t* dst) : v_(v), dst_(dst) {}
  void Add(std::uint32_t c) {
    const std::uint32_t p = v_->clusters_per_sector;
    if (length_ > 0 && c == first_ + length_ && c / p == first_ / p) {
      ++length_;
      return;
    }
    Flush();
    first_ = c;
    length_ = 1;
  }
  // Reads the run; answers the bytes of clusters that could not be read.
  std::uint32_t Flush() {
    const std::uint32_t cs = v_->cluster_size;
    std::uint32_t missing = 0;
    for (std::uint32_t i = 0; i < length_; ++i) {
      if (missing == 0) {
        void* e = Sm(v_).cached(v_, first_ + i);
        if (e != nullptr) {
          std::memcpy(dst_, Sm(v_).entry_data(e), cs);
          dst_ += cs;
          continue;
        }
        if (Sm(v_).read_cluster(v_, first_ + i, dst_) == 0) {
          dst_ += cs;
          continue;
        }
      }
      missing += cs;  // a failed read stops the run
    }
    length_ = 0;
    lost_ += missing;
    return missing;
  }
  std::uint8_t* Destination() const { return dst_; }
  void Skip(std::uint32_t bytes) { dst_ += bytes; }
  std::uint32_t Lost() const { return lost_; }

 private:
  VolumeRecord* v_;
  std::uint8_t* dst_;
  std::uint32_t first_ = 0, length_ = 0, lost_ = 0;
};

bool ReadLimitReached(VolumeRecord* v, std::uint32_t c) {
  const nor::Volume* n = v->nor;
  const std::uint32_t s = c / v->clusters_per_sector;
  return n != nullptr && s < n->sectors.size() && n->sectors[s].read_count >= v->read_limit;
}

// Read-limit recycling needs the write semaphore: the read locks are given
// up and all three taken again in the lock order.
int RunReadLimitRecycling(VolumeRecord* v) {
  FfsSem layer = ffs_of(v).volumes.sem;
  ffs_sem_release(v->read_sem);
  ffs_sem_release(layer);
  ffs_sem_wait(v->write_sem);
  ffs_sem_wait(v->read_sem);
  ffs_sem_wait(layer);
  const int r = v->nor != nullptr ? Sm(v).read_limit_recycle(v) : 0;
  ffs_sem_release(v->write_sem);
  return r;
}

}  // namespace

namespace {
int ReadAtPosition(VolumeRecord* v, FileControlBlock* b, NodeSlot* inode, std::uint8_t* out,
                   std::uint32_t n);
}  // namespace

int FileRead(FileControlBlock* b, void* buffer, std::uint32_t n) {
  VolumeRecord* v = b->volume;
  NodeSlot* entry = EntryOf(b);
  if (v == nullptr || entry == nullptr || v->nor == nullptr) return static_cast<int>(Fail(v, FFS_EBADF));
  NodeSlot* inode = entry->inode;
  if (v->flags & FFS_VF_IO_ERROR) return static_cast<int>(Fail(v, FFS_EIO));
  if (!(b->access & FFS_ACC_READ)) return static_cast<int>(Fail(v, FFS_EACCES));
  if (n == 0) return 0;
  Revalidate(v, b, inode);
  const std::uint32_t start = Tell(v, b, inode);
  const int result = ReadAtPosition(v, b, inode, static_cast<std::uint8_t*>(buffer), n);
  if (result > 0) b->position.byte = start + static_cast<std::uint32_t>(result);
  return result;
}

namespace {

int ReadAtPosition(VolumeRecord* v, FileControlBlock* b, NodeSlot* inode, std::uint8_t* out,
                   std::uint32_t n) {
  const std::uint32_t cs = v->cluster_size;
  const std::uint32_t t = TailFill(inode, cs);
  FcbPosition& pos = b->position;
  if (!IsCluster(v, pos.cluster) || (pos.cluster == inode->tail_cluster && pos.offset == t)) return 0;

  std::uint32_t copied = 0;
  bool end = false;
  bool readLimitDue = false;
  DirectRun run(v, out);
  auto atLast = [&] { return pos.cluster == inode->last_cluster; };
  auto toEndOfData = [&] {
    pos.cluster = HasTail(inode) ? inode->tail_cluster : FFS_POS_END;
    pos.offset = t;
    end = true;
  };

  if (pos.offset != 0) {  // partly read cluster
    void* e = TakePositionEntry(v, b, inode, false);
    if (e == nullptr) return -1;
    b->held = e;
    std::uint32_t room = cs - pos.offset;
    if (n <= room) {
      std::uint32_t take = n;
      if (pos.cluster == inode->tail_cluster && pos.offset + n > t) take = Above(t, pos.offset), end = true;
      std::memcpy(out, Sm(v).entry_data(e) + pos.offset, take);
      pos.offset += take;
      copied = take;
      n = 0;
    } else {
      if (atLast() && HasTail(inode)) room = Above(t, pos.offset);
      std::memcpy(out, Sm(v).entry_data(e) + pos.offset, room);
      copied = room;
      n -= room;
      pos.offset = 0;
      if (atLast()) {
        toEndOfData();
        n = 0;
      } else {
        MoveToNext(v, b);
        ReleaseHeld(v, b);
      }
    }
    run.Skip(copied);
  }

  while (n > 0 && IsCluster(v, pos.cluster)) {  // whole clusters
    const std::uint32_t c = pos.cluster;
    if (ReadLimitReached(v, c)) readLimitDue = true;
    if (n <= cs) {
      std::uint32_t take = n;
      if (c == inode->tail_cluster && t < take) take = t, end = true;
      if (take < cs) {
        run.Flush();
        void* e = TakePositionEntry(v, b, inode, false);
        if (e == nullptr) break;
        b->held = e;
        std::memcpy(run.Destination(), Sm(v).entry_data(e), take);
        run.Skip(take);
        pos.offset = take;
      } else {
        run.Add(c);
        if (c == inode->last_cluster) toEndOfData();
        else MoveToNext(v, b);
      }
      copied += take;
      n = 0;
      break;
    }
    run.Add(c);
    if (c == inode->last_cluster) {
      copied += HasTail(inode) ? t : cs;
      toEndOfData();
      if (!HasTail(inode)) pos.offset = 0;
      break;
    }
    MoveToNext(v, b);
    copied += cs;
    n -= cs;
  }
  run.Flush();
  copied -= std::min(copied, run.Lost());
  inode->time2 = ffs_clock();
  if (end) ReleaseHeld(v, b);
  if (readLimitDue && RunReadLimitRecycling(v) != 0) return -1;
  return static_cast<int>(copied);
}

}  // namespace

namespace {

// Writes n bytes at the position (which is a cluster or the end of the data);
// answers the bytes stored.
std::uint32_t WriteAtPosition(VolumeRecord* v, FileControlBlock* b, NodeSlot* inode,
                              const std::uint8_t* src, std::uint32_t n) {
  const std::uint32_t cs = v->cluster_size;
  FcbPosition& pos = b->position;
  std::uint32_t done = 0;

  if (IsCluster(v, pos.cluster)) {  // the rest of an existing cluster first
    const std::uint32_t t = TailFill(inode, cs);
    const std::uint32_t room = cs - pos.offset;
    const std::uint32_t take = std::min(n, room);
    void* e = nullptr;
    bool wasClean = false;
    if (take > 0) {  // a full cluster at its end is left untouched
      e = TakePositionEntry(v, b, inode, n >= cs && pos.offset == 0);
      if (e == nullptr) return 0;
      b->held = e;
      wasClean = Sm(v).entry_state(e) == FFS_ENTRY_CLEAN;
      if (wasClean) Sm(v).mark_entry(v, e, FFS_ENTRY_MODIFIED);
      b->written = true;
      std::memcpy(Sm(v).entry_data(e) + pos.offset, src, take);
    }
    done = take;
    if (n > room) {
      pos.offset = 0;
      if (pos.cluster == inode->last_cluster) {
        if (HasTail(inode)) inode->size += cs - t;
        inode->tail_cluster = nor::kNoCluster;
        inode->tail_fill = 0;
        pos.cluster = FFS_POS_END;
      } else {
        MoveToNext(v, b);
      }
    } else {
      pos.offset += take;
      if (pos.cluster == inode->tail_cluster && pos.offset > t) {
        inode->size += pos.offset - t;
        inode->tail_fill = pos.offset;
      }
    }
    if (e != nullptr && (wasClean || n > room)) {
      ReleaseHeld(v, b);
      if (Sm(v).recycle_if_needed(v) != 0) return done;
    }
  }

  while (done < n) {  // further clusters
    const std::uint32_t left = n - done;
    const bool fresh = pos.cluster == FFS_POS_END;
    void* e;
    if (fresh) {
      ReleaseHeld(v, b);
      if (Sm(v).prepare_allocation(v, inode) != 0) break;
      b->written = true;
      if (Sm(v).write_back_head(v) != 0) break;
      const bool emptyChain = inode->first_cluster == nor::kNoCluster;
      e = Sm(v).allocate_cluster(v, inode);
      if (e == nullptr) break;
      const std::uint32_t c = Sm(v).entry_cluster(e);
      if (!emptyChain) ++pos.index;
      inode->last_cluster = static_cast<std::uint16_t>(c);
      inode->tail_cluster = static_cast<std::uint16_t>(c);
      inode->tail_fill = 0;
      pos.cluster = c;
      pos.offset = 0;
    } else if (IsCluster(v, pos.cluster)) {
      b->written = true;
      e = TakePositionEntry(v, b, inode, left >= cs);
      if (e == nullptr) break;
      if (Sm(v).entry_state(e) == FFS_ENTRY_CLEAN) Sm(v).mark_entry(v, e, FFS_ENTRY_MODIFIED);
    } else {
      break;
    }
    b->held = e;
    const std::uint32_t t = TailFill(inode, cs);
    const std::uint32_t take = std::min(left, cs);
    std::memcpy(Sm(v).entry_data(e), src + done, take);
    done += take;
    if (take == cs) {
      if (pos.cluster == inode->last_cluster) {
        if (pos.cluster == inode->tail_cluster) inode->size += cs - t;
        inode->tail_cluster = nor::kNoCluster;
        inode->tail_fill = 0;
        pos.cluster = FFS_POS_END;
        pos.offset = 0;
      } else {
        MoveToNext(v, b);
      }
      ReleaseHeld(v, b);
    } else {
      pos.offset = take;
      if (pos.cluster == inode->tail_cluster && pos.offset > t) {
        inode->size += pos.offset - t;
        inode->tail_fill = pos.offset;
      }
    }
    if (!fresh && Sm(v).recycle_if_needed(v) != 0) break;
  }
  return done;
}

// Fills the file with zeros up to a position beyond its end.
bool FillUpTo(VolumeRecord* v, FileControlBlock* b, NodeSlot* inode, std::uint32_t target) {
  static const std::uint8_t kZeros[512] = {};
  PositionAtEnd(v, b, inode);
  while (inode->size < target) {
    const std::uint32_t chunk = std::min<std::uint32_t>(target - inode->size, sizeof kZeros);
    const std::uint32_t before = inode->size;
    if (WriteAtPosition(v, b, inode, kZeros, chunk) != chunk) return false;
    b->position.byte = before + chunk;
  }
  return true;
}

}  // namespace

int FileWrite(FileControlBlock* b, const void* buffer, std::uint32_t n) {
  VolumeRecord* v = b->volume;
  NodeSlot* entry = EntryOf(b);
  if (v == nullptr || entry == nullptr || v->nor == nullptr) return static_cast<int>(Fail(v, FFS_EBADF));
  NodeSlot* inode = entry->inode;
  if (ReadOnly(v)) return static_cast<int>(Fail(v, FFS_EROFS));
  if (!(b->access & (FFS_ACC_WRITE | FFS_ACC_APPEND))) return static_cast<int>(Fail(v, FFS_EACCES));
  if (b->access & FFS_ACC_APPEND) {
    ReleaseHeld(v, b);
    PositionAtEnd(v, b, inode);
  } else {
    Revalidate(v, b, inode);
    if (b->position.cluster == FFS_POS_BEYOND && !FillUpTo(v, b, inode, b->position.byte)) return -1;
  }
  const std::uint32_t start = Tell(v, b, inode);
  const std::uint32_t done = WriteAtPosition(v, b, inode, static_cast<const std::uint8_t*>(buffer), n);
  b->position.byte = start + done;
  if (n != 0) MarkChanged(v);
  inode->time1 = inode->time2 = ffs_clock();
  return static_cast<int>(done);
}

}  // namespace ffsd
