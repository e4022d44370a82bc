// Option scanning and validation of vorel. The scanner treats any '-' or '/'
// outside a value as the start of a key, the program path included, so that
// scanning resumes behind each value and never inside one.
#include "converter/command_line.h"

#include <cctype>
#include <climits>
#include <cstdio>

#include "converter/host_fs.h"
#include "converter/messages.h"

namespace vorel {

CommandLineOptions::CommandLineOptions(std::string_view line) {
  std::size_t p = 0;
  while (p < line.size()) {
    const std::size_t dash = line.find_first_of("-/", p);
    if (dash == std::string_view::npos) break;
    const std::size_t keyStart = dash + 1;
    if (keyStart >= line.size()) break;
    const std::size_t sep = line.find_first_of(" :", keyStart);
    if (sep == std::string_view::npos) {
      Insert(std::string(line.substr(keyStart)), std::string());
      break;
    }
    std::string key(line.substr(keyStart, sep - keyStart));
    if (line[sep] == ' ' || sep + 1 == line.size()) {
      Insert(std::move(key), std::string());
      p = sep + 1;
      continue;
    }
    std::size_t valueStart = sep + 1;
    char endMark = ' ';
    if (line[valueStart] == '"') {
      ++valueStart;
      endMark = '"';
    }
    const std::size_t end = line.find(endMark, valueStart);
    if (end == std::string_view::npos) {
      if (!key.empty()) Insert(std::move(key), std::string(line.substr(valueStart)));
      break;
    }
    if (!key.empty()) Insert(std::move(key), std::string(line.substr(valueStart, end - valueStart)));
    p = end + 1;
  }
}

void CommandLineOptions::Insert(std::string key, std::string value) {
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (HasKey(key)) return;
  entries_.emplace_back(std::move(key), std::move(value));
}

bool CommandLineOptions::HasKey(std::string_view key) const {
  for (const auto& e : entries_)
    if (e.first == key) return true;
  return false;
}

std::optional<std::string> CommandLineOptions::Value(std::string_view key) const {
  for (const auto& e : entries_)
    if (e.first == key) return e.second;
  return std::nullopt;
}

CommandLineOptions ScanArguments(const char* program, const std::vector<std::string>& args,
                                 std::vector<std::string>& positional) {
  std::vector<const char*> optionArgv{program};
  for (const std::string& a : args) {
    if (!a.empty() && a[0] == '-') optionArgv.push_back(a.c_str());
    else positional.push_back(a);
  }
  return CommandLineOptions(host::ProcessCommandLine(int(optionArgv.size()), optionArgv.data()));
}

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
