// Both directions of a vorel run. Every check prints its message and ends the
// run with exit code -1; the FlashVolumes object is closed on every path, and
// after a copy before the final message, so that a failed final commit fails the run.
#include "converter/run_flow.h"

#include <cstdio>
#include <optional>
#include <string>

#include "converter/command_line.h"
#include "converter/flash_volumes.h"
#include "converter/fs_error_text.h"
#include "converter/host_fs.h"
#include "converter/messages.h"
#include "converter/tree_copy.h"

namespace vorel {

namespace {

int Fail(const char* message) {
  std::printf("%s%s", msg::kErrorPrefix, message);
  return kExitFailure;
}

// Absolute paths of a run, filled by the direction-specific part.
struct Paths {
  std::string source;
  std::string destination;
};

std::optional<Paths> PreparePtf(const RunSettings& s, FlashVolumes& volumes) {
  Paths p;
  const auto src = host::MakeAbsolute(s.source);
  if (!src) return std::nullopt;
  if (!host::IsDirectory(*src)) return Fail(msg::kSourceNotValid), std::nullopt;
  const auto dst = host::MakeAbsolute(s.destination);
  if (!dst) return std::nullopt;
  if (host::IsDirectory(*dst)) return Fail(msg::kDestinationIsDirectory), std::nullopt;
  volumes.SetVolumeFileName(*dst);
  if (s.size != 0) volumes.SetVolumeSize(static_cast<std::uint32_t>(s.size));
  volumes.SetFlashType(static_cast<std::uint32_t>(s.FlashCode()));
  if (!host::DeleteIfExists(*dst)) return Fail(msg::kCannotDeleteDestination), std::nullopt;
  p.source = *src;
  p.destination = *dst;
  return p;
}

std::optional<Paths> PrepareFtp(const RunSettings& s, FlashVolumes& volumes) {
  Paths p;
  const auto src = host::MakeAbsolute(s.source);
  if (!src) return std::nullopt;
  if (!host::FileExists(*src)) return Fail(msg::kSourceNameNotValid), std::nullopt;
  if (host::ZeroDataCheck(*src) == host::kOnlyZeroData) return std::nullopt;
  volumes.SetFlashType(static_cast<std::uint32_t>(s.FlashCode()));
  volumes.SetVolumeFileName(*src);
  const auto dst = host::MakeAbsolute(s.destination);
  if (!dst) return std::nullopt;
  if (!host::IsDirectory(*dst) &&
      host::CreateDirectoryLevel(*dst) == host::CreateDirResult::Failed)
    return Fail(msg::kCannotCreateDestinationFolder), std::nullopt;
  const auto size = host::FileSize(*src);
  if (size && *size != 0) volumes.SetVolumeSize(static_cast<std::uint32_t>(*size));
  p.source = *src;
  p.destination = *dst;
  return p;
}

// The final commit comes before the final message: a run whose last commit
// failed reports that, and never success, for an image that lacks the
// changes since its last checkpoint.
int FinishRun(FlashVolumes& volumes, int result) {
  const int error = volumes.Close();
  if (error == 0) return ReportResult(result);
  std::printf("%s", msg::kErrorPrefix);
  std::printf(msg::kCheckpointNotWritten, FsErrorText(error));
  if (result != kCopyOk) ReportResult(result);
  return kExitFailure;
}

int RunCommon(const RunSettings& s, const Paths& p, FlashVolumes& volumes) {
  if (host::FileExists(p.destination)) return Fail(msg::kDestinationExistsBefore);
  volumes.SetVolumeVolatileFlag(s.isPtf);
  if (host::FileExists(p.destination)) return Fail(msg::kDestinationExistsAfter);
  if (!volumes.CreateFlashVolumes(s.isPtf)) return Fail(msg::kCouldNotMount);

  int result;
  if (s.isPtf) {
    if (host::ZeroDataCheck(p.destination) != host::kHasData) return Fail(msg::kDestinationCorrupt);
    bool directoryCopied = false;
    result = CopyToMurvexDir(p.source, volumes.VolumeName(), directoryCopied, p.destination);
    if (result == kCopyOk) result = host::ZeroDataCheck(p.destination);
  } else {
    if (!host::IsDirectory(p.destination)) return Fail(msg::kDestinationMissing);
    result = IsVolumeRootEmpty(volumes.VolumeName())
                 ? kResultImageEmpty
                 : CopyFromMurvexDir(volumes.VolumeName(), p.destination);
  }
  return FinishRun(volumes, result);
}

}  // namespace

int ReportResult(int result) {
  const char* text = msg::kUnspecified;
  switch (result) {
    case kCopyOk: text = msg::kSuccess; break;
    case kCopyVolumeFull: text = msg::kDataTooLarge; break;
    case kCopyFailed: text = msg::kCopyErrors; break;
    case kResultOnlyZeroData: text = nullptr; break;
    case kResultTargetMissing: text = msg::kTargetMissing; break;
    case kResultImageEmpty: text = msg::kImageEmpty; break;
    default: break;
  }
  if (text) std::printf("%s", text);
  return result == kCopyOk ? kExitSuccess : kExitFailure;
}

int RunVorel(std::string_view commandLine) {
  FlashVolumes volumes;
  RunSettings settings;
  if (!ParseRunSettings(commandLine, settings)) return kExitFailure;
  const auto paths = settings.isPtf ? PreparePtf(settings, volumes)
                                    : PrepareFtp(settings, volumes);
  if (!paths) return kExitFailure;
  return RunCommon(settings, *paths, volumes);
}

}  // namespace vorel
