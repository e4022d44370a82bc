// Encoding of the checkpoint's fixed part (header, erase-count nibbles,
// format mark, read counts, area cursor) and of single node-table slots.
// Writers always write version 13; readers accept 9 to 13.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ffs/nor/byte_stream.h"
#include "ffs/nor/geometry.h"
#include "ffs/nor/on_flash.h"

namespace nor {

struct CheckpointHeader {
  uint32_t length = 0;
  uint32_t sequence = 0;
  uint32_t slot_count = 0;
  uint32_t chain_words = 0;
  uint32_t next_serial = 1;
  uint32_t free_head = kNone32;
  uint32_t free_tail = kNone32;
  uint32_t free_count = 0;
  uint32_t max_erase = 0;
};

// Everything of the stream in front of the node table.
struct CheckpointPrelude {
  CheckpointHeader header;
  std::vector<uint32_t> erase_counts;  // one per sector, absolute
  unsigned version = kVersionWritten;
  std::vector<uint32_t> read_counts;   // one per sector; zero before version 13
  uint32_t cursor = kNone32;
};

enum class DecodeStatus { Ok, Malformed, BadFormatMark };

uint32_t PreludeBytes(const Geometry& g);
bool WritePrelude(ByteSink& sink, const Geometry& g, const CheckpointPrelude& p);
DecodeStatus ReadPrelude(ByteSource& source, const Geometry& g, CheckpointPrelude& p);

// Erase counts as nibbles below the maximum: high nibble for the even sector.
std::vector<uint8_t> EncodeEraseCounts(uint32_t max_erase, const std::vector<uint32_t>& counts);
std::vector<uint32_t> DecodeEraseCounts(uint32_t max_erase, const std::vector<uint8_t>& bytes,
                                        uint32_t sector_count);

// Node reference: (slot << 16) | (page + 1); kRefNone for none.
inline uint32_t MakeRef(uint32_t page, uint32_t slot) { return (slot << 16) | (page + 1); }

// The fields of an inode record, as stored and as held in RAM (the node
// slot and the stored slot record both carry them).
struct InodeFields {
  uint16_t tail_cluster = kNoCluster;
  uint32_t tail_fill = 0;
  uint32_t time1 = 0;
  uint32_t time2 = 0;
  uint32_t serial = 0;
  uint32_t size = 0;
  uint16_t first_cluster = kNoCluster;
  uint16_t last_cluster = kNoCluster;
  uint16_t uid = 0;
  uint16_t gid = 0;
  uint16_t mode = 0;
  uint8_t links = 0;
  uint32_t attributes = 0;
  uint8_t filler = 0;
};

// One slot of the node table as stored, references unresolved; the inode
// fields count for inode records only.
struct SlotRecord : InodeFields {
  SlotKind kind = SlotKind::Free;
  uint32_t next = kRefNone;    // entries: next sibling
  uint32_t prev = kRefNone;    // entries: second sibling link (previous entry)
  uint32_t inode = kRefNone;   // entries: their inode record
  uint32_t parent = kRefNone;  // entries: parent directory entry
  uint32_t child = kRefNone;   // directory entries: first child
  std::string name;            // entries: at most 64 characters once read
};

// Stored bytes of a slot beyond its kind byte, as the writer emits them.
uint32_t SlotBytes(const Geometry& g, const SlotRecord& s);
uint32_t SlotBytes(const Geometry& g, SlotKind kind, size_t name_length);
bool WriteSlot(ByteSink& sink, const Geometry& g, const SlotRecord& s);
// Reads one slot of a checkpoint of the given version. A kind above 3 is
// Malformed; a name longer than 64 characters is cut to 63 and "*".
DecodeStatus ReadSlot(ByteSource& source, const Geometry& g, unsigned version, SlotRecord& s);

}  // namespace nor
