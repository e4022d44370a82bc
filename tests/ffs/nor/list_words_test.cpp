// The free-list and chain word counts kept between recounts: over random
// growth, rewrites, cuts, releases, syncs and recycling on a small volume,
// whenever the volume holds its counts they equal a full walk of its lists.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ffs/nor/allocate.h"
#include "ffs/nor/commit.h"
#include "ffs/nor/format.h"
#include "ffs/nor/list_words.h"
#include "ffs/nor/mount.h"
#include "tests/ffs/nor/test_flash.h"

using namespace nor;
using namespace nortest;

namespace {

class ListWordCounts : public ::testing::Test {
 protected:
  ListWordCounts() : f(4096, 16) {}

  NodeSlot* NewFile(Volume& v, const std::string& name) {
    NodeSlot* inode = TakeSlot(v);
    NodeSlot* entry = TakeSlot(v);
    if (!inode || !entry) return nullptr;
    inode->kind = SlotKind::Inode;
    inode->links = 1;
    entry->kind = SlotKind::File;
    entry->inode = inode;
    entry->parent = v.nodes.Root();
    entry->next = v.nodes.Root()->child;
    if (entry->next) entry->next->prev = entry;
    v.nodes.Root()->child = entry;
    v.names.StoreString(&entry->name, name.c_str(), uint32_t(name.size()));
    return inode;
  }
  std::vector<uint32_t> Chain(const Volume& v, const NodeSlot* inode) {
    std::vector<uint32_t> chain;
    for (uint32_t c = inode->first_cluster; c < f.geo.cluster_count && chain.size() < f.geo.cluster_count;
         c = v.clusters[c].link) {
      chain.push_back(c);
    }
    return chain;
  }

  TestFlash f;
};

TEST_F(ListWordCounts, EqualAFullWalkOverRandomOperations) {
  int compared = 0;
  for (unsigned seed = 1; seed <= 8; ++seed) {
    f.EraseAll();
    ASSERT_TRUE(FormatVolume(&f.record));
    std::unique_ptr<Volume> v = Mount(&f.record, kMountReclaim);
    ASSERT_TRUE(v);
    std::vector<NodeSlot*> files;
    unsigned r = seed;
    auto next = [&r](unsigned n) { r = r * 1103515245u + 12345u; return (r >> 16) % n; };
    for (int step = 0; step < 400; ++step) {
      const unsigned op = next(12);
      NodeSlot* inode = files.empty() ? nullptr : files[next(unsigned(files.size()))];
      std::vector<uint32_t> chain = inode ? Chain(*v, inode) : std::vector<uint32_t>();
      if (op < 1 || !inode) {
        if (files.size() < 12) {
          if (NodeSlot* made = NewFile(*v, "f" + std::to_string(step))) files.push_back(made);
        }
      } else if (op < 5) {  // grow by a cluster
        if (PrepareAllocation(*v, 0, inode) == 0) {
          if (CacheEntry* e = AllocateCluster(*v, inode)) v->cache->Release(e, false);
        }
      } else if (op < 8 && !chain.empty()) {  // rewrite a cluster: copy-on-write at write-back
        if (CacheEntry* e = v->cache->Get(chain[next(unsigned(chain.size()))], false, inode)) {
          e->buffer[0] ^= 0x5A;
          v->cache->Release(e, true);
        }
      } else if (op < 9 && !chain.empty() && v->cache->Flush() >= 0) {
        // Cut the chain behind a cluster, or release it (as the file layer
        // does: cached copies of the released clusters are forgotten first).
        chain = Chain(*v, inode);  // the flush may have moved rewritten clusters
        const size_t keep = next(unsigned(chain.size()));
        for (size_t i = keep + 1 < chain.size() ? keep + 1 : 0; i < chain.size(); ++i) v->cache->Forget(chain[i]);
        if (keep + 1 < chain.size()) {
          v->clusters[chain[keep]].link = kChainEnd;
          v->clusters[chain[keep + 1]].state = kStateChainStart;
          v->ReleaseChain(chain[keep + 1]);
          inode->last_cluster = uint16_t(chain[keep]);
        } else {
          v->ReleaseChain(chain[0]);
          inode->first_cluster = inode->last_cluster = kNoCluster;
        }
      } else if (op < 11) {
        Sync(*v, 1);  // commits, and recycles when space is short
      } else {
        v->cache->Flush();
      }
      const ListWords walked = CountListWords(*v);
      if (v->list_words.known) {
        ++compared;
        ASSERT_EQ(v->list_words.free_words, walked.free_words) << seed << " " << step << " " << op;
        ASSERT_EQ(v->list_words.chain_words, walked.chain_words) << seed << " " << step << " " << op;
      }
      v->estimated_length = CheckpointEstimate(*v);  // counts known again from here
      ASSERT_TRUE(v->list_words.known);
    }
  }
  EXPECT_GT(compared, 2000);
}

}  // namespace
