// The node side of the volume check: the tree's links symmetric and
// acyclic, every entry reachable, names the file API accepts and unique in
// their directory, link counts, unique serials, node page counts, and each
// inode's chain and size agreeing with the cluster map (tail invariant:
// every cluster but the last is full; size = CS x (clusters - 1) + tail fill
// while a tail exists, CS x clusters otherwise).
#include <map>
#include <set>
#include <string>
#include <utility>

#include "imagecheck/check_internal.h"
#include "imagecheck/tree_walk.h"
#include "ffs/file_system.h"
#include "ffs/volume_table.h"

namespace inspect {

namespace {

using nor::NodeSlot;
using nor::SlotKind;

std::string Num(std::uint32_t n) { return std::to_string(n); }

struct TreeFacts {
  std::set<const NodeSlot*> reached;
  std::map<const NodeSlot*, std::uint32_t> treeLinks;  // inode -> entries naming it
  std::map<const NodeSlot*, std::string> inodePath;    // inode -> one entry's path
};

void CheckEntry(FileSystem& fs, const NodeSlot& e, const std::string& path, TreeFacts& t,
                std::set<std::pair<const NodeSlot*, std::string>>& names, Findings& f) {
  t.reached.insert(&e);
  const bool isRoot = path == "/";
  if (!isRoot) {
    const std::string name = e.name ? e.name : "";
    if (name.empty() || ffs_check_name(fs, name.c_str(), false) != 0)
      f.Add("entry " + path + " has a name the file API refuses");
    if (!names.insert({e.parent, name}).second)
      f.Add("entry " + path + " repeats a name of its directory");
  }
  if (e.inode == nullptr || e.inode->kind != SlotKind::Inode) {
    f.Add("entry " + path + " names no inode record");
    return;
  }
  if (t.treeLinks[e.inode]++ == 0) {
    t.inodePath[e.inode] = path;
  } else if (e.kind == SlotKind::Directory) {
    f.Add("directory " + path + " shares its inode record with " + t.inodePath[e.inode]);
  }
}

void CheckRoot(nor::Volume& v, Findings& f) {
  NodeSlot* root = v.nodes.Root();
  if (root == nullptr) return;  // reported by the walk
  if (root->parent || root->next || root->prev)
    f.Add("the root has a parent or siblings");
  if (v.nodes.pages[0]->slots[1].kind != SlotKind::Inode || root->inode != &v.nodes.pages[0]->slots[1])
    f.Add("the root's inode record is not slot 0.1");
}

// Data chain of an inode record against the cluster map and its size.
void CheckInodeData(const NodeSlot& inode, const std::string& who, std::uint32_t cs,
                    Findings& f) {
  const bool noChain = inode.first_cluster == nor::kNoCluster;
  if (noChain) {
    if (inode.last_cluster != nor::kNoCluster || inode.tail_cluster != nor::kNoCluster)
      f.Add(who + " has no first cluster but names a last or tail cluster");
    else if (inode.size != 0)
      f.Add(who + " has no data clusters but a size of " + Num(inode.size));
    return;
  }
  const auto chain = f.chains.find(inode.first_cluster);
  if (chain == f.chains.end()) {
    f.Add(who + ": first cluster " + Num(inode.first_cluster) + " starts no chain");
    return;
  }
  const ChainFacts& c = chain->second;
  if (inode.last_cluster != c.last)
    f.Add(who + ": last cluster " + Num(inode.last_cluster) + " but its chain ends at " + Num(c.last));
  std::uint64_t expected = std::uint64_t(cs) * c.length;
  if (inode.tail_cluster != nor::kNoCluster) {
    if (inode.tail_cluster != c.last)
      f.Add(who + ": tail cluster " + Num(inode.tail_cluster) + " is not the chain's last " + Num(c.last));
    // The file layer leaves a tail that a write filled exactly recorded with
    // a fill of one whole cluster; the size still agrees, so it is accepted.
    if (inode.tail_fill > cs) f.Add(who + ": tail fill " + Num(inode.tail_fill) + " exceeds the cluster size");
    expected = std::uint64_t(cs) * (c.length - 1) + inode.tail_fill;
  }
  if (inode.size != expected)
    f.Add(who + ": size " + Num(inode.size) + " but its " + Num(c.length) + " clusters and tail hold " +
          std::to_string(expected));
}

// Every slot: reachability, link counts, serials, chain ownership, pages.
void CheckSlots(nor::Volume& v, const TreeFacts& t, Findings& f) {
  std::map<std::uint32_t, std::uint32_t> chainOwners;  // first cluster -> owners
  std::map<std::uint32_t, std::string> serials;
  std::uint32_t freeSlots = 0;
  // Entries removed while open keep their inode until the next mount reclaims them.
  std::set<const NodeSlot*> unlinkedInodes;
  for (const auto& page : v.nodes.pages)
    for (const NodeSlot& s : page->slots)
      if (s.kind == SlotKind::File && s.unlinked) unlinkedInodes.insert(s.inode);
  for (std::uint32_t p = 0; p < v.nodes.pages.size(); ++p) {
    const nor::NodePage& page = *v.nodes.pages[p];
    std::uint32_t pageFree = 0;
    if (page.number != p) f.Add("node page " + Num(p) + " carries number " + Num(page.number));
    for (const NodeSlot& s : page.slots) {
      const std::string who = SlotName(s);
      switch (s.kind) {
        case SlotKind::Free: ++pageFree; break;
        case SlotKind::Directory:
        case SlotKind::File:
          if (!t.reached.count(&s) && !s.unlinked) f.Add("entry " + who + " is not reachable from the root");
          break;
        case SlotKind::Inode: {
          const auto links = t.treeLinks.find(&s);
          const std::uint32_t named = links == t.treeLinks.end() ? 0 : links->second;
          const std::string shown = named ? "inode of " + t.inodePath.at(&s) : "inode " + who;
          if (named != s.links && !(named == 0 && s.links == 0))
            f.Add(shown + ": link count " + Num(s.links) + " but " + Num(named) + " entries name it");
          if (named == 0 && s.links == 0 && !unlinkedInodes.count(&s))
            f.Add(shown + " is named by no entry");
          auto [at, fresh] = serials.emplace(s.serial, shown);
          if (!fresh) f.Add(shown + ": serial " + Num(s.serial) + " repeats that of " + at->second);
          if (s.first_cluster != nor::kNoCluster) ++chainOwners[s.first_cluster];
          CheckInodeData(s, shown, v.geo.cluster_size, f);
          break;
        }
        default: f.Add(who + " has kind " + Num(std::uint32_t(s.kind))); break;
      }
    }
    if (pageFree != page.free_count)
      f.Add("node page " + Num(p) + " counts " + Num(page.free_count) + " free slots but has " + Num(pageFree));
    freeSlots += pageFree;
  }
  if (freeSlots != v.nodes.free_slots)
    f.Add("the node table counts " + Num(v.nodes.free_slots) + " free slots but has " + Num(freeSlots));
  for (const auto& chain : f.chains) {
    const std::uint32_t start = chain.first;
    const std::uint32_t owners = chainOwners.count(start) ? chainOwners.at(start) : 0;
    const bool checkpoint = start == v.checkpoint_first;
    if (owners + (checkpoint ? 1 : 0) != 1)
      f.Add("the chain at cluster " + Num(start) + " has " + Num(owners + (checkpoint ? 1 : 0)) +
            " owners");
  }
}

}  // namespace

void CheckNodes(nor::Volume& v, Findings& f) {
  TreeFacts t;
  std::set<std::pair<const NodeSlot*, std::string>> names;
  WalkTree(
      v, [&](const NodeSlot& e, const std::string& path) { CheckEntry(ffs_of(v.record), e, path, t, names, f); },
      [&](const std::string& text) { f.Add(text); });
  CheckRoot(v, f);
  CheckSlots(v, t, f);
}

}  // namespace inspect
