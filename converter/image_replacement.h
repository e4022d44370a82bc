// The new image of a "ptf" run is built in a temporary file beside the
// destination and renamed over it only once its volume is formatted and
// mounted: until then the destination is untouched, and every way out of the
// run (a failure, a signal) removes the temporary file.
#pragma once

#include <string>

namespace vorel {

class ImageReplacement {
 public:
  // Picks a name in the destination's directory that no file holds yet.
  explicit ImageReplacement(const std::string& destination);
  // Removes the temporary file unless it was put in place.
  ~ImageReplacement();
  ImageReplacement(const ImageReplacement&) = delete;
  ImageReplacement& operator=(const ImageReplacement&) = delete;

  // Empty when no free name was found.
  const std::string& TemporaryPath() const { return temporary_; }
  // Renames the temporary file over the destination; false with errno set.
  bool PutInPlace();

 private:
  std::string destination_;
  std::string temporary_;
  bool inPlace_ = false;
};

}  // namespace vorel
