// Host tree copies. The file API is not wired in yet: every copy fails.
#include "converter/tree_copy.h"

namespace vorel {

int CopyToMurvexDir(const std::string&, const std::string&, bool&, const std::string&) {
  return kCopyFailed;
}

int CopyFromMurvexDir(const std::string&, const std::string&) { return kCopyFailed; }

bool IsVolumeRootEmpty(const std::string&) { return true; }

}  // namespace vorel
