// The node tree walk shared by the listing and the check. An explicit stack
// (no recursion) and a visited set keep it bounded by the slot count
// whatever links a damaged image holds.
#include "imagecheck/tree_walk.h"

#include <cstdio>
#include <unordered_set>
#include <vector>

namespace inspect {

namespace {

struct Frame {
  const nor::NodeSlot* dir;
  const nor::NodeSlot* cursor;  // next child to visit
  const nor::NodeSlot* prev;    // the child visited before it
  std::string path;
};

std::string Join(const std::string& dir, const std::string& name) {
  return dir == "/" ? "/" + name : dir + "/" + name;
}

}  // namespace

std::string ShowName(const char* name) {
  std::string out;
  if (name == nullptr) return out;
  for (const char* p = name; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == 0x7F || c == '\\') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string SlotName(const nor::NodeSlot& slot) {
  return "slot " + std::to_string(slot.page ? slot.page->number : 0) + "." +
         std::to_string(slot.page ? slot.Index() : 0);
}

void WalkTree(nor::Volume& v, const VisitEntry& visit, const ReportProblem& problem) {
  const nor::NodeSlot* root = v.nodes.Root();
  if (root == nullptr || root->kind != nor::SlotKind::Directory) {
    problem("the root (slot 0.0) is no directory entry");
    return;
  }
  std::unordered_set<const nor::NodeSlot*> visited{root};
  visit(*root, "/");
  std::vector<Frame> stack{{root, root->child, nullptr, "/"}};
  while (!stack.empty()) {
    Frame& f = stack.back();
    const nor::NodeSlot* c = f.cursor;
    if (c == nullptr) {
      stack.pop_back();
      continue;
    }
    if (!c->IsEntry()) {
      problem("directory " + f.path + " lists " + SlotName(*c) + ", which is no entry");
      stack.pop_back();
      continue;
    }
    const std::string path = Join(f.path, ShowName(c->name));
    if (!visited.insert(c).second) {
      problem("entry " + path + " (" + SlotName(*c) + ") is reached twice: the tree has a loop");
      stack.pop_back();
      continue;
    }
    if (c->parent != f.dir)
      problem("entry " + path + " does not name directory " + f.path + " as its parent");
    if (c->prev != f.prev) problem("entry " + path + ": previous-sibling link does not mirror the list");
    f.prev = c;
    f.cursor = c->next;
    visit(*c, path);
    if (c->kind == nor::SlotKind::Directory) stack.push_back({c, c->child, nullptr, path});
  }
}

}  // namespace inspect
