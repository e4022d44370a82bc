// Free list and chain encodings. Every decoded run walks strictly upwards
// and every list is bounded by the volume's cluster count, so corrupt input
// can neither run away nor loop.
#include "ffs/nor/list_codec.h"

#include <algorithm>

#include "ffs/nor/on_flash.h"

namespace nor {

uint32_t StepFree(const Geometry& g, uint32_t cluster, const UnusableSector& unusable) {
  uint32_t next = g.StepOverHeader(cluster);
  while (next < g.cluster_count && unusable && unusable(g.SectorOf(next))) {
    next = g.FirstDataCluster(g.SectorOf(next) + 1);
  }
  return next < g.cluster_count ? next : g.cluster_count;
}

std::vector<uint16_t> EncodeFreeList(const Geometry& g, const ClusterList& list,
                                     const UnusableSector& unusable) {
  std::vector<uint16_t> words;
  for (size_t i = 0; i < list.size(); ++i) {
    const bool last = i + 1 == list.size();
    if (!last && list[i + 1] == StepFree(g, list[i], unusable)) continue;
    words.push_back(list[i]);
    words.push_back(last ? kChainEnd : list[i + 1]);
  }
  return words;
}

namespace {

// Walks a run from `from` to `to`; appends the clusters after `from`.
template <typename Step>
bool WalkRun(const Geometry& g, uint32_t from, uint32_t to, Step step, ClusterList& out) {
  if (to >= g.cluster_count || to < from) return false;
  uint32_t c = from;
  while (c != to) {
    c = step(c);
    if (c > to) return false;  // the run end is no cluster of the run
    out.push_back(uint16_t(c));
  }
  return true;
}

bool UsableStart(const Geometry& g, uint32_t c) { return c < g.cluster_count && !g.IsHeader(c); }

}  // namespace

bool ReadFreeList(ByteSource& source, const Geometry& g, uint32_t head,
                  const UnusableSector& unusable, ClusterList& out) {
  out.clear();
  if (head == kNone32) return true;
  uint32_t current = head;
  for (;;) {
    if (!UsableStart(g, current) || out.size() >= g.cluster_count) return false;
    out.push_back(uint16_t(current));
    uint16_t run_end, next;
    if (!GetU16(source, run_end) || !GetU16(source, next)) return false;
    auto step = [&](uint32_t c) { return StepFree(g, c, unusable); };
    if (!WalkRun(g, current, run_end, step, out)) return false;
    if (out.size() > g.cluster_count) return false;
    if (next == kChainEnd) return true;
    current = next;
  }
}

std::vector<uint16_t> EncodeChains(const Geometry& g, std::vector<ClusterList> chains) {
  chains.erase(std::remove_if(chains.begin(), chains.end(),
                              [](const ClusterList& c) { return c.empty(); }),
               chains.end());
  std::sort(chains.begin(), chains.end(),
            [](const ClusterList& a, const ClusterList& b) { return a.front() < b.front(); });
  std::vector<uint16_t> words;
  for (const ClusterList& chain : chains) {
    words.push_back(chain[0]);
    const size_t last = chain.size() - 1;
    size_t i = 0;
    for (;;) {
      if (i == last) {
        words.push_back(kChainEnd);
        break;
      }
      if (chain[i + 1] != g.StepOverHeader(chain[i])) {
        words.push_back(chain[++i]);
        continue;
      }
      size_t j = i + 1;  // the run goes on while clusters stay consecutive
      while (j < last && chain[j + 1] == g.StepOverHeader(chain[j])) ++j;
      words.push_back(kRunMark);
      words.push_back(chain[j]);
      if (j == last) {
        words.push_back(kChainEnd);
        break;
      }
      words.push_back(chain[j + 1]);
      i = j + 1;
    }
  }
  words.push_back(kChainEnd);
  return words;
}

bool ReadChains(ByteSource& source, const Geometry& g, std::vector<ClusterList>& out) {
  out.clear();
  size_t total = 0;
  auto step = [&](uint32_t c) { return g.StepOverHeader(c); };
  for (;;) {
    uint16_t first;
    if (!GetU16(source, first)) return false;
    if (first == kChainEnd) return true;
    if (first >= g.cluster_count) return false;
    ClusterList chain{first};
    for (;;) {
      if (total + chain.size() > g.cluster_count) return false;
      uint16_t word;
      if (!GetU16(source, word)) return false;
      if (word == kChainEnd) break;
      if (word == kRunMark) {
        uint16_t run_end, next;
        if (!GetU16(source, run_end) || !GetU16(source, next)) return false;
        if (!WalkRun(g, chain.back(), run_end, step, chain)) return false;
        if (next == kChainEnd) break;
        word = next;
      }
      if (word >= g.cluster_count) return false;
      chain.push_back(word);
    }
    total += chain.size();
    if (total > g.cluster_count) return false;
    out.push_back(std::move(chain));
  }
}

bool WriteWords(ByteSink& sink, const std::vector<uint16_t>& words) {
  for (uint16_t w : words) {
    if (!PutU16(sink, w)) return false;
  }
  return true;
}

}  // namespace nor
