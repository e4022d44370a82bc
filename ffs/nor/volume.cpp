// Cluster operations of a NOR volume over its flash device. Invariant:
// every program, write and erase lets go of "FFS_SEM" for the device call,
// and every device failure leaves EIO as the error number.
#include "ffs/nor/volume.h"

#include <cstring>

#include "ffs/nor/flash_device.h"
#include "ffs/nor/recycle.h"
#include "ffs/nor/sector_header.h"
#include "ffs/nor/semaphore.h"

namespace nor {

namespace {

// Other volumes may proceed while the flash is busy.
class FlashBusy {
 public:
  explicit FlashBusy(const VolumeRecord* record)
      : sem_(record->layer ? record->layer->sem : nullptr) {
    if (sem_) ffs_sem_release(sem_);
  }
  ~FlashBusy() {
    if (sem_) ffs_sem_wait(sem_);
  }
  FlashBusy(const FlashBusy&) = delete;
  FlashBusy& operator=(const FlashBusy&) = delete;

 private:
  FfsSem sem_;
};

constexpr uint32_t kEraseAttempts = 1u << 20;  // a device that stays busy has failed
constexpr int kDeviceBusy = 1;

}  // namespace

Volume::Volume(VolumeRecord* r, const Geometry& g)
    : record(r), geo(g), error(ffs_error_of(r)), clusters(g.cluster_count), sectors(g.sector_count),
      recycle_queue(r->reserve_count ? r->reserve_count : 1, kNone32), block_(g.block_size) {
  cache = std::make_unique<ClusterCache>(*this, r->cache_size ? r->cache_size
                                                              : ClusterCache::kMaxEntries);
}

// The pool goes first (it is declared after the node table) and clears every
// owner on its way out: no name is released one by one.
Volume::~Volume() = default;

bool Volume::GeometryOf(const VolumeRecord* r, Geometry& out) {
  return Geometry::Derive(r->sector_size, r->block_size, r->sector_count, r->start_offset, out) &&
         out.cluster_size == r->cluster_size && out.cluster_count == r->cluster_count;
}

bool Volume::DeviceFailed(int result, bool minus_one_spares_flag) {
  if (!(minus_one_spares_flag && result == -1)) record->flags |= FFS_VF_IO_ERROR;
  error = FFS_EIO;
  return false;
}

bool Volume::ReadCluster(uint32_t cluster, uint8_t* dst) {
  const uint32_t base = geo.ClusterAddress(cluster);
  for (uint32_t b = 0; b < geo.BlocksPerCluster(); ++b) {
    int rc = record->device->read_block(dst + b * geo.block_size, base + b * geo.block_size);
    if (rc != 0) return DeviceFailed(rc, false);
  }
  return true;
}

bool Volume::WriteCluster(uint32_t cluster, const uint8_t* src) {
  const uint32_t base = geo.ClusterAddress(cluster);
  for (uint32_t b = 0; b < geo.BlocksPerCluster(); ++b) {
    int rc;
    {
      FlashBusy busy(record);
      rc = record->device->write_block(src + b * geo.block_size, base + b * geo.block_size);
    }
    if (rc != 0) return DeviceFailed(rc, true);
  }
  return true;
}

bool Volume::ReadDataCluster(uint32_t cluster, uint8_t* dst) {
  if (!ReadCluster(cluster, dst)) return false;
  sectors[geo.SectorOf(cluster)].read_count += geo.BlocksPerCluster();
  return true;
}

bool Volume::WriteDataCluster(uint32_t cluster, const uint8_t* src) {
  if (clean && !SetCleanMark()) return false;
  return WriteCluster(cluster, src);
}

bool Volume::ReadBytes(uint32_t address, uint8_t* dst, uint32_t count) {
  const uint32_t bs = geo.block_size;
  while (count > 0) {
    const uint32_t block = address - (address - geo.start_offset) % bs;
    int rc = record->device->read_block(block_.data(), block);
    if (rc != 0) return DeviceFailed(rc, false);
    const uint32_t at = address - block;
    const uint32_t n = count < bs - at ? count : bs - at;
    std::memcpy(dst, block_.data() + at, n);
    dst += n;
    address += n;
    count -= n;
  }
  return true;
}

bool Volume::ProgramByte(uint32_t address, uint8_t value) {
  int rc;
  {
    FlashBusy busy(record);
    rc = record->device->program_byte(address, value);
  }
  return rc == 0 || DeviceFailed(rc, true);
}

bool Volume::IsClusterErased(uint32_t cluster, bool& erased) {
  const uint32_t base = geo.ClusterAddress(cluster);
  erased = true;
  for (uint32_t b = 0; b < geo.BlocksPerCluster() && erased; ++b) {
    erased = record->device->block_erased(base + b * geo.block_size) == 1;
  }
  return true;
}

bool Volume::WriteSignature(uint32_t sector, bool valid) {
  const uint32_t at = geo.SectorAddress(sector) + SignatureOffset(geo);
  for (uint32_t i = 0; i < kSignatureSize; ++i) {
    if (!ProgramByte(at + i, valid ? kSignature[i] : kSignatureZeroed)) return false;
  }
  return true;
}

bool Volume::EraseSector(uint32_t sector) {
  SectorEntry& s = sectors[sector];
  s.read_count = 0;
  // A zeroed signature makes an erase cut short visible to the next mount.
  if (!WriteSignature(sector, false)) return false;
  int rc = kDeviceBusy;
  for (uint32_t attempt = 0; attempt < kEraseAttempts && rc == kDeviceBusy; ++attempt) {
    FlashBusy busy(record);
    rc = record->device->erase_sector(geo.SectorAddress(sector));
  }
  if (rc != 0) return DeviceFailed(rc, false);
  ++s.erase_count;
  if (s.erase_count > max_erase) max_erase = s.erase_count;
  if (!WriteSignature(sector, true)) {
    record->flags |= FFS_VF_IO_ERROR;
    return false;
  }
  return true;
}

bool Volume::MarkCheckpointStart(uint32_t cluster) {
  BitmapByte b = CheckpointStartByte(cluster % geo.clusters_per_sector, kErased);
  return ProgramByte(geo.SectorAddress(geo.SectorOf(cluster)) + b.offset, b.value);
}

bool Volume::SetCleanMark() {
  if (checkpoint_last == kNone32) return true;
  if (!ProgramByte(geo.ClusterAddress(checkpoint_last) + geo.cluster_size - 1, kCleanMarkSet)) {
    return false;
  }
  clean = false;
  return true;
}

bool Volume::TooManyUnusable() {
  // Asked before every allocation: the flags are gathered without a branch
  // per sector.
  uint8_t flags = 0;
  const size_t n = sectors.size();
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    flags |= sectors[i].flags | sectors[i + 1].flags | sectors[i + 2].flags | sectors[i + 3].flags;
  }
  for (; i < n; ++i) flags |= sectors[i].flags;
  if (!(flags & kSectorUnusable)) return false;
  record->flags |= FFS_VF_READ_ONLY;
  error = FFS_EIO;
  return true;
}

void Volume::ReleaseChain(uint32_t first) {
  ForgetListWords(*this);  // the caller may have cut the chain before
  if (first >= geo.cluster_count || clusters[first].state != kStateChainStart) return;
  uint32_t c = first;
  for (uint32_t steps = 0; steps < geo.cluster_count && c < geo.cluster_count; ++steps) {
    ClusterEntry& e = clusters[c];
    if (e.state >= kStateUnusable) break;  // not a chain member any more
    const uint32_t next = e.link;
    e.state = kStateDirty;
    e.link = kChainEnd;
    SectorEntry& s = sectors[geo.SectorOf(c)];
    if (s.used > 0) --s.used;
    if (used_clusters > 0) --used_clusters;
    s.flags |= kSectorStale;
    // The walk leaves a sector: it may have become worth recycling.
    if (next == kChainEnd || next >= geo.cluster_count || geo.SectorOf(next) != geo.SectorOf(c)) {
      OfferSector(*this, geo.SectorOf(c));
    }
    if (next == kChainEnd) break;
    c = next;
  }
}

void Volume::SetFreeList(const std::vector<uint16_t>& list) {
  ForgetListWords(*this);
  for (size_t i = 0; i < list.size(); ++i) {
    clusters[list[i]] = ClusterEntry{i + 1 < list.size() ? list[i + 1] : kChainEnd, kStateFree};
  }
  free_count = uint32_t(list.size());
  free_head = list.empty() ? kNone32 : list.front();
  free_tail = list.empty() ? kNone32 : list.back();
}

std::vector<uint16_t> Volume::FreeList() const {
  std::vector<uint16_t> list;
  uint32_t c = free_head;
  while (c < geo.cluster_count && list.size() < geo.cluster_count &&
         clusters[c].state == kStateFree) {
    list.push_back(uint16_t(c));
    c = clusters[c].link;
  }
  return list;
}

void Volume::FreeNodeSlot(NodeSlot& slot) {
  AdjustNodeBytes(-int64_t(SlotBytes(geo, ToRecord(slot))));
  nodes.FreeSlot(slot, names);
}

void Volume::AdjustNodeBytes(int64_t delta) {
  AdjustEstimate(delta);
  if (node_bytes.known) node_bytes.bytes = uint32_t(int64_t(node_bytes.bytes) + delta);
}

void Volume::AdjustEstimate(int64_t delta) {
  const int64_t next = int64_t(estimated_length) + delta;
  estimated_length = next < 0 ? 0 : next > int64_t(UINT32_MAX) ? UINT32_MAX : uint32_t(next);
}

}  // namespace nor
