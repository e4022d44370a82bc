// What the file layer asks of the sector manager beyond reading and linking
// the RAM node table: node slots, space checks, commits, and cluster data
// through the cluster cache. One table serves every volume of a file system;
// a host (or a test) may install another.
#pragma once

#include <cstdint>

#include "ffs/ffs.h"
#include "ffs/nor/volume.h"

// A cache entry as the data path sees it: one cluster's buffer and state.
inline constexpr int FFS_ENTRY_CLEAN = 0;
inline constexpr int FFS_ENTRY_NEW = 1;       // allocated, written in place at write-back
inline constexpr int FFS_ENTRY_MODIFIED = 2;  // existing cluster, written copy-on-write

struct FfsSectorServices {
  // Node slots: a reserved free slot (kind Reserved) or null with the error
  // number set; freeing returns a slot (and its name) to its page.
  nor::NodeSlot* (*take_slot)(VolumeRecord* v);
  void (*free_slot)(VolumeRecord* v, nor::NodeSlot* slot);
  // 0 when a checkpoint written now could hold extraBytes more; else -1 with
  // the error number (ENOSPC).
  int (*check_space)(VolumeRecord* v, std::uint32_t extraBytes);
  // Clusters still available for file data (0 when none).
  std::uint32_t (*free_clusters)(VolumeRecord* v);
  // Sync: mode 0 marks a commit pending, mode 1 flushes and commits.
  int (*sync)(VolumeRecord* v, int mode);
  // Writes back what an open file holds in the cache (close, flush).
  int (*flush_file)(VolumeRecord* v, nor::NodeSlot* inode);
  // Frees the RAM tables, committing first when asked.
  int (*unmount)(VolumeRecord* v, int commit);

  // Cluster cache. get: the entry holding the cluster (read unless
  // skipRead), use count raised; null on failure. release: lowers the use
  // count. cached: the entry holding the cluster, if any, without using it.
  void* (*get_cluster)(VolumeRecord* v, std::uint32_t cluster, bool skipRead, nor::NodeSlot* owner);
  void (*release_cluster)(VolumeRecord* v, void* entry);
  void* (*cached)(VolumeRecord* v, std::uint32_t cluster);
  std::uint8_t* (*entry_data)(void* entry);
  std::uint32_t (*entry_cluster)(void* entry);
  int (*entry_state)(void* entry);
  // Marks an entry new or modified (a clean entry turning modified reserves
  // one free cluster for its copy-on-write).
  void (*mark_entry)(VolumeRecord* v, void* entry, int state);
  // Reads a cluster from the flash straight into dst (counts the read).
  int (*read_cluster)(VolumeRecord* v, std::uint32_t cluster, std::uint8_t* dst);

  // Growth by one cluster: prepare (space, recycling), write back the entry
  // at the head of the release list when modified, then allocate the free
  // head onto the owner's chain (never the last free cluster): its cache
  // entry, new and zero-filled, in use once; null on failure.
  int (*prepare_allocation)(VolumeRecord* v, nor::NodeSlot* owner);
  int (*write_back_head)(VolumeRecord* v);
  void* (*allocate_cluster)(VolumeRecord* v, nor::NodeSlot* owner);
  // Every cluster of the chain from first becomes dirty.
  void (*free_chain)(VolumeRecord* v, std::uint32_t first);
  // Recycles sectors when free space runs short; the read-limit recycling.
  int (*recycle_if_needed)(VolumeRecord* v);
  int (*read_limit_recycle)(VolumeRecord* v);
};

// The sector manager's own table.
const FfsSectorServices& ffs_nor_sector_services();
const FfsSectorServices& ffs_sector_services(FileSystem& fs);
// Installs another table (null restores the sector manager's); returns the old.
const FfsSectorServices* ffs_set_sector_services(FileSystem& fs, const FfsSectorServices* services);

// The RAM state of a mounted volume (null when it is not mounted).
inline nor::Volume* ffs_nor(VolumeRecord* v) { return v ? v->nor : nullptr; }

// --- The same calls on the default file system ---
// (Not declared inside the file system's own libraries, whose code always
// names the file system it works on.)
#ifndef FFS_EXPLICIT_FILE_SYSTEM
inline const FfsSectorServices& ffs_sector_services() { return ffs_sector_services(ffs_default()); }
inline const FfsSectorServices* ffs_set_sector_services(const FfsSectorServices* services) {
  return ffs_set_sector_services(ffs_default(), services);
}
#endif  // FFS_EXPLICIT_FILE_SYSTEM
