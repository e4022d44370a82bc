// Every text ffsinspect prints, named once, and the names of the file
// system's error numbers. Error lines start with the shared "Error: " prefix.
#pragma once

#include <string>

namespace inspect {

// Exit codes of ffsinspect.
inline constexpr int kExitOk = 0;
inline constexpr int kExitViolations = 1;  // check: at least one invariant broken
inline constexpr int kExitNoMount = 2;     // the image does not mount
inline constexpr int kExitUsage = 3;       // bad command line, or the file cannot be read

namespace msg {
inline constexpr char kUsage[] =
    "Usage: ffsinspect IMAGE -flashType:MX29LV640B|M29W256G [list|check|sectors|stat]\n";
inline constexpr char kNoImage[] = "no image file given\n";
inline constexpr char kUnknownOption[] = "unknown option -%s\n";
inline constexpr char kUnknownCommand[] = "unknown command %s (list, check, sectors or stat)\n";
inline constexpr char kTooManyArguments[] = "more than one image and one command given\n";
inline constexpr char kCannotOpen[] = "cannot read image file %s\n";
inline constexpr char kTooSmall[] = "image %s holds %u sectors of %u bytes; a volume needs at least 4\n";
inline constexpr char kNoMount[] = "the image does not mount: %s\n";
inline constexpr char kCheckPassed[] = "check: every invariant holds\n";
inline constexpr char kCheckFailed[] = "check: %zu violation(s)\n";
}  // namespace msg

// "EINVAL (22)" for a known number, "error 42" otherwise, "no error number" for 0.
std::string ErrorName(int error);

}  // namespace inspect
