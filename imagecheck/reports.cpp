// Listing, state and sector map of a mounted image. The tree is read with
// the bounded walk; counts come from the RAM tables; the volume statistics
// come from the dispatcher as a program on the relay would ask for them.
#include "imagecheck/reports.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "ffs/ffs.h"
#include "ffs/nor/sector_header.h"
#include "imagecheck/cluster_facts.h"
#include "imagecheck/tree_walk.h"

namespace inspect {

namespace {

using nor::NodeSlot;

const char* Kind(const NodeSlot& e) { return e.kind == nor::SlotKind::Directory ? "dir" : "file"; }

// "QM13", "zeroed", "erased", or the bytes in hex.
std::string SignatureText(const Signature& s) {
  if (nor::SignatureVersion(s.data())) return std::string(s.begin(), s.end());
  if (std::all_of(s.begin(), s.end(), [](std::uint8_t b) { return b == 0x00; })) return "zeroed";
  if (std::all_of(s.begin(), s.end(), [](std::uint8_t b) { return b == 0xFF; })) return "erased";
  char hex[16];
  std::snprintf(hex, sizeof hex, "%02X%02X%02X%02X", s[0], s[1], s[2], s[3]);
  return hex;
}

const char* Role(bool checkpoint, bool area) {
  if (checkpoint && area) return "checkpoint+area";
  if (checkpoint) return "checkpoint";
  if (area) return "area";
  return "-";
}

}  // namespace

void PrintList(ImageSession& session) {
  nor::Volume& v = *session.Volume();
  struct Line {
    std::string path;
    const NodeSlot* entry;
  };
  std::vector<Line> lines;
  std::size_t width = 4;
  WalkTree(
      v,
      [&](const NodeSlot& e, const std::string& path) {
        lines.push_back({path, &e});
        width = std::max(width, path.size());
      },
      [](const std::string&) {});  // ffsinspect check reports a damaged tree
  std::printf("%-*s  %-4s  %10s  %7s  %5s  %s\n", int(width), "PATH", "KIND", "SIZE", "SERIAL",
              "MODE", "LINKS");
  for (const Line& l : lines) {
    const NodeSlot* inode = l.entry->inode;
    if (inode == nullptr) {
      std::printf("%-*s  %-4s  (no inode record)\n", int(width), l.path.c_str(), Kind(*l.entry));
      continue;
    }
    std::printf("%-*s  %-4s  %10" PRIu32 "  %7" PRIu32 "  %05o  %u\n", int(width), l.path.c_str(),
                Kind(*l.entry), inode->size, inode->serial, unsigned(inode->mode),
                unsigned(inode->links));
  }
}

VolumeFacts CollectVolumeFacts(FileSystem& fs, nor::Volume& v, const char* volumeName) {
  VolumeFacts f{};
  f.geometry = v.geo;
  f.sequence = v.sequence;
  f.checkpointFirst = v.checkpoint_first;
  f.checkpointClusters = v.checkpoint_clusters;
  f.version = v.version;
  f.clean = v.clean;
  f.cursor = v.cursor;
  std::set<const NodeSlot*> counted;
  WalkTree(
      v,
      [&](const NodeSlot& e, const std::string& path) {
        if (path == "/") return;
        if (e.kind == nor::SlotKind::Directory) {
          ++f.directories;
        } else {
          ++f.files;
          if (e.inode && counted.insert(e.inode).second) f.bytesInFiles += e.inode->size;
        }
      },
      [](const std::string&) {});
  for (const SectorCounts& s : CountSectors(v)) f.dirtyClusters += s.dirty;
  f.usedClusters = v.used_clusters;
  f.freeClusters = v.free_count;
  f.highestEraseCount = v.max_erase;
  f.haveStats = ffs_volume_stats(fs, volumeName, &f.stats) == 0;
  return f;
}

void PrintStat(ImageSession& session, const char* flashType) {
  const VolumeFacts f = CollectVolumeFacts(session.Files(), *session.Volume(), session.VolumeName());
  const nor::Geometry& g = f.geometry;
  std::printf("image            %s\n", session.Path().c_str());
  std::printf("flash type       %s\n", flashType);
  std::printf("geometry         %u sectors of %u bytes, %u-byte clusters, %u clusters per sector,"
              " %u header cluster(s) per sector, %u clusters\n",
              g.sector_count, g.sector_size, g.cluster_size, g.clusters_per_sector,
              g.header_clusters, g.cluster_count);
  std::printf("checkpoint       sequence %u, first cluster %u, %u cluster(s), version %u, %s\n",
              f.sequence, f.checkpointFirst, f.checkpointClusters, f.version,
              f.clean ? "clean" : "not clean");
  if (f.cursor == nor::kNone32) std::printf("checkpoint area  none\n");
  else std::printf("checkpoint area  next checkpoint at cluster %u\n", f.cursor);
  std::printf("tree             %u director%s besides the root, %u file(s), %" PRIu64 " bytes in files\n",
              f.directories, f.directories == 1 ? "y" : "ies", f.files, f.bytesInFiles);
  std::printf("clusters         %u used, %u free, %u dirty\n", f.usedClusters, f.freeClusters,
              f.dirtyClusters);
  std::printf("erase counts     highest %u\n", f.highestEraseCount);
  if (f.haveStats) {
    std::printf("volume stats     %u free clusters, %u free bytes, %u%% free\n", f.stats.free_clusters,
                f.stats.free_bytes, f.stats.free_percent);
  } else {
    std::printf("volume stats     not available\n");
  }
}

void PrintSectors(ImageSession& session) {
  nor::Volume& v = *session.Volume();
  const nor::Geometry& g = v.geo;
  const std::vector<SectorCounts> counts = CountSectors(v);
  const std::uint32_t areaSector = v.cursor < g.cluster_count ? g.SectorOf(v.cursor) : nor::kNone32;
  std::printf("%6s  %6s  %8s  %5s  %5s  %5s  %5s  %6s  %-15s  %s\n", "SECTOR", "ERASES", "READS",
              "USED", "CKPT", "DIRTY", "FREE", "HEADER", "ROLE", "SIGNATURE");
  std::uint32_t low = UINT32_MAX, high = 0;
  for (std::uint32_t s = 0; s < g.sector_count; ++s) {
    const nor::SectorEntry& e = v.sectors[s];
    const SectorCounts& c = counts[s];
    low = std::min(low, e.erase_count);
    high = std::max(high, e.erase_count);
    std::string signature = SignatureText(session.StoredSignatures()[s]);
    const std::string now = SignatureText(session.MountedSignature(s));
    if (now != signature) signature += " (" + now + " after mount)";
    std::printf("%6u  %6u  %8u  %5u  %5u  %5u  %5u  %6u  %-15s  %s\n", s, e.erase_count,
                e.read_count, c.used, c.checkpoint, c.dirty, c.free, c.header,
                Role(c.checkpoint > 0, s == areaSector), signature.c_str());
  }
  std::printf("erase counts: lowest %u, highest %u, spread %u\n", low, high, high - low);
}

}  // namespace inspect
