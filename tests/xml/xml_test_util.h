// Helpers shared by the XML tests: a canonical dump of a tree (kinds, names,
// attributes, values; null and empty told apart) for comparing trees.
#pragma once

#include <string>
#include <vector>

#include "xml/xml_document.h"

namespace xmltest {

// One line per node: depth, kind, name, attributes and value, with null
// strings shown as '~' and others quoted. Built without recursion.
inline std::string Dump(XmlNode top) {
  auto quoted = [](const char* text) { return text ? "'" + std::string(text) + "'" : std::string("~"); };
  std::string out;
  struct Frame {
    XmlNode node;
    size_t depth;
  };
  std::vector<Frame> stack{{top, 0}};
  while (!stack.empty()) {
    Frame frame = stack.back();
    stack.pop_back();
    out += std::to_string(frame.depth) + " " + std::to_string(static_cast<int>(frame.node.Type())) + " " +
           quoted(frame.node.NameChars());
    for (size_t i = 0; i < frame.node.AttributeCount(); ++i) {
      XmlAttribute attribute = frame.node.AttributeAt(i);
      out += " " + quoted(attribute.NameChars()) + "=" + quoted(attribute.ValueChars());
    }
    out += " : " + quoted(frame.node.ValueChars()) + "\n";
    for (size_t i = frame.node.ChildCount(); i > 0; --i) stack.push_back({frame.node.Child(i - 1), frame.depth + 1});
  }
  return out;
}

}  // namespace xmltest
