// The name check of volume and entry names: no '*' or '/', and well-formed
// UTF-8 (no overlong forms, no surrogates, nothing beyond U+10FFFF, no
// sequence cut off by the end).
#include <cstring>

#include "ffs/file_system.h"
#include "ffs/volume_table.h"

namespace {

bool InRange(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }

// Length of the well-formed sequence at s (at most n bytes left), 0 if malformed.
std::size_t SequenceLength(const unsigned char* s, std::size_t n) {
  const unsigned char c = s[0];
  if (c <= 0x7F) return 1;
  std::size_t len;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (InRange(c, 0xC2, 0xDF)) {
    len = 2;
  } else if (c == 0xE0) {
    len = 3, low = 0xA0;
  } else if (InRange(c, 0xE1, 0xEC) || InRange(c, 0xEE, 0xEF)) {
    len = 3;
  } else if (c == 0xED) {
    len = 3, high = 0x9F;
  } else if (c == 0xF0) {
    len = 4, low = 0x90;
  } else if (InRange(c, 0xF1, 0xF3)) {
    len = 4;
  } else if (c == 0xF4) {
    len = 4, high = 0x8F;
  } else {
    return 0;
  }
  if (n < len || !InRange(s[1], low, high)) return 0;
  for (std::size_t i = 2; i < len; ++i)
    if (!InRange(s[i], 0x80, 0xBF)) return 0;
  return len;
}

}  // namespace

int ffs_check_name(FileSystem& fs, const char* name, bool allowTrailingSlashes) {
  if (name == nullptr) return static_cast<int>(Fail(fs, FFS_EINVAL));
  std::size_t n = std::strlen(name);
  if (allowTrailingSlashes)
    while (n > 0 && name[n - 1] == '/') --n;
  const auto* s = reinterpret_cast<const unsigned char*>(name);
  for (std::size_t i = 0; i < n;) {
    const std::size_t len = (s[i] == '*' || s[i] == '/') ? 0 : SequenceLength(s + i, n - i);
    if (len == 0) return static_cast<int>(Fail(fs, FFS_EINVAL));
    i += len;
  }
  return 0;
}
