// XmlNode::Traverse: drives a walker over a subtree in document order with
// an explicit stack, calling push and pop exactly as a recursive descent
// would (an early false leaves the levels entered so far pushed).
#include <vector>

#include "xml/xml_walker.h"

bool XmlNode::Traverse(XmlWalker& walker) const {
  bool outermost = walker.depth() == 0;
  if (outermost && !walker.begin(*this)) return false;
  if (record_) {
    struct Frame {
      XmlNodeRecord* node;
      unsigned next;
    };
    walker.push();
    std::vector<Frame> stack{{record_, 0}};
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.next >= frame.node->childCount) {
        walker.pop();
        stack.pop_back();
        continue;
      }
      XmlNode child = XmlNode(frame.node).Child(frame.next++);
      bool descend = true;
      if (!walker.for_each(child, descend)) return false;
      if (descend) {
        // Entering the child: a nested traverse starts below depth 0, so it
        // neither begins nor ends the walk.
        walker.push();
        stack.push_back({child.Record(), 0});
      }
    }
  }
  return walker.depth() == 0 ? walker.end(*this) : true;
}
