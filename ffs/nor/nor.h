// The sector manager as the file layer sees it: the volume-control entry of
// the module table, the completion of a freshly registered volume record and
// unmount. The RAM tables of a mounted volume hang from VolumeRecord::nor
// (ffs/nor/volume.h: cluster map, sector table, node table, name pool).
#pragma once

#include <cstdint>

#include "ffs/volume_record.h"

// Volume control of the sector manager, one entry of the module table.
// Commands: 0 init (creates "FFS_SEM" and the empty volume list), 13 format,
// 14 erase all, 15 mount (result receives the volume record), 16 sync all,
// 17 name check. Answers 0 when the command is not for it, 1 or the volume
// record for success, -1 with the error number set for failure.
std::intptr_t nor_volume_control(int command, const char* name, void* result, int mode, int lock);

// Completes a volume record from its descriptor at registration (medium
// callbacks and the sector manager's own fields).
int nor_complete_volume(VolumeRecord* volume, const VolumeDescriptor* descriptor);

// The sector manager's side of unmount: with commit set, the cache is
// flushed and a final checkpoint written; the RAM tables are freed in any
// case. 0, or -1 with the error number set when the final commit failed.
int nor_unmount(VolumeRecord* volume, int commit);

// --- Services to the file layer (ffs/sector_services.h lists them) ---
namespace nor {
struct NodeSlot;
}

// Node slots: a reserved free slot, or null with the error number set.
nor::NodeSlot* nor_take_slot(VolumeRecord* volume);
// Returns a slot and its name; sparse node pages are compacted unless a
// directory listing of the volume is open.
void nor_free_slot(VolumeRecord* volume, nor::NodeSlot* slot);
// 0 when a checkpoint written now could hold extra_bytes more, else -1 (ENOSPC).
int nor_check_space(VolumeRecord* volume, std::uint32_t extra_bytes);
// Clusters still available for file data (0 with ENOSPC when none).
std::uint32_t nor_free_clusters(VolumeRecord* volume);
// Mode 0 marks a commit pending; mode 1 flushes the cache and commits.
int nor_sync(VolumeRecord* volume, int mode);
// Writes back the cache entries of one inode record.
int nor_flush_file(VolumeRecord* volume, nor::NodeSlot* inode);
// Cluster cache: entries are opaque to the file layer. The state values are
// 0 clean, 1 new (written in place), 2 modified (written copy-on-write).
void* nor_get_cluster(VolumeRecord* volume, std::uint32_t cluster, bool skip_read,
                      nor::NodeSlot* owner);
void nor_release_cluster(VolumeRecord* volume, void* entry);
void* nor_cached(VolumeRecord* volume, std::uint32_t cluster);
std::uint8_t* nor_entry_data(void* entry);
std::uint32_t nor_entry_cluster(void* entry);
int nor_entry_state(void* entry);
void nor_mark_entry(VolumeRecord* volume, void* entry, int state);
// Reads a cluster straight from the flash (counts the read).
int nor_read_cluster(VolumeRecord* volume, std::uint32_t cluster, std::uint8_t* dst);
// Growth by one cluster: prepare, write back the oldest released entry,
// then allocate the free head onto the owner's chain (its cache entry is left
// New and released). allocate answers the cluster number or -1.
int nor_prepare_allocation(VolumeRecord* volume, nor::NodeSlot* owner);
int nor_write_back_head(VolumeRecord* volume);
std::int32_t nor_allocate_cluster(VolumeRecord* volume, nor::NodeSlot* owner);
// Every cluster of the chain from `first` becomes dirty.
void nor_free_chain(VolumeRecord* volume, std::uint32_t first);
// Recycling when space is short; recycling of sectors read too often.
int nor_recycle_if_needed(VolumeRecord* volume);
int nor_read_limit_recycle(VolumeRecord* volume);
