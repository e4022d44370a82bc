// Handles on the records of an XML tree: XmlNode (queries, searches, moves,
// changes), XmlAttribute, and XmlOwnedNode for a subtree taken out of a tree.
// A handle on no record is the null handle; every operation on it answers the
// empty result (empty string, 0, false, -1 or another null handle).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "xml/xml_record.h"

class XmlWalker;
class XmlOwnedNode;

class XmlAttribute {
 public:
  XmlAttribute() = default;
  explicit XmlAttribute(XmlAttributeRecord* record) : record_(record) {}

  bool IsNull() const { return record_ == nullptr; }
  XmlAttributeRecord* Record() const { return record_; }
  std::string Name() const;
  std::string Value() const;
  bool HasValue() const { return record_ && record_->value; }
  const char* NameChars() const { return record_ ? record_->name : nullptr; }
  const char* ValueChars() const { return record_ ? record_->value : nullptr; }
  // Same rule as XmlNode::SetValue; false on a null handle or a null text.
  bool SetValue(const char* value);

 private:
  XmlAttributeRecord* record_ = nullptr;
};

class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(XmlNodeRecord* record) : record_(record) {}

  bool IsNull() const { return record_ == nullptr; }
  XmlNodeRecord* Record() const { return record_; }
  bool operator==(const XmlNode& other) const { return record_ == other.record_; }
  bool operator!=(const XmlNode& other) const { return record_ != other.record_; }

  // Queries.
  XmlNodeType Type() const { return record_ ? record_->type : XmlNodeType::None; }
  std::string Name() const;
  std::string Value() const;
  const char* NameChars() const { return record_ ? record_->name : nullptr; }
  const char* ValueChars() const { return record_ ? record_->value : nullptr; }
  size_t ChildCount() const { return record_ ? record_->childCount : 0; }
  XmlNode Child(size_t index) const;
  XmlNode Parent() const;
  std::string FirstChildValue() const;
  size_t AttributeCount() const { return record_ ? record_->attributeCount : 0; }
  XmlAttribute AttributeAt(size_t index) const;
  XmlAttribute Attribute(const char* name) const;
  long IndexOfAttribute(const char* name) const;
  long IndexOfChild(const char* name) const;
  std::string Path(const char* delimiter = "/") const;

  // Searches; every name given is a wildcard pattern.
  XmlNode FindElement(const char* pattern, XmlNodeType filter = XmlNodeType::None) const;
  XmlNode FindByPath(const char* path, const char* delimiters = "/") const;
  bool Traverse(XmlWalker& walker) const;

  // Moves: change this handle; false (handle unchanged) when there is no target.
  bool MoveToRoot();
  bool MoveToSibling(size_t index);
  bool MoveToNextSibling();
  bool MoveToNextSibling(const char* pattern);

  // Changes.
  bool SetName(const char* name);    // elements and processing instructions
  bool SetValue(const char* value);  // text, CDATA and comment nodes
  XmlAttribute AddAttribute(const char* name, const char* value);
  XmlNode AppendChild(XmlNodeType type);
  XmlOwnedNode RemoveChild(size_t index);

 private:
  long IndexInParent() const;

  XmlNodeRecord* record_ = nullptr;
  size_t indexHint_ = 0;  // where this record last sat in its parent's array
};

// Owns a subtree taken out of a tree and frees it when it goes away. Its
// strings may still point into the parsed text, which must outlive it.
class XmlOwnedNode {
 public:
  XmlOwnedNode() = default;
  explicit XmlOwnedNode(XmlNodeRecord* record) : record_(record) {}
  ~XmlOwnedNode();
  XmlOwnedNode(XmlOwnedNode&& other) noexcept : record_(other.release()) {}
  XmlOwnedNode& operator=(XmlOwnedNode&& other) noexcept;
  XmlOwnedNode(const XmlOwnedNode&) = delete;
  XmlOwnedNode& operator=(const XmlOwnedNode&) = delete;

  bool IsNull() const { return record_ == nullptr; }
  XmlNode Node() const { return XmlNode(record_); }
  XmlNodeRecord* release() {
    XmlNodeRecord* record = record_;
    record_ = nullptr;
    return record;
  }

 private:
  XmlNodeRecord* record_ = nullptr;
};
