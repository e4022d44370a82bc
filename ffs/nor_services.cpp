// The sector services of the NOR sector manager: node slots, space, commits,
// the cluster cache and allocation of a mounted volume, bound to the sector
// manager's own operations. Node pages are compacted only when no directory
// listing and no current directory could still name a slot that moves.
#include "ffs/file_system.h"
#include "ffs/module_table.h"
#include "ffs/nor/allocate.h"
#include "ffs/nor/commit.h"
#include "ffs/nor/nor.h"
#include "ffs/nor/recycle.h"
#include "ffs/sector_services.h"

namespace {

using nor::CacheEntry;
using nor::EntryState;
using nor::NodeSlot;

nor::Volume* N(VolumeRecord* v) { return v ? v->nor : nullptr; }
CacheEntry* E(void* e) { return static_cast<CacheEntry*>(e); }

int NotMounted(VolumeRecord* v) { return static_cast<int>(Fail(v, FFS_EIO)); }

// Slots may move when no listing is open and no current directory is kept
// on the volume: every other reference is redirected by the compaction.
bool SlotsMayMove(VolumeRecord* v) {
  FileSystem& fs = ffs_of(v);
  if (ffs_current_directory_volume(fs) == v) return false;
  for (int i = 0; i < FFS_FCB_COUNT; ++i) {
    const FileControlBlock* b = ffs_fcb(fs, i);
    if (b->handler != nullptr && b->volume == v && (b->access & FFS_KIND_DIRECTORY)) return false;
  }
  return true;
}

NodeSlot* TakeSlot(VolumeRecord* v) {
  if (N(v) == nullptr) return NotMounted(v), nullptr;
  return nor::TakeSlot(*N(v));
}

void FreeSlot(VolumeRecord* v, NodeSlot* slot) {
  // Freed without compaction: the caller may still hold other slots.
  if (N(v) != nullptr && slot != nullptr) N(v)->FreeNodeSlot(*slot);
}

int CheckSpace(VolumeRecord* v, std::uint32_t extra) {
  if (N(v) == nullptr) return NotMounted(v);
  return nor::FreeClustersForData(*N(v), extra) == 0 ? -1 : 0;
}

std::uint32_t FreeClusters(VolumeRecord* v) {
  return N(v) ? nor::FreeClustersForData(*N(v), 0) : 0;
}

int Sync(VolumeRecord* v, int mode) {
  if (N(v) == nullptr) return NotMounted(v);
  if (SlotsMayMove(v)) nor::CompactNodePages(*N(v));
  return nor::Sync(*N(v), mode);
}

int FlushFile(VolumeRecord* v, NodeSlot*) {
  if (N(v) == nullptr) return NotMounted(v);
  return N(v)->cache->Flush() < 0 ? -1 : 0;
}

void* GetCluster(VolumeRecord* v, std::uint32_t c, bool skipRead, NodeSlot* owner) {
  if (N(v) == nullptr) return NotMounted(v), nullptr;
  return N(v)->cache->Get(c, skipRead, owner);
}

void ReleaseCluster(VolumeRecord* v, void* e) {
  if (N(v) != nullptr) N(v)->cache->Release(E(e), false);
}

void* Cached(VolumeRecord* v, std::uint32_t c) {
  nor::ClusterCache* cache = N(v) ? N(v)->cache.get() : nullptr;
  for (std::uint32_t i = 0; cache && i < cache->size(); ++i)
    if (cache->entry(i).cluster == c) return &cache->entry(i);
  return nullptr;
}

std::uint8_t* EntryData(void* e) { return E(e)->buffer.data(); }
std::uint32_t EntryCluster(void* e) { return E(e)->cluster; }
int EntryState(void* e) { return static_cast<int>(E(e)->state); }

void MarkEntry(VolumeRecord* v, void* e, int state) {
  if (N(v) == nullptr) return;
  if (state == FFS_ENTRY_MODIFIED) N(v)->cache->MarkModified(E(e));
  else if (state == FFS_ENTRY_NEW) N(v)->cache->MarkNew(E(e));
}

int ReadCluster(VolumeRecord* v, std::uint32_t c, std::uint8_t* dst) {
  return N(v) != nullptr && N(v)->ReadDataCluster(c, dst) ? 0 : -1;
}

int Prepare(VolumeRecord* v, NodeSlot* owner) {
  if (N(v) == nullptr) return NotMounted(v);
  return nor::PrepareAllocation(*N(v), 0, owner);
}

int WriteBackHead(VolumeRecord* v) {
  if (N(v) == nullptr) return NotMounted(v);
  return N(v)->cache->WriteBackOldest() ? 0 : -1;
}

void* Allocate(VolumeRecord* v, NodeSlot* owner) {
  if (N(v) == nullptr) return NotMounted(v), nullptr;
  return nor::AllocateCluster(*N(v), owner);
}

void FreeChain(VolumeRecord* v, std::uint32_t first) {
  nor::Volume* n = N(v);
  if (n == nullptr) return;
  // Cached copies of the released clusters must never be written back.
  std::uint32_t c = first;
  for (std::uint32_t steps = 0; c < v->cluster_count && steps < v->cluster_count; ++steps) {
    n->cache->Forget(c);
    const std::uint32_t next = n->clusters[c].link;
    if (next == nor::kChainEnd) break;
    c = next;
  }
  n->ReleaseChain(first);
}

int RecycleIfNeeded(VolumeRecord* v) { return N(v) ? nor::RecycleIfNeeded(*N(v)) : 0; }
int ReadLimitRecycle(VolumeRecord* v) { return N(v) && !nor::ReadCheck(*N(v)) ? -1 : 0; }

const FfsSectorServices kNorServices = {
    TakeSlot,   FreeSlot,       CheckSpace, FreeClusters, Sync,         FlushFile,  nor_unmount,
    GetCluster, ReleaseCluster, Cached,     EntryData,    EntryCluster, EntryState, MarkEntry,
    ReadCluster, Prepare,       WriteBackHead, Allocate,  FreeChain,    RecycleIfNeeded,
    ReadLimitRecycle,
};

}  // namespace

const FfsSectorServices& ffs_nor_sector_services() { return kNorServices; }

const FfsSectorServices& ffs_sector_services(FileSystem& fs) { return *fs.services; }

const FfsSectorServices* ffs_set_sector_services(FileSystem& fs,
                                                 const FfsSectorServices* services) {
  const FfsSectorServices* old = fs.services;
  fs.services = services ? services : &kNorServices;
  return old;
}
