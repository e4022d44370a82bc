// Opening and mapping the image file: a relative path is taken from the
// program's directory, missing directory levels are created, the file is
// opened (or created), sized and mapped shared and writable. A private view
// opens an existing file read-only and maps it copy-on-write.
#include "converter/mapped_image_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <limits>
#include <system_error>

#include "converter/host_fs.h"

namespace vorel {

namespace fs = std::filesystem;

namespace {
constexpr int kMappedState = 1;
}

MappedImageFile::MappedImageFile(const std::string& path, const char* mappingNameBase,
                                 std::uint32_t size, MapMode mode)
    : size_(size), mode_(mode) {
  if (mappingNameBase != nullptr)
    mappingName_ = std::string(mappingNameBase) + std::to_string(static_cast<long>(getpid()));
  Open(path);
}

MappedImageFile::~MappedImageFile() {
  if (view_ != nullptr) {
    if (mode_ == MapMode::Shared) Flush();
    munmap(view_, size_);
  }
  if (file_ >= 0) close(file_);
}

bool MappedImageFile::Flush() const {
  return mode_ == MapMode::Shared && view_ != nullptr && msync(view_, size_, MS_SYNC) == 0;
}

bool MappedImageFile::Open(const std::string& path) {
  fs::path full(path);
  if (full.is_relative()) full = fs::path(host::ProgramDirectory()) / full;
  path_ = full.string();
  const fs::path dir = full.parent_path();
  if (dir.empty() || !full.has_filename()) {
    size_ = 0;
    return false;
  }
  const bool shared = mode_ == MapMode::Shared;
  std::error_code ec;
  if (shared) fs::create_directories(dir, ec);  // the outcome shows when the file is opened

  bool created = false;
  file_ = open(path_.c_str(), (shared ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (file_ < 0 && shared) {
    file_ = open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    created = true;
  }
  if (file_ < 0) {
    size_ = 0;
    return false;
  }
  if (!created) {
    struct stat st {};
    if (fstat(file_, &st) != 0 || st.st_size < 0 ||
        static_cast<unsigned long long>(st.st_size) > std::numeric_limits<std::uint32_t>::max()) {
      close(file_);
      file_ = -1;
      size_ = 0;
      return false;
    }
    size_ = static_cast<std::uint32_t>(st.st_size);
  }
  if (size_ == 0 || (created && ftruncate(file_, size_) != 0)) {
    close(file_);
    file_ = -1;
    size_ = 0;
    return false;
  }
  void* view = mmap(nullptr, size_, PROT_READ | PROT_WRITE, shared ? MAP_SHARED : MAP_PRIVATE,
                    file_, 0);
  if (view == MAP_FAILED) {
    close(file_);
    file_ = -1;
    size_ = 0;
    return false;
  }
  view_ = static_cast<std::uint8_t*>(view);
  mapping_ = kMappedState;
  return true;
}

}  // namespace vorel
