// Every constant of the XML layer named once: parse flags, character classes
// and the fixed fragments the parser recognises and the writer emits.
// The parser and the writer share these so both sides agree byte for byte.
#pragma once

#include <cstdint>

namespace xmlflags {
constexpr uint32_t kProcessingInstructions = 0x2;
constexpr uint32_t kDoctypeAndInclude = 0x4;
constexpr uint32_t kComments = 0x8;
constexpr uint32_t kCdata = 0x10;
constexpr uint32_t kTrimText = 0x40;
constexpr uint32_t kTrimAttributes = 0x80;
constexpr uint32_t kTrimCdata = 0x100;
constexpr uint32_t kTrimDeclarations = 0x200;
constexpr uint32_t kTrimDoctype = 0x400;
constexpr uint32_t kTrimComments = 0x800;
constexpr uint32_t kCollapseWhitespace = 0x1000;
constexpr uint32_t kDoctypeSubset = 0x2000;
constexpr uint32_t kDefault = kProcessingInstructions | kComments;  // 0x0A
constexpr uint32_t kKeepStored = 0x80000000u;                       // Parse keeps the document's flags
}  // namespace xmlflags

namespace xmltext {
constexpr unsigned kGrowBy = 4;
constexpr const char* kAnonymous = "anonymous";
constexpr const char* kCommentOpen = "<!--";
constexpr const char* kCommentClose = "-->";
constexpr const char* kCdataOpen = "<![CDATA[";
constexpr const char* kIncludeOpen = "<![INCLUDE[";
constexpr const char* kSectionClose = "]]>";
constexpr const char* kDoctypeOpen = "<!DOCTYPE";
constexpr const char* kEntityOpen = "<!ENTITY ";
constexpr const char* kAttlistOpen = "<!ATTLIST ";
constexpr const char* kElementOpen = "<!ELEMENT ";
constexpr const char* kNotationOpen = "<!NOTATION ";
}  // namespace xmltext

// Whitespace is every byte value 1 to 32 (bytes read as signed, so 0x80 and
// above are never whitespace nor name characters).
inline bool XmlIsSpace(char c) { return c >= 1 && c <= 32; }

inline bool XmlIsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == ':' || c == '_';
}
