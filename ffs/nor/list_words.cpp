// Word counts of the free list and the chain section, moved by allocation
// and cluster replacement. A chain's words are 2 (first cluster and end)
// plus, per link, 1 for a link to a non-consecutive cluster and 2 for the
// first link of a run of consecutive ones; so a change of one link moves
// only the words of the links beside it.
#include "ffs/nor/list_words.h"

#include "ffs/nor/list_codec.h"
#include "ffs/nor/volume.h"

namespace nor {

namespace {

bool InChain(const Volume& v, uint32_t c) {
  const uint16_t state = v.clusters[c].state;
  return state == kStateChainStart || state < v.geo.cluster_count;
}

// Words the link from `c` to its successor adds to its chain's encoding.
uint32_t LinkWords(const Volume& v, uint32_t c) {
  const Geometry& g = v.geo;
  const uint32_t next = v.clusters[c].link;
  if (next >= g.cluster_count) return 0;
  if (next != g.StepOverHeader(c)) return 1;
  const uint32_t prev = v.clusters[c].state;
  if (prev >= g.cluster_count) return 2;  // the chain's first link opens a run
  return v.clusters[prev].link == c && c == g.StepOverHeader(prev) ? 0 : 2;
}

}  // namespace

ListWords CountListWords(const Volume& v) {
  const Geometry& g = v.geo;
  ListWords w;
  w.known = true;
  auto unusable = [&v](uint32_t s) { return !v.SectorUsable(s); };
  w.free_words = uint32_t(FreeListWordCount(
      g, v.free_head, [&v](uint32_t c) { return v.clusters[c].link; },
      [&v](uint32_t c) { return v.clusters[c].state == kStateFree; }, unusable));
  ClusterList chain;
  for (uint32_t first = 0; first < g.cluster_count; ++first) {
    if (v.clusters[first].state != kStateChainStart) continue;
    chain.assign(1, uint16_t(first));
    for (uint32_t c = v.clusters[first].link; c < g.cluster_count && chain.size() < g.cluster_count;
         c = v.clusters[c].link) {
      chain.push_back(uint16_t(c));
    }
    w.chain_words += uint32_t(ChainWordCount(g, chain));
  }
  return w;
}

void ForgetListWords(Volume& v) { v.list_words.known = false; }

void CountFreeHeadTaken(Volume& v, uint32_t taken) {
  ListWords& w = v.list_words;
  if (!w.known) return;
  const uint32_t next = v.free_head;
  if (next >= v.geo.cluster_count || v.clusters[next].state != kStateFree) {
    w.free_words = 0;  // it was the whole list: one last pair
    return;
  }
  const uint32_t step =
      StepFreeBy(v.geo, taken, [&v](uint32_t s) { return !v.SectorUsable(s); });
  if (next != step) w.free_words -= 2;  // its pair named the next run
}

void CountChainAppend(Volume& v, uint32_t last, uint32_t cluster) {
  ListWords& w = v.list_words;
  if (!w.known) return;
  if (last >= v.geo.cluster_count) {
    w.chain_words += 2;
    return;
  }
  if (!InChain(v, last) || v.clusters[last].link != kChainEnd) {
    w.known = false;
    return;
  }
  // Counted as if the link were already in place.
  const uint16_t saved = v.clusters[last].link;
  v.clusters[last].link = uint16_t(cluster);
  w.chain_words += LinkWords(v, last);
  v.clusters[last].link = saved;
}

uint32_t ChainWordsAround(const Volume& v, uint32_t cluster) {
  const uint32_t n = v.geo.cluster_count;
  const ClusterEntry& e = v.clusters[cluster];
  uint32_t words = LinkWords(v, cluster);
  if (e.state < n) words += LinkWords(v, e.state);
  if (e.link < n) words += LinkWords(v, e.link);
  return words;
}

void CountChainReplace(Volume& v, uint32_t before, uint32_t after) {
  ListWords& w = v.list_words;
  if (w.known) w.chain_words = w.chain_words + after - before;
}

}  // namespace nor
