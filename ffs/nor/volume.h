// The RAM state of a mounted NOR volume (cluster map, sector table,
// recycling queue, node table, name pool, checkpoint counters) and the
// cluster operations through which it reaches the flash. Every device call
// goes straight to the volume record's flash device.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ffs/nor/checkpoint_stream.h"
#include "ffs/nor/cluster_cache.h"
#include "ffs/nor/geometry.h"
#include "ffs/nor/list_words.h"
#include "ffs/nor/node_bytes.h"
#include "ffs/nor/name_pool.h"
#include "ffs/nor/node_table.h"
#include "ffs/nor/volume_record.h"

namespace nor {

struct ClusterEntry {
  uint16_t link = kChainEnd;     // next cluster of its chain or list
  uint16_t state = kStateDirty;  // free, dirty, unusable, chain start, or predecessor
};

// Sector flag bits.
constexpr uint8_t kSectorCheckpoint = 0x1;  // holds the current checkpoint or its area
constexpr uint8_t kSectorUnusable = 0x2;
constexpr uint8_t kSectorStale = 0x4;       // holds clusters the last checkpoint still uses

struct SectorEntry {
  uint32_t erase_count = 0;
  uint32_t read_count = 0;  // blocks read since format
  uint16_t used = 0;        // clusters in file or directory chains
  uint8_t flags = 0;
};

class Volume : public ClusterIo {
 public:
  Volume(VolumeRecord* record, const Geometry& geometry);
  ~Volume() override;
  Volume(const Volume&) = delete;
  Volume& operator=(const Volume&) = delete;

  // Geometry of a registered volume record (header clusters included).
  static bool GeometryOf(const VolumeRecord* record, Geometry& out);

  // --- Cluster operations; failures set the error number (EIO). ---
  // Checkpoint stream access: no read counting, no clean mark.
  bool ReadCluster(uint32_t cluster, uint8_t* dst) override;
  bool WriteCluster(uint32_t cluster, const uint8_t* src) override;
  // File and directory data: reads count towards the sector's read count;
  // a data write first sets the newest checkpoint's clean mark.
  bool ReadDataCluster(uint32_t cluster, uint8_t* dst);
  bool WriteDataCluster(uint32_t cluster, const uint8_t* src);
  bool ReadBytes(uint32_t address, uint8_t* dst, uint32_t count);
  bool ProgramByte(uint32_t address, uint8_t value);
  // Result in `erased`: every block of the cluster tests erased.
  bool IsClusterErased(uint32_t cluster, bool& erased);
  // Zeroes the signature, erases, counts the erase and signs "QM13".
  bool EraseSector(uint32_t sector);
  bool WriteSignature(uint32_t sector, bool valid);
  bool MarkCheckpointStart(uint32_t cluster);
  // Programs the last byte of the newest checkpoint and clears the clean flag.
  bool SetCleanMark();

  bool ReadOnly() const { return (record->flags & FFS_VF_READ_ONLY) != 0; }
  bool Writable() const { return !ReadOnly(); }
  // No NOR volume tolerates an unusable sector: one turns the volume
  // read-only and the caller fails with EIO.
  bool TooManyUnusable();
  // Every cluster of the chain becomes dirty; its sector's used count falls
  // and the sector keeps flag bit 2 until the next checkpoint.
  void ReleaseChain(uint32_t first);
  // Makes the given clusters, in order, the whole free list (states, links,
  // head, tail and count).
  void SetFreeList(const std::vector<uint16_t>& list);
  // Free list in order, from the RAM links (bounded by the cluster count).
  std::vector<uint16_t> FreeList() const;
  // Frees a node slot (and its name); the checkpoint estimate loses what
  // the slot's record took beyond its kind byte.
  void FreeNodeSlot(NodeSlot& slot);
  // Moves the checkpoint length estimate by delta bytes (never below 0).
  void AdjustEstimate(int64_t delta);
  // A change of the node table by `delta` checkpoint bytes (a record added
  // or freed, a name grown, a page added or dropped): estimate and kept bytes.
  void AdjustNodeBytes(int64_t delta);
  // Sector-level helpers used by mount and commit.
  bool SectorUsable(uint32_t sector) const { return !(sectors[sector].flags & kSectorUnusable); }

  VolumeRecord* record;
  Geometry geo;
  // The error number of the file system the volume is registered with.
  int& error;

  std::vector<ClusterEntry> clusters;
  std::vector<SectorEntry> sectors;
  std::vector<uint32_t> recycle_queue;
  uint32_t queue_capacity = 1;
  NodeTable nodes;  // declared before the pool: the pool clears owners on its way out
  NamePool names;

  // Counters restored from the checkpoint.
  uint32_t sequence = 0;
  uint32_t next_serial = 1;
  uint32_t free_head = kNone32;
  uint32_t free_tail = kNone32;
  uint32_t free_count = 0;
  uint32_t max_erase = 0;
  uint32_t stream_length = 0;
  uint32_t cursor = kNone32;
  unsigned version = kVersionWritten;

  // RAM only.
  uint32_t checkpoint_first = kNone32;
  uint32_t checkpoint_last = kNone32;
  uint32_t checkpoint_clusters = 0;
  uint32_t used_clusters = 0;
  // Clean: the newest checkpoint's clean mark (its last byte) is still 0xFF.
  // The first data write after a commit programs the mark to 0x00 and clears
  // the flag, so a mount knows whether anything was written behind the
  // checkpoint; each commit sets it again. (Unlike FFS_VF_COMMITTED, which
  // tracks the RAM state, this one tracks the flash.)
  bool clean = false;
  // Upper bound of the stream length the next commit writes: exact at each
  // recount, then raised by every node, name and chain change that can make
  // the checkpoint longer and lowered by every node freed.
  uint32_t estimated_length = 0;
  ListWords list_words;           // list word counts between recounts
  NodeBytes node_bytes;           // the node table's bytes between recounts
  uint32_t break_counter = 0;     // allocations that broke the free list's run
  const NodeSlot* last_owner = nullptr;  // inode of the previous allocation
  uint32_t recycle_passes = 0;    // passes of the current recycling run
  int choice_mode = 1;            // mode of the last victim choice
  bool recycling = false;         // a recycling run is in progress
  uint32_t noted_first = kNone32;  // format: sectors of the old checkpoint,
  uint32_t noted_last = kNone32;   // erased after the first new checkpoint
  std::unique_ptr<ClusterCache> cache;

 private:
  bool DeviceFailed(int result, bool minus_one_spares_flag);
  std::vector<uint8_t> block_;
};

// Sets the error number of the volume's file system and answers false.
inline bool Failed(const VolumeRecord* record, int error) {
  ffs_error_of(record) = error;
  return false;
}

}  // namespace nor
