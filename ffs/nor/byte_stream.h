// Byte sinks and sources through which checkpoint content is encoded and
// decoded, with the little-endian field helpers. A failed Get or Put leaves
// the stream failed; callers stop at the first false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nor {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Put(const uint8_t* bytes, size_t count) = 0;
};

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual bool Get(uint8_t* bytes, size_t count) = 0;
};

// Collects content in memory (length estimates, tests).
class VectorSink : public ByteSink {
 public:
  bool Put(const uint8_t* bytes, size_t count) override {
    data.insert(data.end(), bytes, bytes + count);
    return true;
  }
  std::vector<uint8_t> data;
};

// Reads content from memory; fails instead of reading past the end.
class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
  explicit MemorySource(const std::vector<uint8_t>& v) : MemorySource(v.data(), v.size()) {}
  bool Get(uint8_t* out, size_t count) override {
    if (count > size_ - pos_) return false;
    for (size_t i = 0; i < count; ++i) out[i] = bytes_[pos_ + i];
    pos_ += count;
    return true;
  }
  size_t position() const { return pos_; }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t pos_ = 0;
};

inline bool PutU8(ByteSink& s, uint8_t v) { return s.Put(&v, 1); }
inline bool PutU16(ByteSink& s, uint16_t v) {
  uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
  return s.Put(b, 2);
}
inline bool PutU32(ByteSink& s, uint32_t v) {
  uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  return s.Put(b, 4);
}
inline bool GetU8(ByteSource& s, uint8_t& v) { return s.Get(&v, 1); }
inline bool GetU16(ByteSource& s, uint16_t& v) {
  uint8_t b[2];
  if (!s.Get(b, 2)) return false;
  v = uint16_t(b[0] | (b[1] << 8));
  return true;
}
inline bool GetU32(ByteSource& s, uint32_t& v) {
  uint8_t b[4];
  if (!s.Get(b, 4)) return false;
  v = uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
  return true;
}
inline uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

}  // namespace nor
