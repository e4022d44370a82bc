// Copies between a host directory tree and the mounted flash volume.
// Result codes: 0 success, 1 failed after a directory was copied completely
// (taken as a full volume), 2 failed in the first directory or copying out.
#pragma once

#include <string>

namespace vorel {

inline constexpr int kCopyOk = 0;
inline constexpr int kCopyVolumeFull = 1;
inline constexpr int kCopyFailed = 2;

int CopyToMurvexDir(const std::string& sourceDir, const std::string& volumeDir,
                    bool& directoryCopied, const std::string& imagePath);
int CopyFromMurvexDir(const std::string& volumeDir, const std::string& destinationDir);

// True when the volume root holds no entry (or cannot be listed).
bool IsVolumeRootEmpty(const std::string& volumeName);

}  // namespace vorel
