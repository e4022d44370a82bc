// Option validation of vorel over the shared scanner (hostcli/), in the
// fixed order of its checks, with the banner and the help text.
#include "converter/command_line.h"

#include <cctype>
#include <climits>
#include <cstdio>

#include "converter/host_fs.h"
#include "converter/messages.h"

namespace vorel {

std::int32_t ParseVolumeSize(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
  std::int64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) return 0;
  }
  return negative ? 0 : static_cast<std::int32_t>(value);
}

void PrintBanner() {
  std::printf("%s", "\n--------------------VoRel ---");
  std::printf("%s", "build No: ");
  std::printf("%s", msg::kBuildNumber);
  std::printf("%s", "----------\n\n");
}

namespace {

constexpr int kHelpWidth = 58;
constexpr char kHelpHeader[] = "\n-------------------- VoRel Help ------------------------------\n";

void HelpLine(const char* text) { std::printf("%-*s\n", kHelpWidth, text); }
void HelpBlank() { HelpLine(""); }

void FailWithHelp(const char* message) {
  PrintBanner();
  std::printf("%s%s\n", msg::kErrorPrefix, message);
  PrintHelp();
}

}  // namespace

void PrintHelp() {
  std::printf("\n");
  std::printf("VoRel: Murvex Image Converter\n");
  std::printf("\n");
  std::printf("%s", kHelpHeader);
  std::printf("\n");
  HelpLine("Parameter: Transfer Direction   <dir>");
  HelpBlank();
  HelpLine("Arguments: from PC To FFS       <ptf>");
  HelpLine("           from FFS To PC       <ftp>");
  HelpBlank();
  HelpLine("Parameter: Source (path)        <src>");
  HelpLine("           Destination (path)   <dst>");
  HelpLine("           VolumeSize (for ptf) <size>");
  std::printf("           FlashType            <old: MX29LV640B, new: M29W256G>    \n");
  HelpBlank();
  HelpBlank();
  HelpLine("Example:");
  std::printf("  vorel -dir:ptf -src:C:/temp/disk1 -dst:Data.abc -size:4194304 -flashType:MX29LV640B\n");
  std::printf("  vorel -dir:ftp -src:C:Data.abc    -dst:testDisk -flashType:M29W256G\n");
  HelpBlank();
  HelpLine("Absolute and relative paths are supported.");
  std::printf("%s", kHelpHeader);
}

bool CheckRunOptions(std::string_view commandLine, RunSettings& s) {
  if (commandLine.empty()) {
    FailWithHelp(msg::kNoParameter);
    return false;
  }
  const CommandLineOptions options(commandLine);

  const auto dir = options.Value("dir");
  if (!dir) return FailWithHelp(msg::kNoDirection), false;
  if (*dir != kDirectionPtf && *dir != kDirectionFtp) return FailWithHelp(msg::kBadDirection), false;
  s.direction = *dir;
  s.isPtf = *dir == kDirectionPtf;

  const auto flashType = options.Value("flashtype");
  if (!flashType) return FailWithHelp(msg::kNoFlashType), false;
  if (*flashType != kFlashTypeOld && *flashType != kFlashTypeNew) {
    std::printf("%s%s", msg::kErrorPrefix, msg::kBadFlashType);
    return false;
  }
  s.flashType = *flashType;

  const auto src = options.Value("src");
  if (!src) return FailWithHelp(msg::kNoSource), false;
  if (src->empty()) return FailWithHelp(msg::kEmptySource), false;
  s.source = *src;

  const auto dst = options.Value("dst");
  if (!dst) return FailWithHelp(msg::kNoTarget), false;
  if (dst->empty()) return FailWithHelp(msg::kEmptyTarget), false;
  s.destination = *dst;

  s.size = 0;
  if (s.isPtf) {
    const auto size = options.Value("size");
    if (!size) return FailWithHelp(msg::kNoSize), false;
    s.size = ParseVolumeSize(*size);
  }
  return true;
}

bool ParseRunSettings(std::string_view commandLine, RunSettings& s) {
  if (!CheckRunOptions(commandLine, s)) return false;
  const auto temp = host::TempDirectory();
  if (!temp) {
    std::printf("%s%s", msg::kErrorPrefix, msg::kNoTempPath);
    return false;
  }
  if (!host::DeleteIfExists(host::JoinPath(*temp, host::kDiskImageName))) {
    std::printf("%s%s", msg::kErrorPrefix, msg::kCannotDeleteDiskImage);
    return false;
  }
  return true;
}

}  // namespace vorel
