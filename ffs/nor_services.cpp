// The sector services as the NOR sector manager provides them (ffs/nor/nor.h),
// with three file-layer rules on top: a slot is freed without compacting the
// node pages (a command may still hold other slots), compaction runs at a
// sync when no listing and no current directory can name a slot that moves,
// and a released chain's clusters leave the cache so they are never written back.
#include "ffs/file_control_block.h"
#include "ffs/module_table.h"
#include "ffs/nor/allocate.h"
#include "ffs/nor/nor.h"
#include "ffs/sector_services.h"

namespace {

bool SlotsMayMove(VolumeRecord* v) {
  if (ffs_current_directory_volume() == v) return false;
  for (int i = 0; i < FFS_FCB_COUNT; ++i) {
    const FileControlBlock* b = ffs_fcb(i);
    if (b->handler != nullptr && b->volume == v && (b->access & FFS_KIND_DIRECTORY)) return false;
  }
  return true;
}

void FreeSlot(VolumeRecord* v, nor::NodeSlot* slot) {
  if (v != nullptr && v->nor != nullptr && slot != nullptr) v->nor->nodes.FreeSlot(*slot, v->nor->names);
}

int Sync(VolumeRecord* v, int mode) {
  if (v != nullptr && v->nor != nullptr && SlotsMayMove(v)) nor::CompactNodePages(*v->nor);
  return nor_sync(v, mode);
}

void FreeChain(VolumeRecord* v, std::uint32_t first) {
  nor::Volume* n = v != nullptr ? v->nor : nullptr;
  if (n == nullptr) return;
  std::uint32_t c = first;
  for (std::uint32_t steps = 0; c < v->cluster_count && steps < v->cluster_count; ++steps) {
    n->cache->Forget(c);
    const std::uint32_t next = n->clusters[c].link;
    if (next == nor::kChainEnd) break;
    c = next;
  }
  nor_free_chain(v, first);
}

const FfsSectorServices kNorServices = {
    nor_take_slot,       FreeSlot,             nor_check_space,  nor_free_clusters,
    Sync,                nor_flush_file,       nor_unmount,      nor_get_cluster,
    nor_release_cluster, nor_cached,           nor_entry_data,   nor_entry_cluster,
    nor_entry_state,     nor_mark_entry,       nor_read_cluster, nor_prepare_allocation,
    nor_write_back_head, nor_allocate_cluster, FreeChain,        nor_recycle_if_needed,
    nor_read_limit_recycle,
};

const FfsSectorServices* g_services = &kNorServices;

}  // namespace

const FfsSectorServices& ffs_sector_services() { return *g_services; }

const FfsSectorServices* ffs_set_sector_services(const FfsSectorServices* services) {
  const FfsSectorServices* old = g_services;
  g_services = services ? services : &kNorServices;
  return old;
}
