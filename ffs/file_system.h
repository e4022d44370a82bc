// FileSystem: one flash file system, everything it keeps between calls (the
// 10 control blocks and the root block, the module table, "fsys sem", owner
// and group, the current directory, the volume layer with the error number,
// the mounted list, the sector services). Instances share nothing: control
// blocks and volume records lead back to their own file system, never to a
// "current" one. The plain ffs_* calls work on the default instance. It is
// the file layer the sector manager tells of moved slots and clusters.
#pragma once

#include <cstdint>

#include "ffs/ffs.h"
#include "ffs/file_control_block.h"
#include "ffs/nor/file_layer.h"

struct FfsSectorServices;

class FileSystem : public nor::FileLayer {
  VolumeLayer own_volumes_{};  // the instance's volume layer (the default instance's is unused)

 public:
  FileSystem() : FileSystem(own_volumes_) {}
  // Removes every volume still registered (each unmount commits).
  ~FileSystem();
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;

  int error() const { return volumes.error; }
  void set_error(int error) { volumes.error = error; }

  // Control blocks: descriptors are indices into blocks.
  FileControlBlock blocks[FFS_FCB_COUNT];
  FileControlBlock root;
  int high_mark = 0;  // highest descriptor used plus one (only grows)

  // The module table, in calling order, ended by a null entry.
  FsModuleHandler modules[FFS_MODULE_TABLE_MAX];
  FfsSem fsys_sem = nullptr;  // "fsys sem"
  std::uint16_t uid = 0;      // owner and group stamped on new inode records
  std::uint16_t gid = 0;
  VolumeRecord* cwd_volume = nullptr;  // the current directory, or null
  void* cwd_entry = nullptr;

  // All volumes, "FFS_SEM", the error number: the instance's own, or for the
  // default instance the default volume layer (that of records registered
  // nowhere).
  VolumeLayer& volumes;
  VolumeRecord* mounted_head = nullptr;  // mounted list, null ends
  VolumeRecord* mounted_tail = nullptr;
  const FfsSectorServices* services;  // the sector manager's, or a test's
  // What a host module keeps for this file system (the converter's device
  // registration module: the device it registers).
  void* host_data = nullptr;

  // What the sector manager tells (file_table.cpp): control blocks follow
  // moved slots and clusters; format in place drops the volume's blocks.
  void SlotMoved(const VolumeRecord& volume, const nor::NodeSlot* from, nor::NodeSlot* to) override;
  void ClusterMoved(const VolumeRecord& volume, std::uint32_t from, std::uint32_t to) override;
  void TreeDropped(VolumeRecord& volume) override;
  nor::InodeStamp NewInodeStamp() override;

 private:
  friend FileSystem& ffs_default();
  explicit FileSystem(VolumeLayer& layer);
};

// The instance behind the plain ffs_* calls; never destroyed.
FileSystem& ffs_default();

// The file system a volume or a control block belongs to (the default one
// for a record or block made outside any file system).
FileSystem& ffs_of(const VolumeRecord* volume);
FileSystem& ffs_of(const FileControlBlock* block);

// Sets the error number of a file system and answers -1: the one failure
// helper of the file layer.
inline std::intptr_t Fail(FileSystem& fs, int error) {
  fs.set_error(error);
  return -1;
}
inline std::intptr_t Fail(const VolumeRecord* volume, int error) {
  ffs_error_of(volume) = error;
  return -1;
}
inline std::intptr_t Fail(const FileControlBlock* block, int error) {
  return Fail(ffs_of(block), error);
}
