// The file system object: its initial module table, the default instance of
// the plain ffs_* calls, and the way from a volume or block back to its file
// system. A destroyed instance leaves no volume, block or semaphore behind.
#include "ffs/file_system.h"

#include "ffs/module_table.h"
#include "ffs/sector_services.h"
#include "ffs/semaphore.h"

FileSystem::FileSystem(VolumeLayer& layer)
    : blocks{}, root{}, modules{ffs_core_handler, ffs_nor_module}, volumes(layer),
      services(&ffs_nor_sector_services()) {
  for (FileControlBlock& b : blocks) b.fs = this;
  root.fs = this;
  volumes.files = this;
}

FileSystem::~FileSystem() {
  for (int fd = 0; fd < FFS_FCB_COUNT; ++fd) {
    FileControlBlock* b = &blocks[fd];
    if (b->handler == nullptr) continue;
    if (b->access & FFS_KIND_DIRECTORY) ffs_closedir(*this, b);
    else ffs_close(*this, fd);
  }
  // Removal unlinks the volume even when its final commit fails.
  while (volumes.Started() && volumes.head.all_next != &volumes.head)
    ffs_remove_volume(*this, volumes.head.all_next->name);
  for (FileControlBlock& b : blocks) ffs_sem_delete(b.sem);
  ffs_sem_delete(fsys_sem);
  ffs_sem_delete(volumes.sem);
}

FileSystem& ffs_default() {
  // Lives as long as the process, over the default volume layer.
  static FileSystem* const fs = new FileSystem(nor_default_volume_layer());
  return *fs;
}

FileSystem& ffs_of(const VolumeRecord* volume) {
  // Every volume layer with a file layer belongs to a file system.
  nor::FileLayer* files = nor_layer_of(volume).files;
  return files ? static_cast<FileSystem&>(*files) : ffs_default();
}

FileSystem& ffs_of(const FileControlBlock* block) {
  if (block && block->fs) return *block->fs;
  return ffs_of(block ? block->volume : nullptr);
}

int ffs_errno(FileSystem& fs) { return fs.error(); }
void ffs_set_errno(FileSystem& fs, int error) { fs.set_error(error); }
