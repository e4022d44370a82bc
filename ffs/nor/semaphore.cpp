// Default semaphore primitives: create hands out a non-null handle that keeps
// the name, wait succeeds at once, release does nothing, delete frees the handle.
#include "ffs/nor/semaphore.h"

#include <cstring>
#include <string>

namespace {

FfsSem DefaultCreate(const char* name) { return new std::string(name ? name : ""); }
int DefaultWait(FfsSem) { return 0; }
void DefaultRelease(FfsSem) {}
void DefaultRemove(FfsSem sem) { delete static_cast<std::string*>(sem); }

const FfsSemaphoreOps kDefaultOps = {DefaultCreate, DefaultWait, DefaultRelease, DefaultRemove};
const FfsSemaphoreOps* g_ops = &kDefaultOps;

}  // namespace

const FfsSemaphoreOps* ffs_set_semaphore_ops(const FfsSemaphoreOps* ops) {
  const FfsSemaphoreOps* old = g_ops;
  g_ops = ops ? ops : &kDefaultOps;
  return old;
}

FfsSem ffs_sem_create(const char* name) { return g_ops->create(name); }
int ffs_sem_wait(FfsSem sem) { return sem ? g_ops->wait(sem) : -1; }
void ffs_sem_release(FfsSem sem) {
  if (sem) g_ops->release(sem);
}
void ffs_sem_delete(FfsSem sem) {
  if (sem) g_ops->remove(sem);
}
