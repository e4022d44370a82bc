// Every text vorel prints, named once; those ffsinspect prints too live with
// the shared code. Error lines are kErrorPrefix followed by one of the texts.
#pragma once

#include "flashimage/messages.h"
#include "hostcli/messages.h"

namespace vorel::msg {

// The texts vorel shares with ffsinspect and the image library.
using flashimage::msg::kBadFlashType;
using flashimage::msg::kFormatVolume;
using flashimage::msg::kImageLockedText;
using flashimage::msg::kMountVolume;
using flashimage::msg::kNoFlashType;
using hostcli::msg::kErrorPrefix;
using hostcli::msg::kNoAbsolutePath;

inline constexpr char kBuildNumber[] = "46479";

// Command-line validation.
inline constexpr char kNoParameter[] = "  no parameter found";
inline constexpr char kNoDirection[] = "  direction parameter (dir:ptf, ftp) not found !";
inline constexpr char kBadDirection[] = "  direction parameter not correct !";
inline constexpr char kNoSource[] = "  source parameter (src:) not entered !";
inline constexpr char kEmptySource[] = "  source parameter is empty !";
inline constexpr char kNoTarget[] = "  target parameter (dst:) not entered !";
inline constexpr char kEmptyTarget[] = "  target parameter is empty !";
inline constexpr char kNoSize[] = "  VolumeSize parameter (size:) not found !";
inline constexpr char kNoTempPath[] = "  Vorel: Could not build temp path\n";
inline constexpr char kCannotDeleteDiskImage[] = "  Vorel: Could not delete DiskImage file\n";

// Path functions.
inline constexpr char kFileNotClosed[] = "VOREL ERROR: The file was not closed\n";
inline constexpr char kOnlyZeroData[] = "  The file %s contains only zero data (000)\n";

// Run flow.
inline constexpr char kSourceNotValid[] = "  Source path not valid !\n";
inline constexpr char kDestinationIsDirectory[] =
    "destination path has to be a file name (not a path name)!";
inline constexpr char kSourceNameNotValid[] = "  Source path name not valid!\n";
inline constexpr char kCannotCreateDestinationFolder[] = "Cannot create destination folder!\n";
inline constexpr char kDestinationExistsBefore[] =
    "  Vorel: (Tracing Destination File) before FlashVolumes::SetVolumeVolatileFlag\n"
    "          Destination file should not exist\n";
inline constexpr char kDestinationExistsAfter[] =
    "  Vorel: (Tracing Destination File) nach FlashVolumes::SetVolumeVolatileFlag\n"
    "          Destination file should not exist\n";
inline constexpr char kCouldNotMount[] = "Could not mount volume\n";
// The image file itself failed on the host (path, host's reason).
inline constexpr char kImageFileFailed[] = "  Could not prepare the image file %s: %s\n";
// The finished new image could not be renamed over the destination.
inline constexpr char kCannotReplaceDestination[] = "  Could not replace %s: %s\n";
inline constexpr char kDestinationCorrupt[] =
    "  Vorel: after CreateFlashVolumes\n         Destination file is corrupt \n";
inline constexpr char kDestinationMissing[] =
    "  Vorel: after CreateFlashVolumes\n         Destination path not existing\n";

// Tree copies.
inline constexpr char kTraceBeforeCopy[] =
    "  Vorel: (Tracing Destination File) before CopyToMurvexDir\n"
    "          Destination file is corrupt \n";
inline constexpr char kTraceAfterCopy[] =
    "  Vorel: (Tracing Destination File) after CopyToMurvexDir\n"
    "          Destination file is corrupt \n";
inline constexpr char kCopyErrorTop[] = "-----------------VoRel ERROR --------------------\n";
inline constexpr char kCopyErrorBottom[] = "-------------------------------------------------\n";
inline constexpr char kCopyToTitle[] = "MakeStructureFilesOnFFs -- CopyToMurvexDir\n";
inline constexpr char kCopyFromTitle[] = "MakeStructureFilesOnPC -- CopyFromMurvexDir\n";
inline constexpr char kWorkingDirLabel[] = "working Dir: ";
inline constexpr char kSourceLabel[] = "source:      ";
inline constexpr char kDestinationLabel[] = "destination: ";
inline constexpr char kSkippedHostEntry[] = "  Skipped (not a regular file or directory): ";
inline constexpr char kUnsafeVolumeName[] = "  Unsafe name in image skipped: ";
inline constexpr char kSkippedDottedDirectory[] = "  Skipped (directory name holds '.'): ";
inline constexpr char kSkippedBackslashName[] = "  Skipped (name holds '\\'): ";
// "Could not copy <host path>: <reason>", printed before the error block.
inline constexpr char kCouldNotCopy[] = "  Could not copy %s: %s\n";
// Reasons for a name the file system refused (invalid argument).
inline constexpr char kNameNotUtf8[] = "name is not valid UTF-8";
inline constexpr char kNameHoldsStar[] = "name holds '*'";

// Signals that end a run (followed by the signal's number).
inline constexpr char kStoppedBySignal[] = "  Run stopped by signal ";
inline constexpr char kImageNotStored[] =
    "  The host could not store a page of the image file; run stopped by signal ";

// The volume's final commit (when FlashVolumes closes) failed; %s is the
// plain text of the file system's error number (FfsErrorText).
inline constexpr char kCheckpointNotWritten[] = "  Could not write the volume's checkpoint: %s\n";

// Plain texts of the file system's error numbers.
inline constexpr char kFsErrorNotPermitted[] = "operation not permitted";
inline constexpr char kFsErrorNoEntry[] = "no such file or directory";
inline constexpr char kFsErrorIo[] = "input/output error";
inline constexpr char kFsErrorNoVolume[] = "no such volume";
inline constexpr char kFsErrorBadDescriptor[] = "bad file descriptor";
inline constexpr char kFsErrorNoMemory[] = "out of memory";
inline constexpr char kFsErrorAccess[] = "permission denied";
inline constexpr char kFsErrorBusy[] = "busy";
inline constexpr char kFsErrorExists[] = "already exists";
inline constexpr char kFsErrorNotDirectory[] = "not a directory";
inline constexpr char kFsErrorIsDirectory[] = "is a directory";
inline constexpr char kFsErrorInvalid[] = "invalid argument";
inline constexpr char kFsErrorTooManyOpen[] = "too many open files";
inline constexpr char kFsErrorVolumeFull[] = "volume full";
inline constexpr char kFsErrorReadOnly[] = "read-only volume";
inline constexpr char kFsErrorRange[] = "out of range";
inline constexpr char kFsErrorNameTooLong[] = "name longer than %d bytes";
inline constexpr char kFsErrorUnknown[] = "file system error %d";

// Final messages by result code.
inline constexpr char kSuccess[] = "-- VoRel -- Task executed successfully\n\n";
inline constexpr char kDataTooLarge[] = "-- VoRel -- ERROR: Data too largely \n\n";
inline constexpr char kCopyErrors[] = "-- VoRel -- ERROR: Copy errors \n\n";
inline constexpr char kTargetMissing[] = "-- VoRel -- ERROR: A target file is missing\n\n";
inline constexpr char kImageEmpty[] =
    "-- VoRel -- ERROR: The input image is empty or you have selected the wrong flash type!\n\n";
inline constexpr char kUnspecified[] = "-- VoRel -- ERROR: unspecified error\n\n";

}  // namespace vorel::msg
