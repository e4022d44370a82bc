// The run of ffsmount. The image is opened before the mount is made, so that
// every failure to open it is told on the terminal, before detaching.
#include "ffsmount/mount_run.h"

#include <cstdio>
#include <cstring>

#include "flashimage/messages.h"
#include "hostcli/messages.h"
#include "ffsmount/fuse_bridge.h"
#include "ffsmount/image_fs.h"
#include "ffsmount/messages.h"
#include "ffsmount/mount_options.h"
#include "ffsmount/operations.h"

namespace ffsmount {

namespace {

int ImageError(ImageFs& fs, OpenStatus status, const std::string& path) {
  std::printf("%s", hostcli::msg::kErrorPrefix);
  switch (status) {
    case OpenStatus::Locked: std::printf(flashimage::msg::kImageLockedText, path.c_str()); break;
    case OpenStatus::CannotOpen:
      std::printf(msg::kCannotOpen, path.c_str(), std::strerror(fs.HostError() ? fs.HostError() : EINVAL));
      break;
    default: std::printf(msg::kNoMount, fs.MountError()); break;
  }
  return kExitImage;
}

}  // namespace

int RunFfsmount(const std::vector<std::string>& args) {
  MountSettings s;
  if (!ParseMountSettings(args, s)) return kExitUsage;
  ImageFs fs;
  const OpenStatus status = fs.Open(s.image, s.flashType, s.writable);
  if (status != OpenStatus::Mounted) return ImageError(fs, status, s.image);
  Operations ops(fs);
  if (ServeMount(ops, s.mountPoint, s.image, s.writable, s.foreground) != 0) {
    std::printf("%s", hostcli::msg::kErrorPrefix);
    std::printf(msg::kCannotMount, s.mountPoint.c_str());
    ops.Shutdown();
    return kExitFailure;
  }
  if (const int rc = ops.Shutdown(); rc != 0) {
    std::printf("%s", hostcli::msg::kErrorPrefix);
    std::printf(msg::kFinalCommitFailed, std::strerror(-rc));
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace ffsmount
