// Paths and the searches over a tree: the path of a node, find element by
// name and find by path. All walks keep their own stack on the heap, so the
// depth of the tree never reaches the call stack; find by path answers only
// nodes whose chain of names matches every token of the path.
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "xml/wildcard.h"
#include "xml/xml_node.h"
#include "xml/xml_walker.h"

namespace {

bool NameMatches(const char* pattern, const char* name) { return name && WildcardMatch(pattern, name); }

std::vector<std::string> SplitPath(const char* path, const char* delimiters) {
  std::vector<std::string> tokens;
  std::string token;
  for (const char* p = path; *p; ++p) {
    if (std::strchr(delimiters, *p)) {
      if (!token.empty()) tokens.push_back(std::move(token));
      token.clear();
    } else {
      token.push_back(*p);
    }
  }
  if (!token.empty()) tokens.push_back(std::move(token));
  return tokens;
}

XmlNodeRecord* TopOf(XmlNodeRecord* node) {
  while (node->parent != node) node = node->parent;
  return node;
}

}  // namespace

std::string XmlNode::Path(const char* delimiter) const {
  std::string separator = delimiter ? delimiter : "";
  if (!record_) return separator;
  // Ancestors up to the top; a document record adds no name of its own.
  std::vector<const XmlNodeRecord*> chain;
  for (const XmlNodeRecord* node = record_;; node = node->parent) {
    if (node->type != XmlNodeType::Document) chain.push_back(node);
    if (node->parent == node) break;
  }
  if (chain.empty()) return separator;
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path += separator;
    if ((*it)->name) path += (*it)->name;
  }
  return path;
}

XmlNode XmlNode::FindElement(const char* pattern, XmlNodeType filter) const {
  if (!record_ || !pattern) return XmlNode();
  // Depth-first in document order; the type filter applies to the direct
  // children only, deeper levels are searched with no filter.
  XmlNode found;
  XmlVisitDescendants(*this, [&](XmlNode node, int depth) {
    bool typeOk = depth > 1 || filter == XmlNodeType::None || node.Type() == filter;
    if (!typeOk || !NameMatches(pattern, node.NameChars())) return true;
    found = node;
    return false;
  });
  return found;
}

XmlNode XmlNode::FindByPath(const char* path, const char* delimiters) const {
  if (!record_ || !path || !delimiters || !*delimiters) return XmlNode();
  std::vector<std::string> tokens = SplitPath(path, delimiters);
  if (tokens.empty()) return XmlNode();
  XmlNodeRecord* start = path[0] == delimiters[0] ? TopOf(record_) : record_;

  // Backtracking search: each frame holds the node reached after `token`
  // tokens and the next child to try for the following token. A name token
  // always descends one level, so without ".." a node is met at most once;
  // with ".." failed (node, token) states are remembered so the search stays
  // linear in the size of the tree.
  bool climbs = false;
  for (const auto& token : tokens) climbs = climbs || token == "..";
  std::set<std::pair<const XmlNodeRecord*, size_t>> failed;
  struct Frame {
    XmlNodeRecord* node;
    size_t token;
    unsigned next;
  };
  std::vector<Frame> stack{{start, 0, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.token == tokens.size()) return XmlNode(frame.node);
    const std::string& token = tokens[frame.token];
    XmlNodeRecord* target = nullptr;
    if (token[0] == '.') {
      // ".." climbs (never above the top); any other dotted token stays.
      if (frame.next == 0) target = token == ".." ? frame.node->parent : frame.node;
      frame.next = 1;
    } else {
      for (; frame.next < frame.node->childCount && !target; ++frame.next) {
        XmlNodeRecord* child = frame.node->children[frame.next];
        if (NameMatches(token.c_str(), child->name)) target = child;
      }
    }
    if (!target) {
      if (climbs) failed.insert({frame.node, frame.token});
      stack.pop_back();
      continue;
    }
    if (climbs && failed.count({target, frame.token + 1})) continue;
    stack.push_back({target, frame.token + 1, 0});
  }
  return XmlNode();
}
