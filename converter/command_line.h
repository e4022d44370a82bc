// The command line of vorel: the validation that turns the options of the
// shared scanner into run settings. The first occurrence of an option wins;
// keys are compared lower-cased.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "flashimage/flash_types.h"
#include "hostcli/command_line_options.h"

namespace vorel {

using hostcli::CommandLineOptions;
using hostcli::ScanArguments;
using flashimage::FlashTypeCode;
using flashimage::kFlashTypeNew;
using flashimage::kFlashTypeOld;

inline constexpr char kDirectionPtf[] = "ptf";
inline constexpr char kDirectionFtp[] = "ftp";

struct RunSettings {
  std::string direction;
  std::string source;
  std::string destination;
  std::int32_t size = 0;
  std::string flashType;
  bool isPtf = false;

  FlashTypeCode FlashCode() const { return flashimage::FlashTypeOfName(flashType); }
};

// Reads a "-size:" value: leading white space, optional sign, decimal digits
// up to the first other character. Text that is not a number, a negative
// number or one beyond 32 bits is bad input and gives 0.
std::int32_t ParseVolumeSize(std::string_view text);

// Checks the options in their fixed order, printing the messages of the first
// failure. Touches no file.
bool CheckRunOptions(std::string_view commandLine, RunSettings& settings);

// CheckRunOptions, then the temp-directory step (deleting "Disk2.dat").
bool ParseRunSettings(std::string_view commandLine, RunSettings& settings);

void PrintBanner();
void PrintHelp();

}  // namespace vorel
