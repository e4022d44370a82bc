// Host tree copies. The copies themselves are not wired in yet and fail; the
// emptiness test of the volume root already lists it through the file API.
#include "converter/tree_copy.h"

#include "ffs/ffs.h"

namespace vorel {

int CopyToMurvexDir(const std::string&, const std::string&, bool&, const std::string&) {
  return kCopyFailed;
}

int CopyFromMurvexDir(const std::string&, const std::string&) { return kCopyFailed; }

bool IsVolumeRootEmpty(const std::string& volumeName) {
  FileControlBlock* dir = ffs_opendir(("/" + volumeName).c_str());
  if (dir == nullptr) return true;
  const bool empty = ffs_readdir(dir) == nullptr;
  ffs_closedir(dir);
  return empty;
}

}  // namespace vorel
