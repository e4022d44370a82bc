// Name pool records and chunks. Invariant: a chunk's records are packed from
// offset 12 without gaps, each header's offset field names its own position,
// and every owner pointer points at its record's payload.
#include "ffs/nor/name_pool.h"

#include <cstring>
#include <new>

namespace nor {

namespace {

struct Header {
  uint32_t owner;
  uint16_t size;
  uint16_t offset;  // record offset in its chunk / 4; kLargeMark for large records
};

Header LoadHeader(const uint8_t* record) {
  Header h;
  std::memcpy(&h.owner, record, 4);
  std::memcpy(&h.size, record + 4, 2);
  std::memcpy(&h.offset, record + 6, 2);
  return h;
}

void StoreHeader(uint8_t* record, const Header& h) {
  std::memcpy(record, &h.owner, 4);
  std::memcpy(record + 4, &h.size, 2);
  std::memcpy(record + 6, &h.offset, 2);
}

uint8_t* RecordOf(char* payload) {
  return reinterpret_cast<uint8_t*>(payload) - NamePool::kRecordHeader;
}

}  // namespace

NamePool::NamePool(uint32_t chunk_size) : chunk_size_(chunk_size) {}

NamePool::~NamePool() {
  for (char** owner : owners_) {
    if (owner) *owner = nullptr;
  }
}

uint32_t NamePool::PayloadLength(uint32_t size) {
  uint32_t at_least = size < 8 ? 8 : size;
  return (at_least + 3) & ~3u;
}

uint32_t NamePool::NewOwnerId(char** owner) {
  if (!free_ids_.empty()) {
    uint32_t id = free_ids_.back();
    free_ids_.pop_back();
    owners_[id] = owner;
    return id;
  }
  owners_.push_back(owner);
  return uint32_t(owners_.size() - 1);
}

NamePool::Chunk* NamePool::AppendChunk() {
  auto chunk = std::make_unique<Chunk>();
  chunk->bytes.reset(new (std::nothrow) uint8_t[chunk_size_]);
  if (!chunk->bytes) return nullptr;
  std::memset(chunk->bytes.get(), 0, kChunkHeader);
  chunk->free = capacity();
  free_bytes_ += chunk->free;
  chunks_.push_back(std::move(chunk));
  return chunks_.back().get();
}

void NamePool::Place(Chunk& chunk, uint32_t owner_id, uint16_t size, const uint8_t* payload) {
  const uint32_t p = PayloadLength(size);
  const uint32_t at = chunk.End(chunk_size_);
  uint8_t* record = chunk.bytes.get() + at;
  StoreHeader(record, Header{owner_id, size, uint16_t(at / 4)});
  if (payload) std::memmove(record + kRecordHeader, payload, p);
  chunk.free -= p + kRecordHeader;
  *owners_[owner_id] = reinterpret_cast<char*>(record + kRecordHeader);
}

char* NamePool::Store(char** owner, uint32_t size) {
  const uint32_t p = PayloadLength(size);
  const uint32_t r = p + kRecordHeader;
  if (p > largest_payload()) {
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[r]);
    if (!block) return nullptr;
    StoreHeader(block.get(), Header{NewOwnerId(owner), kLargeMark, kLargeMark});
    *owner = reinterpret_cast<char*>(block.get() + kRecordHeader);
    large_.push_back(std::move(block));
    return *owner;
  }
  Chunk* best = nullptr;
  if (free_bytes_ >= r) {
    for (auto& chunk : chunks_) {
      if (chunk->free >= r && (!best || chunk->free < best->free)) best = chunk.get();
    }
  }
  if (!best && !(best = AppendChunk())) return nullptr;
  Place(*best, NewOwnerId(owner), uint16_t(size), nullptr);
  free_bytes_ -= r;
  in_use_ += p;
  return *owner;
}

char* NamePool::StoreString(char** owner, const char* text, uint32_t length) {
  char* payload = Store(owner, length + 1);
  if (payload) {
    std::memcpy(payload, text, length);
    payload[length] = '\0';
  }
  return payload;
}

size_t NamePool::ChunkOf(const uint8_t* record) const {
  for (size_t i = 0; i < chunks_.size(); ++i) {
    const uint8_t* base = chunks_[i]->bytes.get();
    if (record >= base && record < base + chunk_size_) return i;
  }
  return chunks_.size();
}

void NamePool::CloseUp(Chunk& chunk) {
  uint8_t* base = chunk.bytes.get();
  const uint32_t end = chunk.End(chunk_size_);
  uint32_t write = kChunkHeader;
  for (uint32_t read = kChunkHeader; read < end;) {
    Header h = LoadHeader(base + read);
    const uint32_t r = PayloadLength(h.size) + kRecordHeader;
    if (h.offset != kLargeMark) {
      if (write != read) std::memmove(base + write, base + read, r);
      h.offset = uint16_t(write / 4);
      StoreHeader(base + write, h);
      *owners_[h.owner] = reinterpret_cast<char*>(base + write + kRecordHeader);
      write += r;
    }
    read += r;
  }
  chunk.free = chunk_size_ - write;
}

void NamePool::FreeChunk(size_t index) {
  free_bytes_ -= chunks_[index]->free;
  chunks_.erase(chunks_.begin() + long(index));
}

void NamePool::Release(char** owner) {
  if (!owner || !*owner) return;
  uint8_t* record = RecordOf(*owner);
  Header h = LoadHeader(record);
  owners_[h.owner] = nullptr;
  free_ids_.push_back(h.owner);
  *owner = nullptr;
  if (h.offset == kLargeMark) {
    for (size_t i = 0; i < large_.size(); ++i) {
      if (large_[i].get() == record) {
        large_.erase(large_.begin() + long(i));
        break;
      }
    }
    return;
  }
  size_t index = ChunkOf(record);
  if (index == chunks_.size()) return;
  Chunk& chunk = *chunks_[index];
  const uint32_t p = PayloadLength(h.size);
  const uint32_t before = chunk.free;
  h.offset = kLargeMark;  // dropped by the close-up
  StoreHeader(record, h);
  CloseUp(chunk);
  free_bytes_ += chunk.free - before;
  in_use_ -= p;
  if (chunk.free == capacity()) FreeChunk(index);
}

void NamePool::HandOver(char** old_owner, char** new_owner) {
  if (!old_owner || !*old_owner) return;
  Header h = LoadHeader(RecordOf(*old_owner));
  owners_[h.owner] = new_owner;
  *new_owner = *old_owner;
  *old_owner = nullptr;
}

uint32_t NamePool::StoredLength(char* const* owner) const {
  if (!owner || !*owner) return 0;
  Header h = LoadHeader(RecordOf(*owner));
  if (h.offset == kLargeMark) return uint32_t(std::strlen(*owner)) + 1;
  return h.size;
}

void NamePool::Compact() {
  if (free_bytes_ < capacity()) return;
  for (size_t i = 0; i < chunks_.size(); ++i) {
    Chunk& target = *chunks_[i];
    for (size_t j = i + 1; j < chunks_.size() && target.free >= kRecordHeader;) {
      Chunk& source = *chunks_[j];
      uint8_t* base = source.bytes.get();
      const uint32_t end = source.End(chunk_size_);
      bool moved = false;
      for (uint32_t at = kChunkHeader; at < end;) {
        Header h = LoadHeader(base + at);
        const uint32_t r = PayloadLength(h.size) + kRecordHeader;
        if (r <= target.free) {
          Place(target, h.owner, h.size, base + at + kRecordHeader);
          h.offset = kLargeMark;  // moved out; dropped by the close-up
          StoreHeader(base + at, h);
          moved = true;
        }
        at += r;
      }
      if (!moved) {
        ++j;
        continue;
      }
      CloseUp(source);
      if (source.free == capacity()) {
        FreeChunk(j);
      } else {
        ++j;
      }
    }
  }
  // Records only moved between chunks; recount what the freed chunks left.
  free_bytes_ = 0;
  for (auto& chunk : chunks_) free_bytes_ += chunk->free;
}

}  // namespace nor
