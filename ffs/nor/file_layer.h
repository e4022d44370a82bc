// The file layer as the sector manager sees it: the one way it reaches
// upwards. The file layer's open files and directory listings name node
// slots and clusters, which the sector manager moves (page compaction,
// copy-on-write, recycling) or drops (format in place); it tells the file
// layer of each such change, and format asks it for the stamp of the new
// root. The file system implements it; its volume layer holds it.
#pragma once

#include <cstdint>

#include "ffs/nor/volume_record.h"

namespace nor {

struct NodeSlot;

// Owner, group and time stamp of a new inode record.
struct InodeStamp {
  uint16_t uid = 0;
  uint16_t gid = 0;
  uint32_t time = 0;
};

class FileLayer {
 public:
  // A node slot moved: whatever named `from` names `to` afterwards.
  virtual void SlotMoved(const VolumeRecord& volume, const NodeSlot* from, NodeSlot* to) = 0;
  // A live cluster moved: every position on `from` is on `to` afterwards.
  virtual void ClusterMoved(const VolumeRecord& volume, uint32_t from, uint32_t to) = 0;
  // Format in place dropped the volume's tree: the open files and listings
  // of the volume are let go without writing anything back.
  virtual void TreeDropped(VolumeRecord& volume) = 0;
  // The owner, group and time stamp a new inode record gets.
  virtual InodeStamp NewInodeStamp() = 0;

 protected:
  ~FileLayer() = default;
};

// The file layer above a volume, or null when there is none.
inline FileLayer* FileLayerOf(const VolumeRecord* volume) { return nor_layer_of(volume).files; }

}  // namespace nor
