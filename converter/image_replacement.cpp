// Temporary image names: "." + destination name + ".vorel-" + process id
// (+ "-" + counter when taken), hidden and in the same directory, so that the
// final rename is atomic and never crosses file systems.
#include "converter/image_replacement.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "converter/run_signals.h"

namespace vorel {

namespace {

constexpr std::size_t kMaxNameStem = 200;  // keeps the temporary name under the host's limit
constexpr int kMaxAttempts = 1000;

bool PathIsFree(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

}  // namespace

ImageReplacement::ImageReplacement(const std::string& destination) : destination_(destination) {
  const std::filesystem::path dst(destination);
  const std::string stem = dst.parent_path().string() + "/." +
                           dst.filename().string().substr(0, kMaxNameStem) + ".vorel-" +
                           std::to_string(static_cast<long>(::getpid()));
  temporary_ = stem;
  for (int n = 1; !PathIsFree(temporary_) && n < kMaxAttempts; ++n)
    temporary_ = stem + "-" + std::to_string(n);
  if (!PathIsFree(temporary_)) {
    temporary_.clear();  // never take over a file someone else holds
    return;
  }
  SetFileToRemoveOnSignal(temporary_.c_str());
}

ImageReplacement::~ImageReplacement() {
  if (inPlace_ || temporary_.empty()) return;
  SetFileToRemoveOnSignal(nullptr);
  ::unlink(temporary_.c_str());
}

bool ImageReplacement::PutInPlace() {
  if (temporary_.empty()) return false;
  if (std::rename(temporary_.c_str(), destination_.c_str()) != 0) return false;
  SetFileToRemoveOnSignal(nullptr);
  inPlace_ = true;
  return true;
}

}  // namespace vorel
