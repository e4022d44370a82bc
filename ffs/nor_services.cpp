// The sector services as the NOR sector manager provides them (ffs/nor/nor.h).
#include "ffs/nor/nor.h"
#include "ffs/sector_services.h"

namespace {

const FfsSectorServices kNorServices = {
    nor_take_slot,      nor_free_slot,        nor_check_space,      nor_free_clusters,
    nor_sync,           nor_flush_file,       nor_unmount,          nor_get_cluster,
    nor_release_cluster, nor_cached,          nor_entry_data,       nor_entry_cluster,
    nor_entry_state,    nor_mark_entry,       nor_read_cluster,     nor_prepare_allocation,
    nor_write_back_head, nor_allocate_cluster, nor_free_chain,      nor_recycle_if_needed,
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
