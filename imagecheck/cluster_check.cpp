// The cluster side of the volume check: every cluster in exactly one of a
// chain, the free list, dirty or header; the free list linked, counted,
// made of whole sector tails and erased; chains acyclic and inside the
// geometry; the sector table's counts and flags; the newest checkpoint as
// stored; the sector signatures. Every walk is bounded by the cluster count.
#include <algorithm>
#include <string>

#include "imagecheck/check_internal.h"
#include "imagecheck/cluster_facts.h"
#include "ffs/nor/mount.h"
#include "ffs/nor/sector_header.h"

namespace inspect {

namespace {

using nor::Volume;

std::string Num(std::uint32_t n) { return std::to_string(n); }
std::string Cl(std::uint32_t c) { return "cluster " + Num(c); }

// One line per run of consecutive flagged clusters, so that a lost list
// tail or a written region does not give thousands of lines.
void AddRuns(const std::vector<bool>& flagged, const char* one, const char* many, Findings& f) {
  const std::uint32_t n = std::uint32_t(flagged.size());
  for (std::uint32_t k = 0; k < n;) {
    if (!flagged[k]) {
      ++k;
      continue;
    }
    std::uint32_t end = k;
    while (end + 1 < n && flagged[end + 1]) ++end;
    if (end == k) f.Add("free " + Cl(k) + " " + one);
    else f.Add("free clusters " + Num(k) + " to " + Num(end) + " " + many);
    k = end + 1;
  }
}

// States each cluster may hold by where it lies.
void CheckStates(const Volume& v, Findings& f) {
  const nor::Geometry& g = v.geo;
  for (std::uint32_t c = 0; c < g.cluster_count; ++c) {
    const std::uint16_t state = v.clusters[c].state;
    const bool unusable = !v.SectorUsable(g.SectorOf(c));
    if (g.IsHeader(c) || unusable) {
      if (state != nor::kStateUnusable)
        f.Add("header " + Cl(c) + " is not marked unusable");
    } else if (state == nor::kStateUnusable) {
      f.Add(Cl(c) + " of a usable sector is marked unusable");
    } else if (state < nor::kStateChainStart && state >= g.cluster_count) {
      f.Add(Cl(c) + " names predecessor " + Num(state) + ", beyond the volume");
    }
  }
}

// The free list: linked from the head, counted, ending at the tail, made of
// whole sector tails, holding every free cluster, erased.
void CheckFreeList(Volume& v, Findings& f) {
  const nor::Geometry& g = v.geo;
  const std::uint32_t n = g.cluster_count;
  std::vector<bool> listed(n, false);
  std::vector<std::uint32_t> list;
  std::uint32_t c = v.free_head;
  while (c != nor::kNone32 && c != nor::kChainEnd) {
    if (c >= n) {
      f.Add("the free list leaves the volume at " + Cl(c));
      break;
    }
    if (v.clusters[c].state != nor::kStateFree) {
      f.Add("free-list " + Cl(c) + " is not marked free");
      break;
    }
    if (listed[c]) {
      f.Add("the free list loops at " + Cl(c));
      break;
    }
    listed[c] = true;
    list.push_back(c);
    c = v.clusters[c].link;
  }
  if (list.size() != v.free_count)
    f.Add("free count " + Num(v.free_count) + " but the free list holds " + Num(list.size()) +
          " clusters");
  const std::uint32_t tail = list.empty() ? nor::kNone32 : list.back();
  if (tail != v.free_tail)
    f.Add("free tail " + Num(v.free_tail) + " but the free list ends at " + Num(tail));
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::uint32_t at = list[i];
    const bool startsSector = at == g.FirstDataCluster(g.SectorOf(at));
    if (i > 0) {
      const std::uint32_t before = list[i - 1];
      const bool ok = g.IsLastOfSector(before) ? startsSector : at == before + 1;
      if (!ok) f.Add("the free list breaks its sector order at " + Cl(at) + " after " + Num(before));
    }
  }
  if (!list.empty() && !g.IsLastOfSector(list.back()))
    f.Add("the free list ends at " + Cl(list.back()) + ", short of its sector's end");
  std::vector<bool> lost(n, false), written(n, false);
  for (std::uint32_t k = 0; k < n; ++k)
    lost[k] = v.clusters[k].state == nor::kStateFree && !listed[k];
  for (std::uint32_t k : list) {
    bool erased = true;
    v.IsClusterErased(k, erased);
    written[k] = !erased;
  }
  AddRuns(lost, "is not on the free list", "are not on the free list", f);
  AddRuns(written, "is not erased", "are not erased", f);
}

// Every chain from its start: each member names its predecessor, no cluster
// twice, inside the volume. Members no chain reaches are reported.
void CheckChains(const Volume& v, Findings& f) {
  const std::uint32_t n = v.geo.cluster_count;
  std::vector<bool> member(n, false);
  for (std::uint32_t start = 0; start < n; ++start) {
    if (v.clusters[start].state != nor::kStateChainStart) continue;
    member[start] = true;
    ChainFacts facts{1, start};
    std::uint32_t c = start;
    for (;;) {
      const std::uint32_t next = v.clusters[c].link;
      if (next == nor::kChainEnd) break;
      if (next >= n) {
        f.Add("chain at " + Cl(start) + " leaves the volume after " + Cl(c));
        break;
      }
      if (member[next]) {
        f.Add("chain at " + Cl(start) + " meets " + Cl(next) + " a second time");
        break;
      }
      if (v.clusters[next].state != c) {
        f.Add("chain at " + Cl(start) + ": " + Cl(next) + " does not name " + Num(c) +
              " as its predecessor");
        break;
      }
      member[next] = true;
      ++facts.length;
      facts.last = next;
      c = next;
    }
    f.chains[start] = facts;
  }
  for (std::uint32_t c = 0; c < n; ++c)
    if (v.clusters[c].state < nor::kStateChainStart && !member[c])
      f.Add(Cl(c) + " names predecessor " + Num(v.clusters[c].state) + " but no chain holds it");
}

// Used counts and checkpoint flags of the sector table; the maximum erase count.
void CheckSectorTable(const Volume& v, Findings& f) {
  const nor::Geometry& g = v.geo;
  const std::vector<SectorCounts> counts = CountSectors(v);
  const std::vector<bool> checkpoint = CheckpointClusters(v);
  std::vector<bool> holdsCheckpoint(g.sector_count, false);
  for (std::uint32_t c = 0; c < g.cluster_count; ++c)
    if (checkpoint[c]) holdsCheckpoint[g.SectorOf(c)] = true;
  if (v.cursor < g.cluster_count) holdsCheckpoint[g.SectorOf(v.cursor)] = true;
  std::uint64_t used = 0;
  std::uint32_t maxErase = 0;
  for (std::uint32_t s = 0; s < g.sector_count; ++s) {
    const nor::SectorEntry& e = v.sectors[s];
    used += e.used;
    maxErase = std::max(maxErase, e.erase_count);
    if (e.used != counts[s].used)
      f.Add("sector " + Num(s) + " counts " + Num(e.used) + " used clusters but holds " +
            Num(counts[s].used));
    if (holdsCheckpoint[s] && !(e.flags & nor::kSectorCheckpoint))
      f.Add("sector " + Num(s) + " holds the checkpoint or its area but is not flagged so");
  }
  if (used != v.used_clusters)
    f.Add("the volume counts " + Num(v.used_clusters) + " used clusters, its sectors " + Num(used));
  if (maxErase != v.max_erase)
    f.Add("maximum erase count " + Num(v.max_erase) + " but the highest sector count is " +
          Num(maxErase));
}

// The newest checkpoint: its chain, start bit, clean mark and area.
void CheckCheckpoint(Volume& v, Findings& f) {
  const nor::Geometry& g = v.geo;
  const auto chain = f.chains.find(v.checkpoint_first);
  if (v.checkpoint_first >= g.cluster_count || chain == f.chains.end()) {
    f.Add("the checkpoint's first " + Cl(v.checkpoint_first) + " starts no chain");
    return;
  }
  if (chain->second.length != v.checkpoint_clusters || chain->second.last != v.checkpoint_last)
    f.Add("the checkpoint counts " + Num(v.checkpoint_clusters) + " clusters ending at " +
          Num(v.checkpoint_last) + ", its chain " + Num(chain->second.length) + " ending at " +
          Num(chain->second.last));
  const std::optional<std::uint32_t> newest = nor::FindNewestCheckpoint(v);
  if (!newest || *newest != v.checkpoint_first)
    f.Add("the newest checkpoint start on flash is not the volume's checkpoint at " +
          Cl(v.checkpoint_first));
  // Before the version that honours it, the mark means nothing: such a
  // checkpoint is taken as not clean whatever its last byte reads.
  std::uint8_t mark = 0;
  if (v.version >= nor::kVersionCleanMark && chain->second.last < g.cluster_count &&
      v.ReadBytes(g.ClusterAddress(chain->second.last) + g.cluster_size - 1, &mark, 1) &&
      v.clean != (mark == nor::kErased))
    f.Add(std::string("the checkpoint is taken as ") + (v.clean ? "clean" : "not clean") +
          " but its clean mark reads " + Num(mark));
  if (v.cursor == nor::kNone32) return;
  if (v.cursor >= g.cluster_count || g.IsHeader(v.cursor)) {
    f.Add("checkpoint area cursor " + Num(v.cursor) + " names no data cluster");
    return;
  }
  for (std::uint32_t c = v.cursor; c <= g.LastCluster(g.SectorOf(v.cursor)); ++c) {
    bool erased = true;
    v.IsClusterErased(c, erased);
    if (v.clusters[c].state != nor::kStateDirty)
      f.Add("checkpoint area " + Cl(c) + " is not held back as dirty");
    if (!erased) f.Add("checkpoint area " + Cl(c) + " is not erased");
  }
}

void CheckSignatures(Volume& v, Findings& f) {
  const nor::Geometry& g = v.geo;
  for (std::uint32_t s = 0; s < g.sector_count; ++s) {
    if (!v.SectorUsable(s)) continue;
    std::uint8_t sig[nor::kSignatureSize] = {};
    if (!v.ReadBytes(g.SectorAddress(s) + nor::SignatureOffset(g), sig, nor::kSignatureSize) ||
        !nor::SignatureVersion(sig))
      f.Add("sector " + Num(s) + " has no valid signature");
  }
}

void CheckQueue(const Volume& v, Findings& f) {
  for (std::uint32_t s : v.recycle_queue) {
    if (s == nor::kNone32) continue;
    if (s >= v.geo.sector_count) f.Add("the recycling queue names sector " + Num(s) + ", beyond the volume");
    else if (v.sectors[s].flags & nor::kSectorCheckpoint)
      f.Add("the recycling queue names sector " + Num(s) + ", which holds the checkpoint");
  }
}

}  // namespace

void CheckClusters(nor::Volume& v, Findings& f) {
  const nor::Geometry& g = v.geo;
  if (v.clusters.size() != g.cluster_count || v.sectors.size() != g.sector_count) {
    f.Add("the RAM tables do not match the geometry");
    return;
  }
  CheckStates(v, f);
  CheckFreeList(v, f);
  CheckChains(v, f);
  CheckSectorTable(v, f);
  CheckCheckpoint(v, f);
  CheckSignatures(v, f);
  CheckQueue(v, f);
}

}  // namespace inspect
