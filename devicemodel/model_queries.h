// The shared predicates and lookups over a loaded device model: attribute
// tests, sections, reference resolution, in-use flags, view use, mappings and
// text lookup. ModelQueries indexes every element path once (interned, so the
// index stays linear in the model's size whatever its depth), and the
// lookups that run per parameter cost a probe per name instead of a walk.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "xml/xml_document.h"
#include "xml/xml_path_index.h"

namespace model {

// The attribute's value, or the empty string when it is missing.
std::string AttributeValue(XmlNode node, const char* name);
// The attribute exists and its value is not empty.
bool IsPresent(XmlNode node, const char* name);
// Whole values compared byte for byte.
bool AttributeEquals(XmlNode node, const char* name, const char* value);
bool HasType(XmlNode node, const char* type);
bool IsModuleNode(XmlNode node);
bool IsSelectionLike(XmlNode node);
bool IsParameterSet(XmlNode node);
bool IsViewExtensionWithModuleNode(XmlNode node);
// The type of the nearest section at or above node, or empty; the search
// stops at a module node and at the top of the document.
std::string SectionOf(XmlNode node);
// The first element in document order at or below top (top excluded) for
// which the predicate holds; the null handle when none does.
XmlNode FirstElement(XmlNode top, const std::function<bool(XmlNode)>& predicate);
// Child elements: the first, the one after node, and the first named
// exactly name (names compared literally, never as patterns).
XmlNode FirstChildElement(XmlNode node);
XmlNode NextSiblingElement(XmlNode node);
XmlNode NamedChildElement(XmlNode parent, const std::string& name);
// The nearest module node at or above node, or the null handle.
XmlNode ModuleNodeOf(XmlNode node);
// Replaces the attribute's value, or appends the attribute when it is missing.
void SetAttribute(XmlNode node, const char* name, const char* value);

class ModelQueries {
 public:
  // rootElement: the model's root element; textDocument: an optional
  // document of texts with the model's structure (none is loaded today).
  explicit ModelQueries(XmlNode rootElement, XmlNode textDocument = XmlNode());

  XmlNode RootElement() const { return root_; }
  const std::string& RootPath() const { return rootPath_; }

  // The node at an absolute path: the first in document order, as the path
  // search of the XML layer answers it.
  XmlNode Find(const std::string& path) const;
  std::string ResolveReference(const std::string& reference) const;
  // The first element in document order whose entryRef is exactly reference.
  XmlNode FirstWithEntryRef(const std::string& reference) const;
  XmlNode ResolveNode(const std::string& reference) const { return Find(ResolveReference(reference)); }

  bool InUseFlag(XmlNode node, const char* flag) const;
  bool InUse(XmlNode node) const;
  bool ViewInUse(const std::string& viewPath) const;
  // The resolved reference of the first mapping entry whose `with` is key.
  std::string MappedPath(const char* key) const;
  std::string TextLookup(XmlNode node, const char* attribute) const;

 private:
  XmlNode root_;
  XmlNode textDocument_;
  std::string rootPath_;
  XmlPathIndex paths_;
  std::vector<XmlNodeRecord*> firstByPath_;  // by path id: the first node in document order
  std::unordered_map<std::string, XmlNodeRecord*> byEntryRef_;
  XmlNode firstMapping_;  // the first element of type "mapping"; its siblings follow
};

}  // namespace model
