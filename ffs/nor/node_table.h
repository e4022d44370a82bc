// The node table in RAM: pages of 20 slots in table order, each slot a
// directory entry, file entry, inode record or free. Slots never move in
// memory while they live, so the links between them are plain pointers;
// entry names live in the volume's name pool with the slot's `name` as owner.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "ffs/nor/checkpoint_codec.h"
#include "ffs/nor/on_flash.h"

namespace nor {

struct NodePage;

struct NodeSlot {
  SlotKind kind = SlotKind::Free;
  NodePage* page = nullptr;  // the page holding this slot
  // Directory and file entries.
  NodeSlot* next = nullptr;    // next sibling
  NodeSlot* prev = nullptr;    // previous sibling
  NodeSlot* inode = nullptr;   // the entry's inode record
  NodeSlot* parent = nullptr;  // the directory entry holding it
  NodeSlot* child = nullptr;   // directory entries: first child
  char* name = nullptr;        // NUL-terminated, in the name pool
  bool unlinked = false;       // removed from its directory while open
  void* open_block = nullptr;  // file layer: the control block holding it open
  // Inode records.
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
  uint8_t open_count = 0;  // file layer only
  uint8_t access = 0;      // file layer only
  uint32_t attributes = 0;
  uint8_t filler = 0;

  bool IsEntry() const { return kind == SlotKind::Directory || kind == SlotKind::File; }
  // Index of this slot within its page.
  uint32_t Index() const;
  // Node reference as stored: (slot << 16) | (page + 1).
  uint32_t Ref() const;
};

struct NodePage {
  uint32_t number = 0;  // position in table order, from 0
  uint32_t free_count = 0;
  std::array<NodeSlot, kSlotsPerPage> slots;
};

class NamePool;

class NodeTable {
 public:
  std::vector<std::unique_ptr<NodePage>> pages;
  uint32_t free_slots = 0;
  // No page before this one has a free slot: where the search for one starts.
  size_t first_free_page = 0;

  uint32_t slot_count() const { return uint32_t(pages.size()) * kSlotsPerPage; }
  NodeSlot* Root() { return pages.empty() ? nullptr : &pages[0]->slots[0]; }
  // Appends an empty page (all slots free); null when memory runs out.
  NodePage* AppendPage();
  // The slot a stored reference names; null for none or out of range.
  NodeSlot* Resolve(uint32_t ref) const;
  // Returns a slot to its page: kind free, name released, fields reset.
  void FreeSlot(NodeSlot& slot, NamePool& names);
  // Frees every name and page.
  void Clear(NamePool& names);
};

// Stored form of a slot, references resolved to node references.
SlotRecord ToRecord(const NodeSlot& slot);
// Copies the stored fields of a record into a slot (no links, no name).
void FillFromRecord(NodeSlot& slot, const SlotRecord& record);

}  // namespace nor
