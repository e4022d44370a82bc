// The command line of ffsinspect:
//   ffsinspect IMAGE -flashType:MX29LV640B|M29W256G [list|check|sectors|stat]
// Arguments starting with '-' are options, read with the option scanner of
// hostcli/ that vorel uses too (keys case-insensitive, first occurrence
// wins); the others are the image and the command. All output goes to
// standard output.
#pragma once

#include <string>
#include <vector>

namespace inspect {

// Runs ffsinspect on its arguments (program name left out); answers the
// exit code (checker_text.h).
int RunInspect(const std::vector<std::string>& args);

}  // namespace inspect
