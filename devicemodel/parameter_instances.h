// The parameter document seen per parameter: every element path with its
// instances (one per parameter set, in document order), the set number of an
// instance, and the value text of a value element. The index is built once
// after the document; values change later, the element structure does not.
// Paths are interned, so the index is linear in the document's size.
#pragma once

#include <string>
#include <vector>

#include "xml/xml_node.h"
#include "xml/xml_path_index.h"

class ParameterInstances {
 public:
  // Indexes every element below the document record top.
  void Build(XmlNode top);
  void Clear();
  bool Empty() const { return instances_.size() <= 1; }

  // The instances of a path (a trailing "/" is ignored), in document order;
  // empty when the path names no element. Paths compare literally.
  const std::vector<XmlNode>& Find(const std::string& path) const;
  // The instance of set setNumber; when the parameter has a single instance
  // whatever its number, that one (a single-set parameter read from a
  // multi-set rule). The null handle when there is none.
  XmlNode InSet(const std::string& path, const std::string& setNumber) const;

 private:
  XmlPathIndex paths_;
  std::vector<std::vector<XmlNode>> instances_;  // by path id
};

// The setNo of the nearest element at or above node; "0" when none has one.
std::string SetNumberOf(XmlNode node);
// The text of a value element: its text child, or "" when it has none.
std::string ValueText(XmlNode element);
// Sets the text of a value element (an element without child elements); an
// empty value leaves the element empty. False when element is no value element.
bool SetValueText(XmlNode element, const std::string& value);
