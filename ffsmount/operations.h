// The driver's operations, one per request of the host, independent of the
// FUSE library so that they can be called directly: host paths, host flags,
// host errno (0 or -errno). One mutex serialises every request and the
// commit timer; the file system sees one caller at a time.
#pragma once

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "ffsmount/descriptor_pool.h"
#include "ffsmount/image_fs.h"

namespace ffsmount {

class Operations {
 public:
  explicit Operations(ImageFs& fs);

  int Getattr(const std::string& path, struct stat& out);
  int Readdir(const std::string& path, std::vector<std::string>& names);
  // handle: what later requests on this open file pass back (its serial).
  int Open(const std::string& path, int flags, std::uint64_t& handle);
  int Create(const std::string& path, mode_t mode, std::uint64_t& handle);
  int Read(const std::string& path, std::uint64_t handle, char* buffer, std::size_t size,
           off_t offset);
  int Write(const std::string& path, std::uint64_t handle, const char* buffer, std::size_t size,
            off_t offset);
  int Release(std::uint64_t handle);
  int Truncate(const std::string& path, off_t length);
  int Mkdir(const std::string& path, mode_t mode);
  int Unlink(const std::string& path);
  int Rmdir(const std::string& path);
  // Replaces an existing target as rename(2) does; flags: RENAME_NOREPLACE.
  int Rename(const std::string& from, const std::string& to, unsigned flags);
  int Link(const std::string& existing, const std::string& name);
  int Chmod(const std::string& path, mode_t mode);
  int Utimens(const std::string& path, const struct timespec times[2]);
  int Statfs(struct statvfs& out);
  // fsync, fsyncdir and the commit timer: a commit of everything done so
  // far, when anything changed since the last one.
  int Fsync();
  bool Dirty();
  // Closes every descriptor, commits and unmounts; 0 or -errno.
  int Shutdown();

 private:
  int CommitLocked();
  int Changed(int rc);  // marks the volume dirty after a successful change
  int RemoveTarget(const std::string& from, const std::string& to, unsigned flags);

  std::mutex mutex_;
  ImageFs& fs_;
  DescriptorPool pool_;
  bool dirty_ = false;
};

}  // namespace ffsmount
