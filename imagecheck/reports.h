// The three reports of ffsinspect over a mounted image: the tree listing,
// the volume's state and the sector map. Each prints to standard output.
#pragma once

#include <cstdint>

#include "ffs/nor/volume.h"
#include "imagecheck/image_session.h"

namespace inspect {

// What the state report tells of a mounted volume.
struct VolumeFacts {
  nor::Geometry geometry;
  std::uint32_t sequence, checkpointFirst, checkpointClusters, version;
  bool clean;
  std::uint32_t cursor;  // next checkpoint cluster, nor::kNone32 for no area
  std::uint32_t directories, files;  // the root not counted
  std::uint64_t bytesInFiles;        // each file once, however many links
  std::uint32_t usedClusters, freeClusters, dirtyClusters, highestEraseCount;
  bool haveStats;  // the dispatcher answered the volume statistics
  FfsVolumeStats stats;
};
VolumeFacts CollectVolumeFacts(FileSystem& fs, nor::Volume& v, const char* volumeName);

// One line per entry (root first, directories in listing order): path, kind,
// size, serial, mode (octal), link count.
void PrintList(ImageSession& session);
// Geometry, newest checkpoint, tree counts, cluster counts and the volume
// statistics of the dispatcher.
void PrintStat(ImageSession& session, const char* flashType);
// One line per sector and the spread of erase counts.
void PrintSectors(ImageSession& session);

}  // namespace inspect
