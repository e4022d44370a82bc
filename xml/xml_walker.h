// XmlWalker: the visitor that XmlNode::Traverse drives. depth counts the
// levels entered (push) and left (pop) and never goes below zero.
#pragma once

#include "xml/xml_node.h"

class XmlWalker {
 public:
  virtual ~XmlWalker() = default;
  virtual void push() { ++depth_; }
  virtual void pop() {
    if (depth_ > 0) --depth_;
  }
  virtual int depth() const { return depth_; }
  virtual bool begin(XmlNode node) {
    (void)node;
    return true;
  }
  // Called for every child in order; clearing descend skips its subtree.
  virtual bool for_each(XmlNode node, bool& descend) = 0;
  virtual bool end(XmlNode node) {
    (void)node;
    return true;
  }

 private:
  int depth_ = 0;
};

// Visits every node below top in document order through Traverse:
// visit(node, depth) with depth 1 for top's children; answering false stops
// the walk. Answers false when the walk was stopped.
template <typename Visit>
bool XmlVisitDescendants(XmlNode top, Visit&& visit) {
  class Visitor : public XmlWalker {
   public:
    explicit Visitor(Visit& visit) : visit_(visit) {}
    bool for_each(XmlNode node, bool&) override { return visit_(node, depth()); }

   private:
    Visit& visit_;
  };
  Visitor visitor(visit);
  return top.Traverse(visitor);
}
