// Mount steps: allocate, scan signatures, find the newest checkpoint, load
// it, walk its chain, recover. Any failure frees everything it built; the
// flash is only changed to re-erase a single unsigned sector or to repair.
#include "ffs/nor/mount.h"

#include <cstring>
#include <new>
#include <vector>

#include "ffs/nor/commit.h"
#include "ffs/nor/recovery.h"
#include "ffs/nor/recycle.h"
#include "ffs/nor/sector_header.h"

namespace nor {

namespace {

bool SignatureOk(Volume& v, uint32_t sector, bool& ok) {
  uint8_t sig[kSignatureSize];
  if (!v.ReadBytes(v.geo.SectorAddress(sector) + SignatureOffset(v.geo), sig, kSignatureSize)) {
    return false;
  }
  ok = SignatureVersion(sig).has_value();
  return true;
}

bool SetRootName(Volume& v) {
  NodeSlot* root = v.nodes.Root();
  if (!root) return Failed(v.record, FFS_EINVAL);
  v.names.Release(&root->name);
  if (!v.names.StoreString(&root->name, v.record->name, uint32_t(std::strlen(v.record->name)))) {
    return Failed(v.record, FFS_ENOMEM);
  }
  return true;
}

}  // namespace

bool ScanSignatures(Volume& v, std::optional<uint32_t>& unsigned_sector) {
  unsigned_sector.reset();
  for (uint32_t s = 0; s < v.geo.sector_count; ++s) {
    v.sectors[s].erase_count = 0;
    v.sectors[s].flags &= uint8_t(~kSectorCheckpoint);
    bool ok = false;
    if (!SignatureOk(v, s, ok)) return false;
    if (ok) continue;
    if (unsigned_sector) return Failed(v.record, s == 1 ? FFS_EINVAL : FFS_ENXIO);
    unsigned_sector = s;
  }
  return true;
}

std::optional<uint32_t> FindNewestCheckpoint(Volume& v) {
  const Geometry& g = v.geo;
  std::vector<uint8_t> cluster(g.cluster_size);
  std::optional<uint32_t> best;
  uint32_t best_sequence = 0;
  for (uint32_t s = 0; s < g.sector_count; ++s) {
    if (!v.SectorUsable(s)) continue;
    std::optional<uint32_t> start;
    for (uint32_t h = g.header_clusters; h-- > 0 && !start;) {
      if (!v.ReadCluster(s * g.clusters_per_sector + h, cluster.data())) return std::nullopt;
      start = NewestStartInHeaderCluster(g, cluster.data(), h);
    }
    if (!start) continue;
    const uint32_t first = s * g.clusters_per_sector + *start;
    if (!v.ReadCluster(first, cluster.data())) return std::nullopt;
    const uint32_t sequence = LoadU32(cluster.data() + kSequenceOffset);
    if (!best || int32_t(sequence - best_sequence) > 0) {
      best = first;
      best_sequence = sequence;
    }
  }
  return best;
}

bool WalkCheckpointChain(Volume& v, uint32_t first) {
  const Geometry& g = v.geo;
  if (v.clusters[first].state != kStateChainStart) return Failed(v.record, FFS_EINVAL);
  uint32_t c = first;
  uint32_t count = 0;
  for (;;) {
    if (c >= g.cluster_count || ++count > g.cluster_count) return Failed(v.record, FFS_EINVAL);
    v.sectors[g.SectorOf(c)].flags |= kSectorCheckpoint;
    const uint32_t next = v.clusters[c].link;
    if (next == kChainEnd) break;
    c = next;
  }
  v.checkpoint_first = first;
  v.checkpoint_last = c;
  v.checkpoint_clusters = count;
  return true;
}

std::unique_ptr<Volume> Mount(VolumeRecord* record, int mode) {
  Geometry g;
  if (!Volume::GeometryOf(record, g)) return Failed(record, FFS_EINVAL), nullptr;
  std::unique_ptr<Volume> v(new (std::nothrow) Volume(record, g));
  if (!v) return Failed(record, FFS_ENOSPC), nullptr;
  record->flags &= ~(FFS_VF_IO_ERROR | FFS_VF_COMMIT_PENDING | FFS_VF_UNMOUNTING);
  v->error = 0;

  std::optional<uint32_t> unsigned_sector;
  if (!ScanSignatures(*v, unsigned_sector)) return nullptr;
  if (unsigned_sector && !v->EraseSector(*unsigned_sector)) return nullptr;

  std::optional<uint32_t> first = FindNewestCheckpoint(*v);
  if (!first) {
    if (v->error != FFS_EIO) v->error = FFS_EINVAL;
    return nullptr;
  }
  if (!LoadCheckpoint(*v, *first)) return nullptr;
  if (unsigned_sector) {
    // The checkpoint's erase counts predate that erase: count it again.
    SectorEntry& s = v->sectors[*unsigned_sector];
    if (++s.erase_count > v->max_erase) v->max_erase = s.erase_count;
  }
  if (!WalkCheckpointChain(*v, *first)) return nullptr;

  RecoveryResult recovery;
  if (!Recover(*v, mode, recovery)) return nullptr;
  if (mode == kMountReclaim && v->Writable()) {
    if (RecyclingNeeded(*v)) {
      if (!RecycleAtMount(*v, recovery)) return nullptr;
    } else if (recovery.repaired && Sync(*v, 1) != 0 && v->error != FFS_ENOSPC) {
      return nullptr;  // what recovery repaired is committed at once; a full
                       // volume stays mountable with the repair in RAM
    }
    if (!ReadCheck(*v)) return nullptr;
  }
  if (!SetRootName(*v)) return nullptr;
  record->flags |= FFS_VF_COMMITTED;
  record->flags &= ~FFS_VF_CHANGED;
  return v;
}

}  // namespace nor
