// Copies between a host directory tree and the mounted flash volume.
// Result codes: 0 success, 1 failed after a directory was copied completely
// (taken as a full volume), 2 failed in the first directory or copying out.
#pragma once

#include <cstddef>
#include <string>

class FileSystem;

namespace vorel {

inline constexpr int kCopyOk = 0;
inline constexpr int kCopyVolumeFull = 1;
inline constexpr int kCopyFailed = 2;

// The copies through a given file system; the forms without one use the
// default file system (vorel's).
int CopyToMurvexDir(FileSystem& fs, const std::string& sourceDir, const std::string& volumeDir,
                    bool& directoryCopied, const std::string& imagePath);
int CopyFromMurvexDir(FileSystem& fs, const std::string& volumeDir, const std::string& destinationDir);
int CopyToMurvexDir(const std::string& sourceDir, const std::string& volumeDir,
                    bool& directoryCopied, const std::string& imagePath);
int CopyFromMurvexDir(const std::string& volumeDir, const std::string& destinationDir);

// While one lives on a thread, the lines the copies on that thread print
// (skipped entries, failures with their reasons, error blocks) are collected
// in Text() instead of going to standard output.
class CopyMessages {
 public:
  CopyMessages();
  ~CopyMessages();
  CopyMessages(const CopyMessages&) = delete;
  CopyMessages& operator=(const CopyMessages&) = delete;
  const std::string& Text() const { return text_; }
  void Append(const char* bytes, std::size_t count) { text_.append(bytes, count); }
  // The cause of the last failed entry: the host's errno, or the file
  // system's error number (0 when the file system gave none); exactly one
  // of them is set once an entry failed.
  int HostError() const { return hostError_; }
  int VolumeError() const { return volumeError_; }
  bool Failed() const { return failed_; }
  void NoteFailure(int hostError, int volumeError) {
    failed_ = true;
    hostError_ = hostError;
    volumeError_ = volumeError;
  }

 private:
  std::string text_;
  bool failed_ = false;
  int hostError_ = 0;
  int volumeError_ = 0;
  CopyMessages* previous_;
};

// True when the volume root holds no entry (or cannot be listed).
bool IsVolumeRootEmpty(FileSystem& fs, const std::string& volumeName);
bool IsVolumeRootEmpty(const std::string& volumeName);

}  // namespace vorel
