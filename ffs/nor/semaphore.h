// Semaphores of the file system. The program runs on one thread, so the
// default primitives succeed at once; every lock point still calls them, in
// the fixed lock order (control block, "fsys sem", volume write, volume read,
// "FFS_SEM"), so that a threaded host can install real ones.
#pragma once

#include "ffs/nor/volume_record.h"

struct FfsSemaphoreOps {
  FfsSem (*create)(const char* name);  // null on failure
  int (*wait)(FfsSem sem);             // 0 when taken
  void (*release)(FfsSem sem);
  void (*remove)(FfsSem sem);
};

// Installs other primitives (null restores the defaults); returns the old ones.
const FfsSemaphoreOps* ffs_set_semaphore_ops(const FfsSemaphoreOps* ops);

FfsSem ffs_sem_create(const char* name);
int ffs_sem_wait(FfsSem sem);
void ffs_sem_release(FfsSem sem);
void ffs_sem_delete(FfsSem sem);
