// The file system's process-wide error number, kept apart from the host's
// errno so that host calls can never overwrite a file-system error.
#include "ffs/ffs.h"

namespace {
int g_error = 0;
}

int ffs_errno() { return g_error; }
void ffs_set_errno(int error) { g_error = error; }
