// Format steps. Invariant: the new free list runs through the usable
// sectors by ascending erase count with the sectors of the old checkpoint
// last, and those are erased only after the first new checkpoint exists.
#include "ffs/nor/format.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "ffs/nor/commit.h"
#include "ffs/nor/file_layer.h"
#include "ffs/nor/mount.h"
#include "ffs/nor/sector_header.h"
#include "ffs/nor/volume.h"

namespace nor {

namespace {

constexpr uint16_t kRootMode = 7;

bool NameRoot(Volume& v) {
  NodeSlot* root = v.nodes.Root();
  v.names.Release(&root->name);
  return v.names.StoreString(&root->name, v.record->name, uint32_t(std::strlen(v.record->name))) ||
         Failed(v.record, FFS_ENOSPC);
}

// Node page 0 with the root directory entry and its inode record only.
bool FreshNodes(Volume& v) {
  v.nodes.Clear(v.names);
  NodePage* page = v.nodes.AppendPage();
  if (!page) return Failed(v.record, FFS_ENOSPC);
  NodeSlot& root = page->slots[0];
  NodeSlot& inode = page->slots[1];
  root.kind = SlotKind::Directory;
  root.inode = &inode;
  inode.kind = SlotKind::Inode;
  FileLayer* files = FileLayerOf(v.record);
  const InodeStamp stamp = files ? files->NewInodeStamp() : InodeStamp();
  inode.uid = stamp.uid;
  inode.gid = stamp.gid;
  inode.mode = kRootMode;
  inode.links = 1;
  inode.time1 = inode.time2 = stamp.time;
  page->free_count -= 2;
  v.nodes.free_slots -= 2;
  v.next_serial = 1;
  return NameRoot(v);
}

// True when the sector is erased and signed: every cluster erased but the
// last header cluster, which holds an untouched bitmap and "QM13".
bool CleanAndSigned(Volume& v, uint32_t sector, bool& clean) {
  const Geometry& g = v.geo;
  clean = false;
  // The header first: an unsigned sector (a blank image's) is erased
  // whatever its clusters hold, so they need no blank check.
  std::vector<uint8_t> header(g.cluster_size);
  if (!v.ReadCluster(g.FirstDataCluster(sector) - 1, header.data())) return false;
  const uint32_t bitmap_end = g.BitmapBytes() - (g.header_clusters - 1) * g.cluster_size;
  for (uint32_t i = 0; i < g.BitmapBytes() && i < bitmap_end; ++i) {
    if (header[i] != kErased) return true;
  }
  if (std::memcmp(&header[g.cluster_size - kSignatureSize], kSignature, kSignatureSize) != 0) return true;
  for (uint32_t c = sector * g.clusters_per_sector; c <= g.LastCluster(sector); ++c) {
    if (c == g.FirstDataCluster(sector) - 1) continue;
    bool erased;
    if (!v.IsClusterErased(c, erased)) return false;
    if (!erased) return true;
  }
  clean = true;
  return true;
}

// Erases every sector that is not clean and signed (and, when asked, holds
// no checkpoint); `counted` erases raise the erase counts.
bool BringToErased(Volume& v, bool skip_checkpoint, bool counted) {
  const Geometry& g = v.geo;
  for (uint32_t s = 0; s < g.sector_count; ++s) {
    if (skip_checkpoint && (v.sectors[s].flags & kSectorCheckpoint)) continue;
    bool clean;
    if (!CleanAndSigned(v, s, clean)) return false;
    if (clean) continue;
    if (counted) {
      if (!v.EraseSector(s)) return false;
      continue;
    }
    // A blank image starts with every erase count at 0.
    const uint32_t count = v.sectors[s].erase_count, max = v.max_erase;
    if (!v.EraseSector(s)) return false;
    v.sectors[s].erase_count = count;
    v.max_erase = max;
  }
  return true;
}

std::unique_ptr<Volume> FreshVolume(VolumeRecord* record) {
  Geometry g;
  if (!Volume::GeometryOf(record, g)) return Failed(record, FFS_EINVAL), nullptr;
  std::unique_ptr<Volume> v(new (std::nothrow) Volume(record, g));
  if (!v) return Failed(record, FFS_ENOSPC), nullptr;
  if (!FreshNodes(*v)) return nullptr;
  for (uint32_t c = 0; c < g.cluster_count; ++c) {
    v->clusters[c] = ClusterEntry{kChainEnd, g.IsHeader(c) ? kStateUnusable : kStateFree};
  }
  if (!BringToErased(*v, false, false)) return nullptr;
  return v;
}

bool ReformatInPlace(Volume& v) {
  const Geometry& g = v.geo;
  // The first write below goes into the old checkpoint's area: a mount after
  // a cut must find that checkpoint marked, or it would trust the area.
  if (v.checkpoint_first != kNone32 && v.clean && !v.SetCleanMark()) return false;
  // Open files and listings of the volume are dropped.
  if (FileLayer* files = FileLayerOf(v.record)) files->TreeDropped(*v.record);
  v.cache->Flush();  // pending data is of no interest, but the cache must end clean
  for (uint32_t i = 0; i < v.cache->size(); ++i) v.cache->Forget(v.cache->entry(i).cluster);
  if (!FreshNodes(v)) return false;
  ForgetListWords(v);
  for (uint32_t c = 0; c < g.cluster_count; ++c) {
    if (!g.IsHeader(c) && v.clusters[c].state != kStateFree) {
      v.clusters[c] = ClusterEntry{kChainEnd, kStateDirty};
    }
  }
  for (SectorEntry& s : v.sectors) {
    s.used = 0;
    s.flags = 0;
  }
  v.used_clusters = 0;
  v.checkpoint_first = v.checkpoint_last = kNone32;
  v.checkpoint_clusters = 0;
  v.clean = false;
  if (!Commit(v, 0)) return false;
  return BringToErased(v, true, true);
}

// The free list by ascending erase count (lowest sector first on ties), the
// sectors of the old checkpoint last.
void BuildFreeList(Volume& v) {
  const Geometry& g = v.geo;
  uint32_t first_noted = kNone32, last_noted = kNone32;
  for (uint32_t s = 0; s < g.sector_count; ++s) {
    if (!(v.sectors[s].flags & kSectorCheckpoint)) continue;
    if (first_noted == kNone32) first_noted = s;
    last_noted = s;
  }
  std::vector<uint32_t> order;
  for (uint32_t s = 0; s < g.sector_count; ++s) {
    v.sectors[s].flags &= uint8_t(~kSectorCheckpoint);
    v.sectors[s].used = 0;
    if (v.SectorUsable(s) && s != first_noted && s != last_noted) order.push_back(s);
  }
  std::stable_sort(order.begin(), order.end(), [&v](uint32_t a, uint32_t b) {
    return v.sectors[a].erase_count < v.sectors[b].erase_count;
  });
  if (first_noted != kNone32) order.push_back(first_noted);
  if (last_noted != kNone32 && last_noted != first_noted) order.push_back(last_noted);
  std::vector<uint16_t> list;
  for (uint32_t s : order) {
    for (uint32_t c = g.FirstDataCluster(s); c <= g.LastCluster(s); ++c) list.push_back(uint16_t(c));
  }
  v.SetFreeList(list);
  v.used_clusters = 0;
  v.cursor = kNone32;
  v.checkpoint_first = v.checkpoint_last = kNone32;
  v.checkpoint_clusters = 0;
  std::fill(v.recycle_queue.begin(), v.recycle_queue.end(), kNone32);
  v.noted_first = first_noted;
  v.noted_last = last_noted;
}

}  // namespace

bool FormatVolume(VolumeRecord* record) {
  if (record->flags & FFS_VF_READ_ONLY) return Failed(record, FFS_EROFS);
  const bool was_mounted = record->nor != nullptr;
  std::unique_ptr<Volume> owned;
  Volume* v = record->nor;
  bool mounted = was_mounted;
  if (!was_mounted) {
    owned = Mount(record, kMountNoReclaim);
    mounted = owned != nullptr;
    if (!owned && !(owned = FreshVolume(record))) return false;
    v = owned.get();
  }
  if (mounted && !ReformatInPlace(*v)) return false;
  BuildFreeList(*v);
  if (!NameRoot(*v)) return false;
  v->estimated_length = RecountCheckpointEstimate(*v);
  if (!Commit(*v, 0)) return false;
  if (v->noted_first != kNone32 && !v->EraseSector(v->noted_first)) return false;
  if (v->noted_last != v->noted_first && !v->EraseSector(v->noted_last)) return false;
  // A volume mounted only for formatting is unmounted with a final commit,
  // which records the erase counts of the sectors just erased.
  if (mounted && !was_mounted && Sync(*v, 1) != 0) return false;
  return true;
}

}  // namespace nor
