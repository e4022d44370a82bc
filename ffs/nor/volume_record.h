// Records shared by the volume table, the file layer and the sector manager:
// the registration descriptor (with the volume's device), the per-volume
// record with its flag word, the volume layer (all volumes, "FFS_SEM", the
// error number) and the module commands the sector manager's volume control
// answers. Every field keeps its documented meaning; the sector manager
// appends its own state at the end of VolumeRecord.
#pragma once

#include <cstdint>
#include <cstring>

#include "ffs/nor/errors.h"

struct FileControlBlock;  // the file layer's control block, opaque here
struct VolumeRecord;
struct VolumeLayer;
namespace nor {
class FlashDevice;  // ffs/nor/flash_device.h
class FileLayer;    // ffs/nor/file_layer.h
class Volume;
}

// The file system's semaphores are opaque handles (see ffs/nor/semaphore.h).
using FfsSem = void*;

// Input of volume registration (ffs_add_volume).
struct VolumeDescriptor {
  const char* name;
  std::uint32_t version;        // must be 4; bit 1 of the low byte: lower read limit
  std::uint32_t sector_size;    // a multiple of the block size
  std::uint32_t block_size;     // device transfer unit, 512
  std::uint32_t sector_count;   // at least 4
  std::uint32_t start_offset;   // flash address of the first sector
  std::uint32_t erase_hook_arg; // used with option 0x10
  std::uint32_t cache_size;     // used with option 0x20
  nor::FlashDevice* device;     // the flash; the volume keeps this reference
  std::uint32_t options;        // no bit above 0xFFF
};

// The per-volume request handler (the dispatcher): a control block or none, a
// command code and up to five arguments; -1 with the error number on failure.
using RequestHandler = std::intptr_t (*)(FileControlBlock* block, int command, std::intptr_t a1,
                                         std::intptr_t a2, std::intptr_t a3, std::intptr_t a4,
                                         std::intptr_t a5);

// --- Module table commands (module handlers and the sector manager's volume control) ---
inline constexpr int FFS_MOD_INIT = 0;
inline constexpr int FFS_MOD_START = 2;
inline constexpr int FFS_MOD_FORMAT = 13;
inline constexpr int FFS_MOD_ERASE_ALL = 14;
inline constexpr int FFS_MOD_MOUNT = 15;
inline constexpr int FFS_MOD_SYNC_ALL = 16;
inline constexpr int FFS_MOD_NAME_CHECK = 17;

// --- Volume flag word bits ---
inline constexpr std::uint32_t FFS_VF_IO_ERROR = 0x1;
inline constexpr std::uint32_t FFS_VF_READ_ONLY = 0x2;
inline constexpr std::uint32_t FFS_VF_LOW_READ_LIMIT = 0x8;
inline constexpr std::uint32_t FFS_VF_BUSY = 0x20;
inline constexpr std::uint32_t FFS_VF_COMMIT_ON_CLOSE = 0x80;
inline constexpr std::uint32_t FFS_VF_CHANGED = 0x100;
inline constexpr std::uint32_t FFS_VF_COMMIT_PENDING = 0x200;
inline constexpr std::uint32_t FFS_VF_UNMOUNTING = 0x400;
// Committed: nothing changed since the last checkpoint. Every change the
// next checkpoint records clears it; only a commit whose start bit is
// written sets it again, so sync, unmount and sync-all commit exactly when
// it is clear.
inline constexpr std::uint32_t FFS_VF_COMMITTED = 0x1000;
inline constexpr std::uint32_t FFS_VF_HOLD_ALLOWED = 0x2000;
inline constexpr std::uint32_t FFS_VF_OPTION_400 = 0x8000;

// Longest volume name kept in a record (63 characters and the NUL).
inline constexpr std::uint32_t kVolumeNameCapacity = 64;

struct VolumeRecord {
  // All-volumes list: circular with a sentinel head.
  VolumeRecord* all_next;
  VolumeRecord* all_prev;
  // Mounted list: double list with null ends. With the handler, the self
  // reference and the name these form the mount entry.
  VolumeRecord* mount_next;
  VolumeRecord* mount_prev;
  RequestHandler handler;
  VolumeRecord* self;
  char name[kVolumeNameCapacity];
  // The volume layer (and so the file system) the volume is registered with;
  // failures on the volume leave their error number there.
  VolumeLayer* layer;

  // Geometry computed at registration.
  std::uint32_t cluster_size;
  std::uint32_t blocks_per_cluster;
  std::uint32_t cluster_count;
  std::uint32_t sector_count;
  std::uint32_t reserve_count;
  std::uint32_t sector_size;
  std::uint32_t block_size;
  std::uint32_t clusters_per_sector;
  std::uint32_t start_offset;
  nor::FlashDevice* device;  // every flash access of the volume goes here

  FfsSem write_sem;
  FfsSem read_sem;

  std::uint32_t margin_factor;        // ceil(4 / clusters per sector)
  std::uint32_t volume_index;         // volumes registered before this one
  std::uint32_t inode_size_estimate;  // 36, or 37 from 65536-byte clusters on
  std::uint32_t erase_hook_arg;
  std::uint32_t cache_size;           // cache entries, also the open-file limit
  std::uint32_t open_files;
  std::uint32_t read_limit;           // 1000000, or 100000
  std::uint32_t ref_count;            // 1, plus one per open file
  std::uint32_t flags;                // FFS_VF_* bits
  std::uint8_t version;               // low byte of the descriptor's version
  std::uint32_t hold_count;           // commit holds of the file layer

  // The sector manager's own state follows (RAM tables, counters).
  nor::Volume* nor;  // the mounted volume's RAM state; null while not mounted
};

// The volume layer of one file system: the all-volumes list and its semaphore
// "FFS_SEM", set up by the sector manager's volume control (module command 0),
// and the file system's error number, which every layer below the file API
// sets through the volume it works on.
struct VolumeLayer {
  FfsSem sem;          // "FFS_SEM"; null until the layer is started
  VolumeRecord head;   // sentinel of the circular all-volumes list
  std::uint32_t volume_count;
  std::uint32_t semaphore_counter;  // numbers the per-volume semaphores, 0..999
  int error;           // the file system's error number (ffs_errno)
  nor::FileLayer* files;  // the file layer above, told of moves (null: none)

  bool Started() const { return head.all_next != nullptr; }
  // A registered volume of exactly this name; null when there is none.
  VolumeRecord* Find(const char* name);
};

// The volume layer a record is registered with; a record registered nowhere
// (made by hand, as tests do) belongs to the default volume layer, which is
// the default file system's.
VolumeLayer& nor_layer_of(const VolumeRecord* volume);
VolumeLayer& nor_default_volume_layer();
// Where failures on a volume leave their error number: its volume layer.
inline int& ffs_error_of(const VolumeRecord* volume) { return nor_layer_of(volume).error; }

inline VolumeRecord* VolumeLayer::Find(const char* name) {
  if (name == nullptr || !Started()) return nullptr;
  for (VolumeRecord* v = head.all_next; v != &head; v = v->all_next)
    if (std::strcmp(v->name, name) == 0) return v;
  return nullptr;
}
