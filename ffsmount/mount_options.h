// The command line of ffsmount, in vorel's option style: IMAGE and MOUNTPOINT
// are the arguments that do not start with '-'; -flashType:<type> is needed,
// -rw and -f are flags; option names are not case-sensitive.
#pragma once

#include <string>
#include <vector>

#include "flashimage/flash_types.h"
#include "hostcli/command_line_options.h"

namespace ffsmount {

struct MountSettings {
  std::string image;
  std::string mountPoint;
  flashimage::FlashTypeCode flashType = flashimage::FlashTypeCode::None;
  bool writable = false;
  bool foreground = false;
};

// Fills the settings, or prints the error with the usage and answers false.
bool ParseMountSettings(const std::vector<std::string>& args, MountSettings& out);

}  // namespace ffsmount
