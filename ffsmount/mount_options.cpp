// Option parsing of ffsmount over the shared option scanner (hostcli); the first
// occurrence of an option wins, unknown options are refused.
#include "ffsmount/mount_options.h"

#include <cstdio>

#include "flashimage/messages.h"
#include "hostcli/messages.h"
#include "ffsmount/messages.h"

namespace ffsmount {

namespace {

constexpr char kProgramName[] = "ffsmount";
constexpr char kFlashTypeKey[] = "flashtype";
constexpr char kWritableKey[] = "rw";
constexpr char kForegroundKey[] = "f";

bool UsageError(const char* format, const char* argument = "") {
  std::printf("%s", hostcli::msg::kErrorPrefix);
  std::printf(format, argument);
  std::printf("%s", msg::kUsage);
  return false;
}

}  // namespace

bool ParseMountSettings(const std::vector<std::string>& args, MountSettings& out) {
  std::vector<std::string> positional;
  const hostcli::CommandLineOptions options = hostcli::ScanArguments(kProgramName, args, positional);
  for (const auto& [key, value] : options.Entries())
    if (key != kFlashTypeKey && key != kWritableKey && key != kForegroundKey)
      return UsageError(msg::kUnknownOption, key.c_str());
  if (positional.size() != 2) return UsageError(msg::kArgumentCount);
  out.image = positional[0];
  out.mountPoint = positional[1];
  const auto type = options.Value(kFlashTypeKey);
  if (!type) return UsageError("%s\n", flashimage::msg::kNoFlashType);
  if (*type == flashimage::kFlashTypeOld) out.flashType = flashimage::FlashTypeCode::Old;
  else if (*type == flashimage::kFlashTypeNew) out.flashType = flashimage::FlashTypeCode::New;
  else return UsageError("%s\n", flashimage::msg::kBadFlashType);
  out.writable = options.HasKey(kWritableKey);
  out.foreground = options.HasKey(kForegroundKey);
  return true;
}

}  // namespace ffsmount
