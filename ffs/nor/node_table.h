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

// A slot in RAM: links as pointers; an inode record's fields as stored.
// Whether a file is open is the file layer's business (its control blocks).
struct NodeSlot : InodeFields {
  SlotKind kind = SlotKind::Free;
  NodePage* page = nullptr;  // the page holding this slot
  // Directory and file entries.
  NodeSlot* next = nullptr;    // next sibling
  NodeSlot* prev = nullptr;    // previous sibling
  NodeSlot* inode = nullptr;   // the entry's inode record
  NodeSlot* parent = nullptr;  // the directory entry holding it
  NodeSlot* child = nullptr;   // directory entries: first child
  char* name = nullptr;        // NUL-terminated, in the name pool
  // A file entry removed from its directory while open: stored with
  // kRefUnlinked in both sibling links, freed at its last close or, when
  // space was lost, by recovery at the next mount.
  bool unlinked = false;

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
