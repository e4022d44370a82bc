// Option handling and dispatch of ffsinspect. The image is opened only once
// the command line is known to be good; each command runs on the mounted,
// privately mapped image.
#include "imagecheck/checker_cli.h"

#include <cstdio>

#include "flashimage/flash_types.h"
#include "flashimage/messages.h"
#include "hostcli/command_line_options.h"
#include "hostcli/messages.h"
#include "imagecheck/image_session.h"
#include "imagecheck/checker_text.h"
#include "imagecheck/reports.h"
#include "imagecheck/volume_check.h"

namespace inspect {

namespace {

constexpr char kProgramName[] = "ffsinspect";
constexpr char kFlashTypeKey[] = "flashtype";

enum class Command { List, Check, Sectors, Stat };

struct Invocation {
  std::string image;
  Command command = Command::List;
  std::string flashType;
};

int UsageError(const std::string& line) {
  std::printf("%s%s%s", hostcli::msg::kErrorPrefix, line.c_str(), msg::kUsage);
  return kExitUsage;
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

bool ParseCommand(const std::string& word, Command& out) {
  if (word == "list") out = Command::List;
  else if (word == "check") out = Command::Check;
  else if (word == "sectors") out = Command::Sectors;
  else if (word == "stat") out = Command::Stat;
  else return false;
  return true;
}

// Fills the invocation or prints the error and answers false.
bool Parse(const std::vector<std::string>& args, Invocation& inv, int& code) {
  std::vector<std::string> positional;
  const hostcli::CommandLineOptions options = hostcli::ScanArguments(kProgramName, args, positional);
  for (const auto& entry : options.Entries()) {
    if (entry.first != kFlashTypeKey) {
      code = UsageError(Format(msg::kUnknownOption, entry.first.c_str()));
      return false;
    }
  }
  if (positional.empty()) return code = UsageError(msg::kNoImage), false;
  if (positional.size() > 2) return code = UsageError(msg::kTooManyArguments), false;
  inv.image = positional[0];
  if (positional.size() == 2 && !ParseCommand(positional[1], inv.command)) {
    code = UsageError(Format(msg::kUnknownCommand, positional[1].c_str()));
    return false;
  }
  const auto type = options.Value(kFlashTypeKey);
  if (!type) return code = UsageError(std::string(flashimage::msg::kNoFlashType) + "\n"), false;
  if (*type != flashimage::kFlashTypeOld && *type != flashimage::kFlashTypeNew)
    return code = UsageError(std::string(flashimage::msg::kBadFlashType) + "\n"), false;
  inv.flashType = *type;
  return true;
}

// Prints why the session has no mounted volume; answers the exit code.
int SessionError(const ImageSession& s, std::uint32_t sectorSize) {
  const char* path = s.Path().c_str();
  switch (s.Status()) {
    case SessionStatus::CannotOpen:
      std::printf("%s%s", hostcli::msg::kErrorPrefix, Format(msg::kCannotOpen, path).c_str());
      return kExitUsage;
    case SessionStatus::Locked:
      std::printf("%s%s", hostcli::msg::kErrorPrefix, Format(flashimage::msg::kImageLockedText, path).c_str());
      return kExitUsage;
    case SessionStatus::TooSmall:
      std::printf("%s%s", hostcli::msg::kErrorPrefix,
                  Format(msg::kTooSmall, path, s.SectorCount(), sectorSize).c_str());
      return kExitNoMount;
    case SessionStatus::NoMount:
    case SessionStatus::Mounted:
      break;
  }
  std::printf("%s%s", hostcli::msg::kErrorPrefix,
              Format(msg::kNoMount, ErrorName(s.MountError()).c_str()).c_str());
  return kExitNoMount;
}

int RunCheck(ImageSession& session) {
  const std::vector<std::string> violations = CheckVolume(*session.Volume());
  for (const std::string& line : violations) std::printf("%s\n", line.c_str());
  if (violations.empty()) {
    std::printf("%s", msg::kCheckPassed);
    return kExitOk;
  }
  std::printf(msg::kCheckFailed, violations.size());
  return kExitViolations;
}

}  // namespace

int RunInspect(const std::vector<std::string>& args) {
  Invocation inv;
  int code = kExitOk;
  if (!Parse(args, inv, code)) return code;
  ImageSession session(inv.image, flashimage::FlashTypeOfName(inv.flashType));
  if (session.Status() != SessionStatus::Mounted) return SessionError(session, session.SectorSize());
  switch (inv.command) {
    case Command::List: PrintList(session); break;
    case Command::Stat: PrintStat(session, inv.flashType.c_str()); break;
    case Command::Sectors: PrintSectors(session); break;
    case Command::Check: return RunCheck(session);
  }
  return kExitOk;
}

}  // namespace inspect
