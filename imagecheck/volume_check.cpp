// The volume check: the cluster side first (it finds the chains), then the
// node side, which matches the chains to inode records.
#include "imagecheck/volume_check.h"

#include "ffs/ffs.h"
#include "ffs/file_system.h"
#include "imagecheck/check_internal.h"
#include "imagecheck/checker_text.h"

namespace inspect {

std::vector<std::string> CheckVolume(nor::Volume& v) {
  const int error = v.error;  // the name check and flash reads may set it
  Findings f;
  CheckClusters(v, f);
  CheckNodes(v, f);
  v.error = error;
  return f.violations;
}

std::string ImageCheck::Describe() const {
  std::string out;
  switch (status) {
    case SessionStatus::Mounted:
      for (const std::string& line : violations) out += line + "\n";
      break;
    case SessionStatus::NoMount:
      out = "does not mount: " + ErrorName(mountError) + "\n";
      break;
    case SessionStatus::CannotOpen: out = "cannot be read\n"; break;
    case SessionStatus::Locked: out = "locked by another process\n"; break;
    case SessionStatus::TooSmall: out = "holds fewer than 4 sectors\n"; break;
  }
  return out;
}

ImageCheck CheckImage(const std::string& path, flashimage::FlashTypeCode type) {
  ImageCheck r;
  ImageSession session(path, type);
  r.status = session.Status();
  r.mountError = session.MountError();
  if (nor::Volume* v = session.Volume()) r.violations = CheckVolume(*v);
  return r;
}

}  // namespace inspect
