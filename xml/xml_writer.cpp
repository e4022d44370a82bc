// WriteXml: the text form of a tree. The walk keeps its own stack, so depth
// costs no call stack. Attribute values and text are escaped ('&', '<', '>',
// and '"' in attributes) so what is written parses back to the same tree; a
// numeric character reference ("&#65;", "&#x41;") of a character XML allows is
// written as it stands, since the parser keeps such references as text and
// every other reader decodes them.
#include "xml/xml_writer.h"

#include <cstring>
#include <sstream>
#include <vector>

#include "xml/xml_constants.h"

namespace {

// Characters a document may hold, by code point.
bool IsXmlChar(unsigned long c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

// Length of the well-formed numeric character reference at `p` ("&#" digits
// ";" or "&#x" hex digits ";", naming a character XML allows); 0 for none.
size_t NumericReferenceLength(const char* p) {
  if (p[0] != '&' || p[1] != '#') return 0;
  const bool hex = p[2] == 'x';
  const char* digits = p + (hex ? 3 : 2);
  const char* q = digits;
  unsigned long code = 0;
  for (;; ++q) {
    int digit;
    if (*q >= '0' && *q <= '9')
      digit = *q - '0';
    else if (hex && *q >= 'a' && *q <= 'f')
      digit = *q - 'a' + 10;
    else if (hex && *q >= 'A' && *q <= 'F')
      digit = *q - 'A' + 10;
    else
      break;
    code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
    if (code > 0x10FFFF) return 0;
  }
  if (q == digits || *q != ';' || !IsXmlChar(code)) return 0;
  return static_cast<size_t>(q + 1 - p);
}

bool IsDeclaration(XmlNodeType type) {
  return type == XmlNodeType::EntityDecl || type == XmlNodeType::AttlistDecl || type == XmlNodeType::ElementDecl ||
         type == XmlNodeType::NotationDecl;
}

const char* DeclarationKeyword(XmlNodeType type) {
  switch (type) {
    case XmlNodeType::EntityDecl:
      return xmltext::kEntityOpen;
    case XmlNodeType::AttlistDecl:
      return xmltext::kAttlistOpen;
    case XmlNodeType::ElementDecl:
      return xmltext::kElementOpen;
    default:
      return xmltext::kNotationOpen;
  }
}

class Writer {
 public:
  Writer(std::ostream& out, char indentChar, bool lineBreaks)
      : out_(out), indentChar_(indentChar), lineBreaks_(lineBreaks) {}

  void WriteTree(const XmlNodeRecord* top);

 private:
  bool Open(const XmlNodeRecord* node);
  void Close(const XmlNodeRecord* node);
  void OpenTag(const XmlNodeRecord* node);
  bool OpenElement(const XmlNodeRecord* node);
  bool OpenDoctype(const XmlNodeRecord* node);
  void Escaped(const char* text, bool attribute);
  void Name(const XmlNodeRecord* node) { buffer_ += node->name ? node->name : xmltext::kAnonymous; }
  void Enclosed(const char* open, const char* value, const char* close) {
    if (!value) return;
    buffer_ += open;
    buffer_ += value;
    buffer_ += close;
  }
  void Descend() {
    if (indentChar_) indent_.push_back(indentChar_);
  }
  void Ascend() {
    if (indentChar_ && !indent_.empty()) indent_.pop_back();
  }
  void EndNode() {
    if (lineBreaks_) buffer_ += '\n';
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    out_.flush();
    buffer_.clear();
  }

  std::ostream& out_;
  char indentChar_;
  bool lineBreaks_;
  std::string indent_;
  std::string buffer_;
};

void Writer::Escaped(const char* text, bool attribute) {
  if (!text) return;
  const char* specials = attribute ? "&<>\"" : "&<>";
  for (const char* p = text; *p;) {
    size_t plain = std::strcspn(p, specials);
    buffer_.append(p, plain);
    p += plain;
    switch (*p) {
      case '&':
        if (size_t reference = NumericReferenceLength(p)) {
          buffer_.append(p, reference);
          p += reference;
          continue;
        }
        buffer_ += "&amp;";
        break;
      case '<':
        buffer_ += "&lt;";
        break;
      case '>':
        buffer_ += "&gt;";
        break;
      case '"':
        buffer_ += "&quot;";
        break;
      default:
        return;
    }
    ++p;
  }
}

void Writer::OpenTag(const XmlNodeRecord* node) {
  buffer_ += '<';
  if (node->type == XmlNodeType::ProcessingInstruction) buffer_ += '?';
  Name(node);
  for (unsigned i = 0; i < node->attributeCount; ++i) {
    const XmlAttributeRecord* attribute = node->attributes[i];
    if (!attribute->name) continue;
    buffer_ += ' ';
    buffer_ += attribute->name;
    if (!attribute->value) continue;
    buffer_ += "=\"";
    Escaped(attribute->value, true);
    buffer_ += '"';
  }
}

bool Writer::OpenElement(const XmlNodeRecord* node) {
  OpenTag(node);
  if (node->type == XmlNodeType::ProcessingInstruction) {
    buffer_ += "?>";
  } else if (node->childCount == 0) {
    buffer_ += "/>";
  } else if (node->childCount == 1 && node->children[0]->type == XmlNodeType::Text) {
    buffer_ += '>';
    Escaped(node->children[0]->value, false);
    buffer_ += "</";
    Name(node);
    buffer_ += '>';
  } else {
    buffer_ += '>';
    if (lineBreaks_) buffer_ += '\n';
    return true;
  }
  EndNode();
  return false;
}

bool Writer::OpenDoctype(const XmlNodeRecord* node) {
  buffer_ += xmltext::kDoctypeOpen;
  for (unsigned i = 0; i < node->attributeCount; ++i) {
    const XmlAttributeRecord* attribute = node->attributes[i];
    buffer_ += ' ';
    if (attribute->name) {
      buffer_ += attribute->name;
    } else if (attribute->value) {
      buffer_ += '"';
      buffer_ += attribute->value;
      buffer_ += '"';
    }
  }
  if (node->childCount > 0) {
    char separator = lineBreaks_ ? '\n' : ' ';
    buffer_ += separator;
    buffer_ += '[';
    buffer_ += separator;
    return true;
  }
  if (node->value) {
    buffer_ += " [";
    buffer_ += node->value;
    buffer_ += "]>";
  } else {
    buffer_ += '>';
  }
  EndNode();
  return false;
}

// Writes a node, or the part before its children; true when children follow.
bool Writer::Open(const XmlNodeRecord* node) {
  buffer_ += indent_;
  switch (node->type) {
    case XmlNodeType::Element:
    case XmlNodeType::ProcessingInstruction:
      return OpenElement(node);
    case XmlNodeType::Doctype:
      return OpenDoctype(node);
    case XmlNodeType::Text:
      Escaped(node->value, false);
      break;
    case XmlNodeType::Cdata:
      Enclosed(xmltext::kCdataOpen, node->value, xmltext::kSectionClose);
      break;
    case XmlNodeType::Comment:
      Enclosed(xmltext::kCommentOpen, node->value, xmltext::kCommentClose);
      break;
    case XmlNodeType::Include:
      Enclosed(xmltext::kIncludeOpen, node->value, xmltext::kSectionClose);
      break;
    case XmlNodeType::EntityDecl:
    case XmlNodeType::AttlistDecl:
    case XmlNodeType::ElementDecl:
    case XmlNodeType::NotationDecl:
      if (node->name) {
        buffer_ += DeclarationKeyword(node->type);
        buffer_ += node->name;
        if (node->value) {
          buffer_ += ' ';
          buffer_ += node->value;
        }
        buffer_ += '>';
      }
      break;
    default:
      break;
  }
  EndNode();
  return false;
}

void Writer::Close(const XmlNodeRecord* node) {
  if (node->type == XmlNodeType::Doctype) {
    buffer_ += "]>";
  } else {
    buffer_ += indent_;
    buffer_ += "</";
    Name(node);
    buffer_ += '>';
  }
  EndNode();
}

void Writer::WriteTree(const XmlNodeRecord* top) {
  struct Frame {
    const XmlNodeRecord* node;
    unsigned next;
  };
  std::vector<Frame> stack;
  if (Open(top)) {
    stack.push_back({top, 0});
    Descend();
  }
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next >= frame.node->childCount) {
      const XmlNodeRecord* done = frame.node;
      stack.pop_back();
      Ascend();
      Close(done);
      continue;
    }
    const XmlNodeRecord* child = frame.node->children[frame.next++];
    // A DOCTYPE writes its declaration children only.
    if (frame.node->type == XmlNodeType::Doctype && !IsDeclaration(child->type)) continue;
    if (Open(child)) {
      stack.push_back({child, 0});
      Descend();
    }
  }
}

}  // namespace

void WriteXml(XmlNode node, std::ostream& out, char indentChar, bool lineBreaks) {
  if (node.IsNull() || out.fail()) return;
  Writer writer(out, indentChar, lineBreaks);
  const XmlNodeRecord* record = node.Record();
  if (record->type == XmlNodeType::Document) {
    for (unsigned i = 0; i < record->childCount; ++i) writer.WriteTree(record->children[i]);
  } else {
    writer.WriteTree(record);
  }
}

std::string WriteXmlToString(XmlNode node, char indentChar, bool lineBreaks) {
  std::ostringstream out;
  WriteXml(node, out, indentChar, lineBreaks);
  return out.str();
}
