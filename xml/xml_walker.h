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
