// Builds flash images for the sector manager's tests from the encoders:
// signed sectors, checkpoints with their own chains, start bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ffs/nor/checkpoint_codec.h"
#include "ffs/nor/checkpoint_stream.h"
#include "ffs/nor/list_codec.h"
#include "tests/ffs/nor/test_flash.h"

namespace nortest {

// Whole-cluster access straight to the test flash (programming semantics).
class FlashIo : public nor::ClusterIo {
 public:
  explicit FlashIo(TestFlash& f) : f_(f) {}
  bool ReadCluster(uint32_t c, uint8_t* dst) override;
  bool WriteCluster(uint32_t c, const uint8_t* src) override;
  uint32_t reads = 0;
  uint32_t writes = 0;

 private:
  TestFlash& f_;
};

struct CheckpointModel {
  nor::CheckpointPrelude prelude;
  std::vector<nor::SlotRecord> slots;     // padded with free slots to whole pages
  nor::ClusterList free_list;
  std::vector<nor::ClusterList> chains;   // file and directory chains
};

// Root directory entry "TmpDisc" (slot 0) with its inode record (slot 1).
std::vector<nor::SlotRecord> RootSlots();
nor::SlotRecord DirEntry(const std::string& name, uint32_t inode, uint32_t parent,
                         uint32_t next = nor::kRefNone, uint32_t prev = nor::kRefNone,
                         uint32_t child = nor::kRefNone);
nor::SlotRecord FileEntry(const std::string& name, uint32_t inode, uint32_t parent,
                          uint32_t next = nor::kRefNone, uint32_t prev = nor::kRefNone);
nor::SlotRecord Inode(uint32_t serial, uint16_t first = nor::kNoCluster,
                      uint16_t last = nor::kNoCluster, uint32_t size = 0);

// A fresh volume: every data cluster free in ascending sector order except
// those of `checkpoint_sector`.
CheckpointModel FreshModel(const nor::Geometry& g, uint32_t checkpoint_sector, uint32_t sequence);

// The stream content of a model whose checkpoint occupies `own_chain`.
std::vector<uint8_t> EncodeContent(const nor::Geometry& g, const CheckpointModel& m,
                                   const nor::ClusterList& own_chain);

// Clusters from `first` upwards through its sector, continuing at the first
// data cluster of each sector of `more_sectors` in turn.
nor::ClusterList LayChain(const nor::Geometry& g, uint32_t first, uint32_t count,
                          const std::vector<uint32_t>& more_sectors = {});

// Writes the model as a checkpoint starting at `first` (continuing into
// `more_sectors`), and clears its start bit unless told not to. Returns the
// checkpoint's chain.
nor::ClusterList WriteCheckpoint(TestFlash& f, const CheckpointModel& m, uint32_t first,
                                 const std::vector<uint32_t>& more_sectors = {},
                                 bool mark_start = true);

void SignAll(TestFlash& f);
void SignSector(TestFlash& f, uint32_t sector);

// A signed, freshly formatted image with its checkpoint in the last sector.
CheckpointModel WriteFreshImage(TestFlash& f, uint32_t sequence = 1);

}  // namespace nortest
