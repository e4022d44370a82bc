// The one place where ffsmount reaches the flash file system: the image is
// opened with FlashVolumes and every request becomes an ffs_* call on its
// volume. Paths are the mount's ("/", "/a/b"); failures answer the host's
// negative errno, never the file system's own numbering.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flashimage/flash_types.h"
#include "hostcli/command_line_options.h"
#include "flashimage/flash_volumes.h"

namespace ffsmount {

struct NodeStat {
  std::uint32_t serial = 0;
  bool directory = false;
  std::uint16_t permissions = 0;  // the inode's mode bits without the directory bit
  std::uint32_t links = 0;
  std::uint32_t size = 0;
  std::uint32_t accessTime = 0;  // the inode's second time stamp
  std::uint32_t modifyTime = 0;  // its first
};

struct SpaceStat {
  std::uint32_t clusterSize = 0;
  std::uint32_t usableClusters = 0;
  std::uint32_t freeBytes = 0;
};

enum class OpenStatus { Mounted, Locked, CannotOpen, NoMount };

class ImageFs {
 public:
  // The file system's table of control blocks: the most files and directory
  // listings open at one time.
  static const int kControlBlocks;
  static const std::uint32_t kNameMax;

  ImageFs() = default;
  ~ImageFs();
  ImageFs(const ImageFs&) = delete;
  ImageFs& operator=(const ImageFs&) = delete;

  // Maps the image (shared when writable, else privately) and mounts it.
  // A writable image holds its commits until Commit.
  OpenStatus Open(const std::string& imagePath, flashimage::FlashTypeCode type, bool writable);
  int HostError() const { return hostError_; }     // with CannotOpen
  int MountError() const { return mountError_; }   // the file system's number, with NoMount
  bool Writable() const { return writable_; }

  // Commits what is open and unmounts; 0 or -errno. Later calls answer 0.
  int Close();
  // Writes a checkpoint of everything done so far (open files included).
  int Commit();

  int Stat(const std::string& path, NodeStat& out) const;
  int List(const std::string& path, std::vector<std::string>& names) const;
  int Space(SpaceStat& out) const;

  // A descriptor (>= 0) or -errno. create: make the file when missing
  // (exclusive), with these permissions.
  int OpenFile(const std::string& path, bool write, bool create, std::uint16_t permissions);
  int CloseFile(int fd);
  int Read(int fd, std::uint32_t offset, void* buffer, std::uint32_t count);
  int Write(int fd, std::uint32_t offset, const void* buffer, std::uint32_t count);

  int Truncate(const std::string& path, std::uint32_t length);
  int Mkdir(const std::string& path, std::uint16_t permissions);
  int Unlink(const std::string& path);
  int Rmdir(const std::string& path);
  int Rename(const std::string& from, const std::string& to);
  int Link(const std::string& existing, const std::string& name);
  int Chmod(const std::string& path, std::uint16_t permissions);
  int SetTimes(const std::string& path, std::uint32_t accessTime, std::uint32_t modifyTime);

  // The host's errno for a file-system error number.
  static int HostErrno(int ffsError);

 private:
  std::string VolumePath(const std::string& path) const;

  std::unique_ptr<flashimage::FlashVolumes> volumes_;
  bool writable_ = false;
  int hostError_ = 0;
  int mountError_ = 0;
};

}  // namespace ffsmount
