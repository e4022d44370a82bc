// Image: one flash image file opened from Python, the only place where the
// ffsimage module reaches the file system. It owns the FlashVolumes of the
// image and makes every ffs_* call; paths are normalised here so that no
// path a script passes ever leaves the image's volume.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ffs/file_system.h"
#include "flashimage/flash_volumes.h"

namespace vorel {
class CopyMessages;
}

namespace ffsimage {

// A failure of the file system (or of the host, for image files and host
// trees): the error number of the host's numbering, the path concerned and a
// message in plain words.
struct FsError {
  int hostErrno;
  std::string message;
  std::string path;
  std::string path2;  // the second path of a rename, else empty
};

// Invalid arguments (an unknown flash type, a size out of range, a path with
// a NUL byte, a bad mode).
class ArgumentError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Use of an image (or a file) after it was closed.
class ClosedError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// The host's errno for a file system error number.
int HostErrno(int ffsError);

struct EntryStat {
  std::uint32_t size = 0;
  std::uint32_t mode = 0;  // permission bits, plus 0x4000 for a directory
  std::uint32_t serial = 0;
  std::uint32_t links = 0;
  std::uint32_t mtime = 0;
  bool isDirectory = false;
};

// The facts `ffsinspect stat` shows, as (name, value) pairs in its order.
using InfoList = std::vector<std::pair<std::string, std::uint64_t>>;

class Image {
 public:
  // Formats a new image file of `size` bytes (an existing file is replaced
  // once the new volume is mounted) and mounts it writable.
  static std::unique_ptr<Image> Create(const std::string& path, std::uint64_t size,
                                       const std::string& flashType);
  // Mounts an existing image; read-only images are mapped privately, so the
  // file is never changed.
  static std::unique_ptr<Image> Open(const std::string& path, const std::string& flashType,
                                     bool writable);
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  // Every call below holds the image's own lock for its duration: calls on
  // one image from several threads are serialised.
  bool Writable() const { return writable_; }
  bool Closed() const { return closed_; }
  const std::string& Path() const { return path_; }
  const std::string& FlashType() const { return flashType_; }

  std::vector<std::string> ListDir(const std::string& path);
  std::vector<std::pair<std::string, EntryStat>> ScanDir(const std::string& path);
  EntryStat Stat(const std::string& path);
  bool Exists(const std::string& path);
  std::string ReadFile(const std::string& path);
  void WriteFile(const std::string& path, const std::string& data);
  void Mkdir(const std::string& path);
  void Remove(const std::string& path);
  void Rmdir(const std::string& path);
  void Rename(const std::string& from, const std::string& to);
  void Sync();
  std::vector<std::string> Check();
  InfoList Info();
  // The tree copies of vorel; they answer the lines of entries skipped
  // (links to directories, names vorel does not store, unsafe names).
  std::vector<std::string> CopyIn(const std::string& hostDir, const std::string& imageDir);
  std::vector<std::string> CopyOut(const std::string& imageDir, const std::string& hostDir);

  // Open files: `flags` are the file system's open flags; the handle is
  // valid until CloseFile or Close.
  int OpenFile(const std::string& path, int flags);
  std::string Read(int handle, std::int64_t count);  // count < 0: to the end
  std::uint32_t Write(int handle, const char* data, std::size_t count);
  std::uint32_t Seek(int handle, std::int64_t offset, int whence);
  std::uint32_t Tell(int handle);
  void Truncate(int handle, std::uint64_t length);
  void CloseFile(int handle);
  bool HandleOpen(int handle);

  // Closes the open files, unmounts with the final commit and unmaps. A
  // failed final commit raises FsError (the image then lacks what was
  // written since the last sync); later calls do nothing.
  void Close();

 private:
  Image(std::string path, std::string flashType, bool writable);
  void Mount(std::uint32_t code, std::uint64_t size, bool create);
  std::string VolumePath(const std::string& path) const;
  void Live() const;
  void Mutable(const std::string& path) const;
  const std::string& CheckHandle(int handle) const;
  [[noreturn]] void Fail(const std::string& path, const std::string& path2 = {}) const;
  void CloseLocked();
  int CopyFailureErrno(const vorel::CopyMessages& messages);

  std::string path_;
  std::string flashType_;
  bool writable_;
  bool closed_ = false;
  mutable FileSystem fs_;  // this image's own file system (const queries read its error)
  flashimage::FlashVolumes volumes_{fs_};
  std::map<int, std::string> handles_;  // open file handles and their paths
  std::mutex lock_;
};

}  // namespace ffsimage
