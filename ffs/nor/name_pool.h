// The name pool: small strings packed into 1024-byte chunks behind 8-byte
// record headers. Each record knows its owner (the one pointer that refers
// to it) and the pool rewrites that pointer whenever the record moves.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace nor {

class NamePool {
 public:
  static constexpr uint32_t kDefaultChunkSize = 1024;
  static constexpr uint32_t kChunkHeader = 12;  // next, previous, free bytes
  static constexpr uint32_t kRecordHeader = 8;  // owner, size, offset / 4
  static constexpr uint16_t kLargeMark = 0xFFFF;

  explicit NamePool(uint32_t chunk_size = kDefaultChunkSize);
  ~NamePool();  // clears every owner's pointer
  NamePool(const NamePool&) = delete;
  NamePool& operator=(const NamePool&) = delete;

  // Reserves `size` bytes, points *owner at them and returns them; null when
  // memory runs out. The caller copies the bytes in.
  char* Store(char** owner, uint32_t size);
  // Stores a NUL-terminated copy of `text` (length bytes).
  char* StoreString(char** owner, const char* text, uint32_t length);
  // Frees the record *owner points to and sets *owner to null.
  void Release(char** owner);
  // The record *old_owner points to now belongs to new_owner.
  void HandOver(char** old_owner, char** new_owner);
  // Packs records into as few chunks as possible.
  void Compact();
  // The size recorded for the string (string length + 1 for a large record).
  uint32_t StoredLength(char* const* owner) const;

  uint32_t chunk_count() const { return uint32_t(chunks_.size()); }
  uint32_t free_bytes() const { return free_bytes_; }
  uint32_t bytes_in_use() const { return in_use_; }
  uint32_t chunk_free(uint32_t index) const { return chunks_[index]->free; }
  uint32_t largest_payload() const { return chunk_size_ - 20; }
  uint32_t capacity() const { return chunk_size_ - kChunkHeader; }
  uint32_t large_count() const { return uint32_t(large_.size()); }

  static uint32_t PayloadLength(uint32_t size);

 private:
  struct Chunk {
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t free = 0;
    uint32_t End(uint32_t chunk_size) const { return chunk_size - free; }
  };

  uint32_t NewOwnerId(char** owner);
  Chunk* AppendChunk();
  size_t ChunkOf(const uint8_t* record) const;
  // Closes the records of a chunk up towards its start, dropping those
  // marked as moved; updates owners and the chunk's free bytes.
  void CloseUp(Chunk& chunk);
  void Place(Chunk& chunk, uint32_t owner_id, uint16_t size, const uint8_t* payload);
  void FreeChunk(size_t index);

  uint32_t chunk_size_;
  std::vector<std::unique_ptr<Chunk>> chunks_;
  std::vector<std::unique_ptr<uint8_t[]>> large_;
  std::vector<char**> owners_;    // indexed by the owner id in record headers
  std::vector<uint32_t> free_ids_;
  uint32_t free_bytes_ = 0;
  uint32_t in_use_ = 0;
};

}  // namespace nor
