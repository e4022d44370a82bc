// FieldTable: the ordered (byte count, storage address) list that describes how
// a record is laid out in the image. Encoding and decoding are one loop each and
// the record's size is the sum of the byte counts, so layout and size never drift.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

namespace hwinfo {

// Numbers are copied as they lie in storage; the image is little-endian.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the image codec needs a little-endian host");

class FieldTable {
 public:
  // `count` bytes of the image taken from / given to `storage`.
  FieldTable& Add(std::size_t count, void* storage) {
    entries_.push_back(Entry{count, static_cast<std::uint8_t*>(storage)});
    size_ += count;
    return *this;
  }
  // A whole number field (its full width).
  template <typename T>
  FieldTable& AddNumber(T& value) {
    static_assert(std::is_arithmetic_v<T>, "numbers only");
    return Add(sizeof(T), &value);
  }

  std::size_t Size() const { return size_; }

  void Encode(std::uint8_t* image) const {
    for (const Entry& e : entries_) {
      std::memcpy(image, e.storage, e.count);
      image += e.count;
    }
  }
  void Decode(const std::uint8_t* image) const {
    for (const Entry& e : entries_) {
      std::memcpy(e.storage, image, e.count);
      image += e.count;
    }
  }

 private:
  struct Entry {
    std::size_t count;
    std::uint8_t* storage;
  };
  std::vector<Entry> entries_;
  std::size_t size_ = 0;
};

}  // namespace hwinfo
