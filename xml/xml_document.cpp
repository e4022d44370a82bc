// XmlDocument life cycle: a document always holds a document record (type 1,
// its own parent); Parse frees the old tree before building the new one.
#include "xml/xml_document.h"

#include <cstring>
#include <new>

XmlDocument::XmlDocument() { root_ = xmlrecord::NewNode(XmlNodeType::Document, nullptr); }

XmlDocument::~XmlDocument() {
  if (ownsTree_ && root_) xmlrecord::FreeTree(root_);
}

void XmlDocument::Reset() {
  if (ownsTree_ && root_) xmlrecord::FreeTree(root_);
  pool_.Release();
  root_ = xmlrecord::NewNode(XmlNodeType::Document, nullptr);
  ownsTree_ = true;
}

char* XmlDocument::Parse(char* text, uint32_t flags) {
  Reset();
  if (flags != xmlflags::kKeepStored) flags_ = flags;
  parsedWhole_ = true;
  if (!text || !root_) return text;
  return XmlParseInto(root_, text, flags_, growBy_, &pool_, parsedWhole_);
}

char* XmlDocument::ParseCopy(std::string_view text, uint32_t flags) {
  Reset();  // the old tree may point into the old buffer
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[text.size() + 1]);
  if (!buffer) {
    parsedWhole_ = false;
    return nullptr;
  }
  std::memcpy(buffer.get(), text.data(), text.size());
  buffer[text.size()] = '\0';
  textBuffer_ = std::move(buffer);
  return Parse(textBuffer_.get(), flags);
}
