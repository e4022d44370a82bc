// The volume request dispatcher. Commands are being wired in; every code
// without a function answers EINVAL.
#include "ffs/dispatcher.h"

std::intptr_t ffs_dispatch(FileControlBlock*, int command, std::intptr_t, std::intptr_t,
                           std::intptr_t, std::intptr_t, std::intptr_t) {
  if (command == FFS_REQ_UNMOUNT) return 0;
  ffs_set_errno(FFS_EINVAL);
  return -1;
}
