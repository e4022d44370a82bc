// XmlDocument: owns one tree of node records and parses text into it in
// place (terminators written into the caller's text, names and values
// pointing into it). Each Parse replaces the whole tree. Parsed records live
// in the document's pool: a node removed from a parsed tree lives no longer
// than its document.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "xml/xml_constants.h"
#include "xml/xml_node.h"
#include "xml/xml_record.h"

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Parses text in place and answers where parsing stopped (the terminating
  // zero when the whole text was read). flags == kKeepStored keeps the
  // document's parse flags; any other value replaces them. A null text gives
  // an empty document. Malformed text never fails: what was built is kept.
  char* Parse(char* text, uint32_t flags = xmlflags::kKeepStored);
  // Parses a private copy of text that the document keeps alive.
  char* ParseCopy(std::string_view text, uint32_t flags = xmlflags::kKeepStored);

  // True when the last Parse read the whole text: it did not stop inside a
  // tag, attribute value, comment, CDATA section or declaration, and every
  // element opened was closed again.
  bool ParsedWhole() const { return parsedWhole_; }

  XmlNode Root() const { return XmlNode(root_); }
  uint32_t Flags() const { return flags_; }
  unsigned GrowBy() const { return growBy_; }

 private:
  void Reset();

  XmlNodeRecord* root_ = nullptr;
  unsigned growBy_ = xmltext::kGrowBy;
  bool ownsTree_ = true;
  std::unique_ptr<char[]> textBuffer_;
  XmlPool pool_;  // the parsed records; released after the tree is freed
  uint32_t flags_ = xmlflags::kDefault;
  bool parsedWhole_ = true;
};

// The in-place parser behind XmlDocument::Parse. Builds under root (a
// document record), taking records and arrays from pool, and answers where
// it stopped; whole tells whether the text was read to its end with nothing
// left open.
char* XmlParseInto(XmlNodeRecord* root, char* text, uint32_t flags, unsigned growBy, XmlPool* pool, bool& whole);
