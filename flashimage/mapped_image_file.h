// The image file mapped into memory, shared with the file: every write of the
// view reaches the file. An existing file keeps its size; a new one is
// zero-extended to the requested size, or starts with a given number of
// erased (0xFF) bytes and is zero after them. A failed open leaves no view, size 0.
// A private mapping (copy-on-write) of an existing file never changes it.
// A buffered view holds the file's bytes in anonymous memory of huge pages
// and reaches the file only through WriteBack.
// A new file has all its blocks reserved before it is mapped, so that no
// write into the view can meet a full host disk; a new buffered one gets
// its erased bytes with its first WriteBack, of the whole view.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>

namespace flashimage {

// HostError() of an image whose lock another process holds (an ffsmount -rw
// mount, or readers while a writer asks).
inline constexpr int kImageLocked = EWOULDBLOCK;

// A shared image lock on an existing file, held while the object lives: a
// read-write mount (which locks exclusively) cannot start meanwhile. Held
// by "ptf" from its check until the new image replaces the file, so that no
// mount starts on the file about to be replaced. A file that cannot be
// opened holds no lock.
class SharedImageLock {
 public:
  explicit SharedImageLock(const std::string& path);
  ~SharedImageLock();
  SharedImageLock(const SharedImageLock&) = delete;
  SharedImageLock& operator=(const SharedImageLock&) = delete;
  // True when another process holds the lock exclusively (a read-write
  // mount): a new image must not be put in its place.
  bool HeldByOther() const { return heldByOther_; }

 private:
  int fd_ = -1;
  bool heldByOther_ = false;
};

enum class MapMode {
  Shared,   // writes reach the file; a missing file is created
  Private,  // copy-on-write: the file is only read, never created or changed
  // The file is opened or created as for Shared, its bytes are copied into
  // anonymous memory, and only WriteBack writes the view to the file. On
  // this host a page fault costs about as much as writing 4 KiB, and huge
  // pages take 512 of them at once; without huge pages the view is Shared.
  Buffered,
};

class MappedImageFile {
 public:
  // mappingNameBase may be null (no mapping name). A file created here holds
  // 0xFF in its first erasedBytes bytes and zeros after them.
  MappedImageFile(const std::string& path, const char* mappingNameBase, std::uint32_t size,
                  MapMode mode = MapMode::Shared, std::uint32_t erasedBytes = 0);
  ~MappedImageFile();  // flushes the view to the file and unmaps it
  MappedImageFile(const MappedImageFile&) = delete;
  MappedImageFile& operator=(const MappedImageFile&) = delete;

  std::uint8_t* View() const { return view_; }
  std::uint32_t Size() const { return size_; }
  const std::string& MappingName() const { return mappingName_; }
  const std::string& Path() const { return path_; }

  // Writes the view back to the file now (false for a private or buffered view).
  bool Flush() const;
  // Writes [offset, offset + count) of a buffered view to the file: 0 or
  // the host's error number, which HostError() then keeps too.
  int WriteBack(std::uint32_t offset, std::uint32_t count);
  MapMode Mode() const { return mode_; }
  // True when this open created the file: it holds the erased bytes and
  // zeros it was given, nothing else (a buffered one: its view does).
  bool Created() const { return created_; }
  // The host's error number when opening, sizing or reserving the file
  // failed; 0 otherwise (also when the open failed for a size of 0).
  int HostError() const { return hostError_; }

 private:
  bool Open(const std::string& path);
  bool MapBuffer();

  std::uint8_t* view_ = nullptr;
  std::uint32_t size_;
  MapMode mode_;
  std::uint32_t erasedBytes_;
  bool created_ = false;
  bool Fail(int error);

  int file_ = -1;
  int hostError_ = 0;
  int mapping_ = -1;  // the mapping is the view itself on this host; kept for its state
  std::string mappingName_;
  std::string path_;
};

}  // namespace flashimage
