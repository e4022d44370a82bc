// Both directions of a vorel run. Every check prints its message and ends the
// run with exit code -1; the FlashVolumes object is closed on every path (after
// a copy before the final message, so that a failed final commit fails the
// run), and a "ptf" destination is replaced only by a formatted, mounted image.
#include "converter/run_flow.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "converter/command_line.h"
#include "converter/ffs_error_text.h"
#include "flashimage/flash_volumes.h"
#include "converter/host_fs.h"
#include "converter/image_replacement.h"
#include "converter/messages.h"
#include "converter/run_signals.h"
#include "converter/tree_copy.h"

namespace vorel {

using flashimage::FlashVolumes;
using flashimage::MappedImageFile;

namespace {

int Fail(const char* message) {
  std::printf("%s%s", msg::kErrorPrefix, message);
  return kExitFailure;
}

int FailWithPath(const char* format, const std::string& path, int error) {
  std::printf("%s", msg::kErrorPrefix);
  std::printf(format, path.c_str(), std::strerror(error));
  return kExitFailure;
}

// Paths of a run, all absolute against the working directory the process
// started in: they are resolved before the first directory test moves it.
struct Paths {
  std::string source;
  std::string destination;
  std::string image;  // the file mapped: in "ptf" the new image beside the destination
};

std::optional<Paths> AbsolutePaths(const RunSettings& s) {
  const auto src = host::MakeAbsolute(s.source);
  if (!src) return std::nullopt;
  const auto dst = host::MakeAbsolute(s.destination);
  if (!dst) return std::nullopt;
  return Paths{*src, *dst, {}};
}

// An existing destination that is not a regular file (a FIFO, a device) is
// refused: it is never replaced by an image.
bool IsNonRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

std::optional<Paths> PreparePtf(const RunSettings& s, FlashVolumes& volumes,
                                std::unique_ptr<ImageReplacement>& replacement) {
  auto p = AbsolutePaths(s);
  if (!p) return std::nullopt;
  if (!host::IsDirectory(p->source)) return Fail(msg::kSourceNotValid), std::nullopt;
  if (host::IsDirectory(p->destination) || IsNonRegularFile(p->destination))
    return Fail(msg::kDestinationIsDirectory), std::nullopt;
  replacement = std::make_unique<ImageReplacement>(p->destination);
  if (replacement->TemporaryPath().empty())
    return FailWithPath(msg::kImageFileFailed, p->destination, EEXIST), std::nullopt;
  p->image = replacement->TemporaryPath();
  volumes.SetVolumeFileName(p->image);
  if (s.size != 0) volumes.SetVolumeSize(static_cast<std::uint32_t>(s.size));
  volumes.SetFlashType(static_cast<std::uint32_t>(s.FlashCode()));
  return p;
}

// The image is mapped privately: extracting never changes its bytes or its
// modification time, and a read-only image extracts.
std::optional<Paths> PrepareFtp(const RunSettings& s, FlashVolumes& volumes) {
  auto p = AbsolutePaths(s);
  if (!p) return std::nullopt;
  if (!host::IsRegularFile(p->source) || !host::FileExists(p->source))
    return Fail(msg::kSourceNameNotValid), std::nullopt;
  if (host::ZeroDataCheck(p->source) == host::kOnlyZeroData) return std::nullopt;
  volumes.SetFlashType(static_cast<std::uint32_t>(s.FlashCode()));
  volumes.SetVolumeFileName(p->source);
  volumes.SetPrivateMapping(true);
  if (!host::IsDirectory(p->destination) &&
      host::CreateDirectoryLevel(p->destination) == host::CreateDirResult::Failed)
    return Fail(msg::kCannotCreateDestinationFolder), std::nullopt;
  const auto size = host::FileSize(p->source);
  if (size && *size != 0) volumes.SetVolumeSize(static_cast<std::uint32_t>(*size));
  p->image = p->source;
  return p;
}

// A host failure of the image file (no space to reserve its blocks, no
// permission) is named with the user's image path and the host's reason.
int ImageLocked(const std::string& path) {
  std::printf("%s", msg::kErrorPrefix);
  std::printf(msg::kImageLockedText, path.c_str());
  return kExitFailure;
}

int MountFailure(const RunSettings& s, const FlashVolumes& volumes, const Paths& p) {
  const MappedImageFile* image = volumes.Image();
  if (image != nullptr && image->HostError() == flashimage::kImageLocked)
    return ImageLocked(s.isPtf ? p.destination : p.source);
  if (image != nullptr && image->HostError() != 0)
    return FailWithPath(msg::kImageFileFailed, s.isPtf ? p.destination : p.source,
                        image->HostError());
  return Fail(msg::kCouldNotMount);
}

// The final commit comes before the final message: a run whose last commit
// failed reports that, and never success, for an image that lacks the
// changes since its last checkpoint.
int FinishRun(FlashVolumes& volumes, int result) {
  const int error = volumes.Close();
  if (error == 0) return ReportResult(result);
  std::printf("%s", msg::kErrorPrefix);
  std::printf(msg::kCheckpointNotWritten, FfsErrorText(error).c_str());
  if (result != kCopyOk) ReportResult(result);
  return kExitFailure;
}

int RunCommon(const RunSettings& s, const Paths& p, FlashVolumes& volumes,
              ImageReplacement* replacement) {
  // In "ptf" the new image must not exist yet; in "ftp" the destination is a
  // directory, which never opens as a file.
  const std::string& fresh = s.isPtf ? p.image : p.destination;
  if (host::FileExists(fresh)) return Fail(msg::kDestinationExistsBefore);
  // The new image replaces the destination by a rename; a read-write mount of
  // it would go on writing the old file, and everything it wrote be lost.
  // The lock taken to ask is held until the new image is in place: a mount
  // cannot start on the file in the meantime.
  std::optional<flashimage::SharedImageLock> destinationLock;
  if (s.isPtf) destinationLock.emplace(p.destination);
  if (destinationLock && destinationLock->HeldByOther()) return ImageLocked(p.destination);
  volumes.SetVolumeVolatileFlag(s.isPtf);
  volumes.SetBuiltInMemory(s.isPtf);
  if (host::FileExists(fresh)) return Fail(msg::kDestinationExistsAfter);
  // Without a view the device would run in memory only: nothing would reach the file.
  if (!volumes.CreateFlashVolumes(s.isPtf) || !volumes.Image() || !volumes.Image()->View())
    return MountFailure(s, volumes, p);

  int result;
  if (s.isPtf) {
    if (!replacement->PutInPlace())
      return FailWithPath(msg::kCannotReplaceDestination, p.destination, errno);
    destinationLock.reset();
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
  InstallRunSignalHandlers();
  FlashVolumes volumes;
  // Declared after the volumes: a new image not put in place is removed
  // before the volume is, on every way out.
  std::unique_ptr<ImageReplacement> replacement;
  RunSettings settings;
  if (!ParseRunSettings(commandLine, settings)) return kExitFailure;
  const auto paths = settings.isPtf ? PreparePtf(settings, volumes, replacement)
                                    : PrepareFtp(settings, volumes);
  if (!paths) return kExitFailure;
  return RunCommon(settings, *paths, volumes, replacement.get());
}

}  // namespace vorel
