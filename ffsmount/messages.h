// Every text ffsmount prints, named once. Error lines start with the
// shared "Error: " prefix (hostcli).
#pragma once

namespace ffsmount::msg {

inline constexpr char kUsage[] =
    "usage: ffsmount IMAGE MOUNTPOINT -flashType:MX29LV640B|M29W256G [-rw] [-f]\n"
    "  unmount with: fusermount3 -u MOUNTPOINT\n";
inline constexpr char kUnknownOption[] = "unknown option -%s\n";
inline constexpr char kArgumentCount[] = "an image and a mount point are needed\n";
inline constexpr char kCannotOpen[] = "cannot open image file %s: %s\n";
inline constexpr char kNoMount[] = "the image does not mount (wrong flash type?): file system error %d\n";
inline constexpr char kCannotMount[] = "cannot mount on %s (is /dev/fuse usable?)\n";
inline constexpr char kMounted[] = "ffsmount: %s mounted on %s\n";
inline constexpr char kTimerCommitFailed[] = "Error: commit failed: errno %d\n";
inline constexpr char kFinalCommitFailed[] = "final commit failed: %s\n";

}  // namespace ffsmount::msg
