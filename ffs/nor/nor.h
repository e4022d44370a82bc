// The sector manager as the file layer sees it: the volume-control entry of
// the module table, the completion of a freshly registered volume record and
// unmount. The RAM tables of a mounted volume hang from VolumeRecord::nor
// (ffs/nor/volume.h: cluster map, sector table, node table, name pool); the
// operations on them are in allocate.h (clusters, node slots), commit.h
// (commit, sync, space), cluster_cache.h and recycle.h.
#pragma once

#include <cstdint>

#include "ffs/nor/volume_record.h"

// Volume control of the sector manager over one file system's volume layer
// (the module table calls it through ffs_nor_module). Commands: 0 init (creates "FFS_SEM" and the empty volume list), 13 format,
// 14 erase all, 15 mount (result receives the volume record), 16 sync all,
// 17 name check. Answers 0 when the command is not for it, 1 or the volume
// record for success, -1 with the error number set for failure.
std::intptr_t nor_volume_control(VolumeLayer& layer, int command, const char* name, void* result,
                                 int mode, int lock);

// Completes a volume record from its descriptor at registration (the sector
// manager's own fields; the device reference is the volume table's).
int nor_complete_volume(VolumeRecord* volume, const VolumeDescriptor* descriptor);

// The sector manager's side of unmount: with commit set, the cache is
// flushed and a final checkpoint written; the RAM tables are freed in any
// case. 0, or -1 with the error number set when the final commit failed.
int nor_unmount(VolumeRecord* volume, int commit);

