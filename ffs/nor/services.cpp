// The sector manager's services to the file layer, one call per volume
// record: node slots, space, sync, the cluster cache and allocation. Every
// call on a volume that is not mounted fails with EIO.
#include <cstring>

#include "ffs/file_control_block.h"
#include "ffs/nor/allocate.h"
#include "ffs/nor/commit.h"
#include "ffs/nor/nor.h"
#include "ffs/nor/recycle.h"

using nor::CacheEntry;
using nor::NodeSlot;
using nor::Volume;

namespace {

Volume* Mounted(VolumeRecord* v) {
  if (v != nullptr && v->nor != nullptr) return v->nor;
  ffs_set_errno(FFS_EIO);
  return nullptr;
}

// A directory listing of the volume is open: node pages must not move.
bool ListingOpen(const VolumeRecord* v) {
  for (int i = 0; i < FFS_FCB_COUNT; ++i) {
    const FileControlBlock* b = ffs_fcb(i);
    if (b && b->handler && b->volume == v && b->access == FFS_KIND_DIRECTORY) return true;
  }
  return false;
}

CacheEntry* Entry(void* e) { return static_cast<CacheEntry*>(e); }

}  // namespace

NodeSlot* nor_take_slot(VolumeRecord* v) {
  Volume* n = Mounted(v);
  return n ? nor::TakeSlot(*n) : nullptr;
}

void nor_free_slot(VolumeRecord* v, NodeSlot* slot) {
  Volume* n = Mounted(v);
  if (n && slot) nor::ReleaseSlot(*n, *slot, ListingOpen(v));
}

int nor_check_space(VolumeRecord* v, std::uint32_t extra_bytes) {
  Volume* n = Mounted(v);
  return n && nor::FreeClustersForData(*n, extra_bytes) > 0 ? 0 : -1;
}

std::uint32_t nor_free_clusters(VolumeRecord* v) {
  Volume* n = Mounted(v);
  return n ? nor::FreeClustersForData(*n, 0) : 0;
}

int nor_sync(VolumeRecord* v, int mode) {
  Volume* n = Mounted(v);
  return n ? nor::Sync(*n, mode) : -1;
}

int nor_flush_file(VolumeRecord* v, NodeSlot* inode) {
  Volume* n = Mounted(v);
  return n ? n->cache->FlushOwner(inode) : -1;
}

void* nor_get_cluster(VolumeRecord* v, std::uint32_t cluster, bool skip_read, NodeSlot* owner) {
  Volume* n = Mounted(v);
  if (!n) return nullptr;
  if (cluster >= n->geo.cluster_count) {
    ffs_set_errno(FFS_EIO);
    return nullptr;
  }
  return n->cache->Get(cluster, skip_read, owner);
}

void nor_release_cluster(VolumeRecord* v, void* entry) {
  if (v && v->nor && entry) v->nor->cache->Release(Entry(entry), false);
}

void* nor_cached(VolumeRecord* v, std::uint32_t cluster) {
  return v && v->nor ? v->nor->cache->Cached(cluster) : nullptr;
}

std::uint8_t* nor_entry_data(void* entry) { return Entry(entry)->buffer.data(); }

std::uint32_t nor_entry_cluster(void* entry) { return Entry(entry)->cluster; }

int nor_entry_state(void* entry) { return int(Entry(entry)->state); }

void nor_mark_entry(VolumeRecord* v, void* entry, int state) {
  if (!v || !v->nor || !entry) return;
  if (state == int(nor::EntryState::New)) v->nor->cache->MarkNew(Entry(entry));
  if (state == int(nor::EntryState::Modified)) v->nor->cache->MarkModified(Entry(entry));
}

int nor_read_cluster(VolumeRecord* v, std::uint32_t cluster, std::uint8_t* dst) {
  Volume* n = Mounted(v);
  if (!n || cluster >= n->geo.cluster_count) return ffs_set_errno(FFS_EIO), -1;
  return n->ReadDataCluster(cluster, dst) ? 0 : -1;
}

int nor_prepare_allocation(VolumeRecord* v, NodeSlot* owner) {
  Volume* n = Mounted(v);
  return n ? nor::PrepareAllocation(*n, 0, owner) : -1;
}

int nor_write_back_head(VolumeRecord* v) {
  Volume* n = Mounted(v);
  return n && n->cache->WriteBackOldest() ? 0 : -1;
}

std::int32_t nor_allocate_cluster(VolumeRecord* v, NodeSlot* owner) {
  Volume* n = Mounted(v);
  if (!n) return -1;
  CacheEntry* e = nor::AllocateCluster(*n, owner);
  if (!e) return -1;
  const std::uint32_t cluster = e->cluster;
  n->cache->Release(e, false);  // stays New; the caller takes it again
  return std::int32_t(cluster);
}

void nor_free_chain(VolumeRecord* v, std::uint32_t first) {
  if (v && v->nor) v->nor->ReleaseChain(first);
}

int nor_recycle_if_needed(VolumeRecord* v) {
  Volume* n = Mounted(v);
  return n ? nor::RecycleIfNeeded(*n) : -1;
}

int nor_read_limit_recycle(VolumeRecord* v) {
  Volume* n = Mounted(v);
  return n && nor::ReadCheck(*n) ? 0 : -1;
}
