// XmlNode and XmlAttribute: queries, moves and changes on a tree. Handles
// never own anything except XmlOwnedNode, which frees the subtree it holds.
#include "xml/xml_node.h"

#include <cstdlib>
#include <cstring>

#include "xml/wildcard.h"
#include "xml/xml_constants.h"

namespace {

std::string OrEmpty(const char* text) { return text ? std::string(text) : std::string(); }

// Lookups by name: nodes and attributes without a name never match.
bool NameMatches(const char* pattern, const char* name) { return name && WildcardMatch(pattern, name); }

}  // namespace

std::string XmlAttribute::Name() const { return OrEmpty(NameChars()); }
std::string XmlAttribute::Value() const { return OrEmpty(ValueChars()); }

bool XmlAttribute::SetValue(const char* value) {
  return record_ && xmlrecord::AssignString(record_->value, record_->valueInText, value);
}

std::string XmlNode::Name() const { return OrEmpty(NameChars()); }
std::string XmlNode::Value() const { return OrEmpty(ValueChars()); }

XmlNode XmlNode::Child(size_t index) const {
  if (!record_ || index >= record_->childCount) return XmlNode();
  XmlNode child(record_->children[index]);
  child.indexHint_ = index;
  return child;
}

XmlNode XmlNode::Parent() const {
  if (!record_ || record_->parent == record_) return XmlNode();
  return XmlNode(record_->parent);
}

std::string XmlNode::FirstChildValue() const {
  for (size_t i = 0; i < ChildCount(); ++i)
    if (record_->children[i]->value) return record_->children[i]->value;
  return std::string();
}

XmlAttribute XmlNode::AttributeAt(size_t index) const {
  if (!record_ || index >= record_->attributeCount) return XmlAttribute();
  return XmlAttribute(record_->attributes[index]);
}

XmlAttribute XmlNode::Attribute(const char* name) const {
  long index = IndexOfAttribute(name);
  return index < 0 ? XmlAttribute() : XmlAttribute(record_->attributes[index]);
}

long XmlNode::IndexOfAttribute(const char* name) const {
  if (!record_ || !name) return -1;
  for (unsigned i = 0; i < record_->attributeCount; ++i)
    if (NameMatches(name, record_->attributes[i]->name)) return static_cast<long>(i);
  return -1;
}

long XmlNode::IndexOfChild(const char* name) const {
  if (!record_ || !name) return -1;
  for (unsigned i = 0; i < record_->childCount; ++i)
    if (NameMatches(name, record_->children[i]->name)) return static_cast<long>(i);
  return -1;
}

long XmlNode::IndexInParent() const {
  if (!record_ || record_->parent == record_) return -1;
  const XmlNodeRecord* parent = record_->parent;
  if (indexHint_ < parent->childCount && parent->children[indexHint_] == record_)
    return static_cast<long>(indexHint_);
  for (unsigned i = 0; i < parent->childCount; ++i)
    if (parent->children[i] == record_) return static_cast<long>(i);
  return -1;
}

bool XmlNode::MoveToRoot() {
  if (!record_) return false;
  while (record_->parent != record_) record_ = record_->parent;
  indexHint_ = 0;
  return true;
}

bool XmlNode::MoveToSibling(size_t index) {
  if (!record_ || record_->parent == record_) return false;
  XmlNode sibling = Parent().Child(index);
  if (sibling.IsNull()) return false;
  *this = sibling;
  return true;
}

bool XmlNode::MoveToNextSibling() {
  long index = IndexInParent();
  if (index < 0) return false;
  return MoveToSibling(static_cast<size_t>(index) + 1);
}

bool XmlNode::MoveToNextSibling(const char* pattern) {
  long index = IndexInParent();
  if (index < 0 || !pattern) return false;
  const XmlNodeRecord* parent = record_->parent;
  for (unsigned i = static_cast<unsigned>(index) + 1; i < parent->childCount; ++i) {
    if (NameMatches(pattern, parent->children[i]->name)) return MoveToSibling(i);
  }
  return false;
}

bool XmlNode::SetName(const char* name) {
  if (Type() != XmlNodeType::Element && Type() != XmlNodeType::ProcessingInstruction) return false;
  return xmlrecord::AssignString(record_->name, record_->nameInText, name);
}

bool XmlNode::SetValue(const char* value) {
  XmlNodeType type = Type();
  if (type != XmlNodeType::Text && type != XmlNodeType::Cdata && type != XmlNodeType::Comment) return false;
  return xmlrecord::AssignString(record_->value, record_->valueInText, value);
}

XmlAttribute XmlNode::AddAttribute(const char* name, const char* value) {
  if (!record_ || !name || !value || !xmlrecord::HasAttributes(record_->type)) return XmlAttribute();
  char* nameCopy = xmlrecord::CopyString(name);
  char* valueCopy = xmlrecord::CopyString(value);
  XmlAttributeRecord* attribute =
      nameCopy && valueCopy ? xmlrecord::AppendAttribute(record_, nameCopy, false, valueCopy, false, 1) : nullptr;
  if (!attribute) {
    std::free(nameCopy);
    std::free(valueCopy);
  }
  return XmlAttribute(attribute);
}

XmlNode XmlNode::AppendChild(XmlNodeType type) {
  XmlNodeType own = Type();
  if (own != XmlNodeType::Document && own != XmlNodeType::Element) return XmlNode();
  if (static_cast<int>(type) < static_cast<int>(XmlNodeType::Element) ||
      static_cast<int>(type) > static_cast<int>(XmlNodeType::NotationDecl))
    return XmlNode();
  XmlNodeRecord* child = xmlrecord::NewNode(type, record_);
  if (!child) return XmlNode();
  if (!xmlrecord::AppendChild(record_, child, 1)) {
    xmlrecord::FreeTree(child);
    return XmlNode();
  }
  XmlNode handle(child);
  handle.indexHint_ = record_->childCount - 1;
  return handle;
}

XmlOwnedNode XmlNode::RemoveChild(size_t index) {
  if (!record_ || index >= record_->childCount) return XmlOwnedNode();
  XmlNodeRecord* child = record_->children[index];
  std::memmove(record_->children + index, record_->children + index + 1,
               sizeof(XmlNodeRecord*) * (record_->childCount - index - 1));
  --record_->childCount;
  child->parent = child;  // a detached subtree is its own top
  return XmlOwnedNode(child);
}

XmlOwnedNode::~XmlOwnedNode() {
  if (record_) xmlrecord::FreeTree(record_);
}

XmlOwnedNode& XmlOwnedNode::operator=(XmlOwnedNode&& other) noexcept {
  if (this != &other) {
    if (record_) xmlrecord::FreeTree(record_);
    record_ = other.release();
  }
  return *this;
}
