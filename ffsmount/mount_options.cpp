// Option parsing of ffsmount over the converter's option scanner; the first
// occurrence of an option wins, unknown options are refused.
#include "ffsmount/mount_options.h"

#include <cstdio>

#include "converter/messages.h"
#include "ffsmount/messages.h"

namespace ffsmount {

namespace {

constexpr char kProgramName[] = "ffsmount";
constexpr char kFlashTypeKey[] = "flashtype";
constexpr char kWritableKey[] = "rw";
constexpr char kForegroundKey[] = "f";

bool UsageError(const char* format, const char* argument = "") {
  std::printf("%s", vorel::msg::kErrorPrefix);
  std::printf(format, argument);
  std::printf("%s", msg::kUsage);
  return false;
}

}  // namespace

bool ParseMountSettings(const std::vector<std::string>& args, MountSettings& out) {
  std::vector<std::string> positional;
  const vorel::CommandLineOptions options = vorel::ScanArguments(kProgramName, args, positional);
  for (const auto& [key, value] : options.Entries())
    if (key != kFlashTypeKey && key != kWritableKey && key != kForegroundKey)
      return UsageError(msg::kUnknownOption, key.c_str());
  if (positional.size() != 2) return UsageError(msg::kArgumentCount);
  out.image = positional[0];
  out.mountPoint = positional[1];
  const auto type = options.Value(kFlashTypeKey);
  if (!type) return UsageError("%s\n", vorel::msg::kNoFlashType);
  if (*type == vorel::kFlashTypeOld) out.flashType = vorel::FlashTypeCode::Old;
  else if (*type == vorel::kFlashTypeNew) out.flashType = vorel::FlashTypeCode::New;
  else return UsageError("%s\n", vorel::msg::kBadFlashType);
  out.writable = options.HasKey(kWritableKey);
  out.foreground = options.HasKey(kForegroundKey);
  return true;
}

}  // namespace ffsmount
