// The in-place parser. One cursor moves forward over the text; the current
// parent is the only state, so nesting depth costs no stack. Every scan is
// bounded by the terminating zero found once at the start: the parser never
// reads past it, and zeros it writes always lie behind the cursor (or at a
// position whose byte it has already taken into a local).
#include <cstring>

#include "xml/xml_constants.h"
#include "xml/xml_document.h"

namespace {

bool StartsWith(const char* p, const char* prefix) { return std::strncmp(p, prefix, std::strlen(prefix)) == 0; }

class Parser {
 public:
  Parser(XmlNodeRecord* root, char* text, uint32_t flags, unsigned growBy, XmlPool* pool)
      : root_(root), parent_(root), text_(text), end_(text + std::strlen(text)), flags_(flags),
        growBy_(growBy), pool_(pool) {}

  char* Run(bool& whole);

 private:
  char* ParseMarkup(char* lt);
  char* ParseElement(char* lt);
  char* ParseProcessingInstruction(char* lt);
  char* ParseNamed(char* lt, char* name, XmlNodeType type);
  char* ParseBang(char* lt);
  char* ParseSection(char* lt, char* body, XmlNodeType type, uint32_t keepFlag);
  char* ParseComment(char* lt);
  char* ParseEndTag(char* lt);
  char* ParseAttributes(XmlNodeRecord* node, char* nameEnd, bool pi);
  char* ParseDoctype(char* lt, char* body);
  char* SkipDoctype(char* p, int depth);
  void ParseDeclarations(XmlNodeRecord* doctype, char* p, char* to);
  void MaybeText(char* from, char* to);

  XmlNodeRecord* AddNode(XmlNodeRecord* parent, XmlNodeType type);
  char* Find(char* from, char c) const {
    return from < end_ ? static_cast<char*>(std::memchr(from, c, end_ - from)) : nullptr;
  }
  char* FindText(char* from, const char* needle, char* limit) const;
  char* Stop(char* at) {
    stop_ = at;
    return nullptr;
  }
  // Decodes the five references and applies the trim flag; answers the start
  // of the finished value (zero-terminated at its new end).
  char* FinishValue(char* start, char* end, bool decode, uint32_t trimFlag);

  XmlNodeRecord* root_;
  XmlNodeRecord* parent_;
  char* text_;
  char* end_;
  uint32_t flags_;
  unsigned growBy_;
  XmlPool* pool_;
  char* stop_ = nullptr;
};

char* Parser::Run(bool& whole) {
  char* lt = Find(text_, '<');
  while (lt) {
    char* after = ParseMarkup(lt);
    if (!after) {
      whole = false;
      return stop_;
    }
    lt = Find(after, '<');
    if (parent_ != root_) MaybeText(after, lt ? lt : end_);
  }
  whole = parent_ == root_;
  return end_;
}

XmlNodeRecord* Parser::AddNode(XmlNodeRecord* parent, XmlNodeType type) {
  XmlNodeRecord* node = xmlrecord::NewNode(type, parent, pool_);
  if (!node) return nullptr;
  if (!xmlrecord::AppendChild(parent, node, growBy_, pool_)) {
    xmlrecord::FreeTree(node);
    return nullptr;
  }
  node->nameInText = true;
  node->valueInText = true;
  return node;
}

char* Parser::FindText(char* from, const char* needle, char* limit) const {
  size_t length = std::strlen(needle);
  while (from && from + length <= limit) {
    from = static_cast<char*>(std::memchr(from, needle[0], limit - from));
    if (!from || from + length > limit) return nullptr;
    if (std::memcmp(from, needle, length) == 0) return from;
    ++from;
  }
  return nullptr;
}

// The character at lt is '<' (possibly already overwritten by the zero that
// ends a preceding text node).
char* Parser::ParseMarkup(char* lt) {
  char c = lt[1];
  if (c == '?') return ParseProcessingInstruction(lt);
  if (c == '!') return ParseBang(lt);
  if (c == '/') return ParseEndTag(lt);
  if (XmlIsNameChar(c)) return ParseElement(lt);
  return Stop(lt);  // a '<' that starts nothing: the text is not well formed
}

char* Parser::ParseElement(char* lt) { return ParseNamed(lt, lt + 1, XmlNodeType::Element); }

char* Parser::ParseProcessingInstruction(char* lt) {
  char* name = lt + 2;
  if ((flags_ & xmlflags::kProcessingInstructions) && XmlIsNameChar(*name))
    return ParseNamed(lt, name, XmlNodeType::ProcessingInstruction);
  char* close = Find(name, '>');
  return close ? close + 1 : Stop(lt);
}

// An element or processing instruction: the name is the run of name
// characters at name, attributes follow.
char* Parser::ParseNamed(char* lt, char* name, XmlNodeType type) {
  char* p = name;
  while (XmlIsNameChar(*p)) ++p;
  XmlNodeRecord* node = AddNode(parent_, type);
  if (!node) return Stop(lt);
  node->name = name;
  return ParseAttributes(node, p, type == XmlNodeType::ProcessingInstruction);
}

// Reads attributes after a name ending at nameEnd, terminates the name and
// closes the tag. Invariant: c holds the byte at p, even where p itself has
// just been overwritten by a terminator.
char* Parser::ParseAttributes(XmlNodeRecord* node, char* nameEnd, bool pi) {
  char* p = nameEnd;
  char c = *p;
  *p = '\0';
  for (;;) {
    while (XmlIsSpace(c)) c = *++p;
    if (c == '\0') return Stop(p);
    if (XmlIsNameChar(c)) {
      char* name = p;
      while (XmlIsNameChar(*++p)) {
      }
      char* nameStop = p;
      c = *p;
      *nameStop = '\0';
      while (XmlIsSpace(c)) c = *++p;
      char* value = nullptr;
      if (c == '=') {
        c = *++p;
        while (XmlIsSpace(c)) c = *++p;
        if (c != '"' && c != '\'') return Stop(p);
        char* close = Find(p + 1, c);
        if (!close) return Stop(p);
        value = FinishValue(p + 1, close, true, xmlflags::kTrimAttributes);
        p = close + 1;
        c = *p;
      }
      xmlrecord::AppendAttribute(node, name, true, value, true, growBy_, pool_);
      continue;
    }
    if (pi) {
      if (c == '?' && p[1] == '>') return p + 2;
      // Free-form content (a lone '>' included): the instruction ends at "?>".
      char* close = FindText(p + 1, "?>", end_);
      return close ? close + 2 : Stop(p);
    }
    if (c == '/' && p[1] == '>') return p + 2;
    if (c == '>') {
      parent_ = node;
      return p + 1;
    }
    return Stop(p);
  }
}

char* Parser::ParseBang(char* lt) {
  char* body = lt + 2;
  if (StartsWith(body, "--")) return ParseComment(lt);
  if (StartsWith(body, xmltext::kCdataOpen + 2))
    return ParseSection(lt, lt + std::strlen(xmltext::kCdataOpen), XmlNodeType::Cdata, xmlflags::kCdata);
  if (StartsWith(body, xmltext::kIncludeOpen + 2))
    return ParseSection(lt, lt + std::strlen(xmltext::kIncludeOpen), XmlNodeType::Include,
                        xmlflags::kDoctypeAndInclude);
  if (StartsWith(body, xmltext::kDoctypeOpen + 2)) return ParseDoctype(lt, lt + std::strlen(xmltext::kDoctypeOpen));
  char* close = Find(body, '>');
  return close ? close + 1 : Stop(lt);
}

char* Parser::ParseComment(char* lt) {
  char* body = lt + std::strlen(xmltext::kCommentOpen);
  char* close = FindText(body, xmltext::kCommentClose, end_);
  if (!close) return Stop(lt);
  if (flags_ & xmlflags::kComments) {
    XmlNodeRecord* node = AddNode(parent_, XmlNodeType::Comment);
    if (!node) return Stop(lt);
    node->value = FinishValue(body, close, false, xmlflags::kTrimComments);
  }
  return close + std::strlen(xmltext::kCommentClose);
}

char* Parser::ParseSection(char* lt, char* body, XmlNodeType type, uint32_t keepFlag) {
  char* close = FindText(body, xmltext::kSectionClose, end_);
  if (!close) return Stop(lt);
  if (flags_ & keepFlag) {
    XmlNodeRecord* node = AddNode(parent_, type);
    if (!node) return Stop(lt);
    node->value = FinishValue(body, close, false, xmlflags::kTrimCdata);
  }
  return close + std::strlen(xmltext::kSectionClose);
}

char* Parser::ParseEndTag(char* lt) {
  char* close = Find(lt + 2, '>');
  if (!close) return Stop(lt);
  if (parent_ != root_) parent_ = parent_->parent;
  return close + 1;
}

void Parser::MaybeText(char* from, char* to) {
  char* p = from;
  while (p < to && XmlIsSpace(*p)) ++p;
  if (p == to) return;
  XmlNodeRecord* node = AddNode(parent_, XmlNodeType::Text);
  if (!node) return;
  node->value = FinishValue(from, to, true, xmlflags::kTrimText);
}

char* Parser::FinishValue(char* start, char* end, bool decode, uint32_t trimFlag) {
  if (decode && std::memchr(start, '&', end - start)) {
    static const struct {
      const char* reference;
      size_t length;
      char character;
    } kReferences[] = {{"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''}};
    char* write = start;
    for (char* read = start; read < end;) {
      bool replaced = false;
      if (*read == '&') {
        for (const auto& ref : kReferences) {
          if (static_cast<size_t>(end - read) >= ref.length && std::memcmp(read, ref.reference, ref.length) == 0) {
            *write++ = ref.character;
            read += ref.length;
            replaced = true;
            break;
          }
        }
      }
      if (!replaced) *write++ = *read++;
    }
    end = write;
  }
  *end = '\0';
  if (!(flags_ & trimFlag)) return start;
  while (start < end && XmlIsSpace(*start)) ++start;
  while (end > start && XmlIsSpace(end[-1])) --end;
  *end = '\0';
  if (flags_ & xmlflags::kCollapseWhitespace) {
    char* write = start;
    bool inRun = false;
    for (char* read = start; read < end; ++read) {
      if (XmlIsSpace(*read)) {
        if (!inRun) *write++ = ' ';
        inRun = true;
      } else {
        *write++ = *read;
        inRun = false;
      }
    }
    *write = '\0';
  }
  return start;
}

// Finds the '>' that ends a DOCTYPE, stepping over quoted literals, comments
// and the bracketed internal subset. Answers the position after it.
char* Parser::SkipDoctype(char* p, int depth) {
  for (; p < end_; ++p) {
    char c = *p;
    if (c == '"' || c == '\'') {
      p = Find(p + 1, c);
      if (!p) return nullptr;
    } else if (depth > 0 && c == '<' && StartsWith(p, xmltext::kCommentOpen)) {
      p = FindText(p + 4, xmltext::kCommentClose, end_);
      if (!p) return nullptr;
      p += 2;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']' && depth > 0) {
      --depth;
    } else if (c == '>' && depth == 0) {
      return p + 1;
    }
  }
  return nullptr;
}

// A DOCTYPE node: bare words become attributes with a name only, quoted
// literals attributes with a value only; the internal subset becomes the
// value, or declaration children under the subset flag.
char* Parser::ParseDoctype(char* lt, char* body) {
  if (!(flags_ & xmlflags::kDoctypeAndInclude)) {
    char* after = SkipDoctype(body, 0);
    return after ? after : Stop(lt);
  }
  XmlNodeRecord* node = AddNode(parent_, XmlNodeType::Doctype);
  if (!node) return Stop(lt);
  char* p = body;
  char c = *p;
  for (;;) {
    while (XmlIsSpace(c)) c = *++p;
    if (c == '\0') return Stop(p);
    if (c == '>') return p + 1;
    if (c == '"' || c == '\'') {
      char* close = Find(p + 1, c);
      if (!close) return Stop(p);
      *close = '\0';
      xmlrecord::AppendAttribute(node, nullptr, true, p + 1, true, growBy_, pool_);
      p = close + 1;
      c = *p;
    } else if (c == '[') {
      char* subset = p + 1;
      char* close = SkipDoctype(subset, 1);  // stops after the '>' that follows the subset
      if (!close) return Stop(p);
      char* bracket = close - 1;
      while (*bracket != ']') --bracket;
      *bracket = '\0';
      if (flags_ & xmlflags::kDoctypeSubset) {
        ParseDeclarations(node, subset, bracket);
      } else {
        char* value = FinishValue(subset, bracket, false, xmlflags::kTrimDoctype);
        if (*value) node->value = value;
      }
      return close;
    } else {
      char* word = p;
      while (c != '\0' && c != '>' && c != '[' && c != '"' && c != '\'' && !XmlIsSpace(c)) c = *++p;
      *p = '\0';
      xmlrecord::AppendAttribute(node, word, true, nullptr, true, growBy_, pool_);
    }
  }
}

// Declarations of the internal subset between p and to (to is a zero).
void Parser::ParseDeclarations(XmlNodeRecord* doctype, char* p, char* to) {
  static const struct {
    const char* keyword;
    XmlNodeType type;
  } kDeclarations[] = {{xmltext::kEntityOpen, XmlNodeType::EntityDecl},
                       {xmltext::kAttlistOpen, XmlNodeType::AttlistDecl},
                       {xmltext::kElementOpen, XmlNodeType::ElementDecl},
                       {xmltext::kNotationOpen, XmlNodeType::NotationDecl}};
  while (p < to && (p = static_cast<char*>(std::memchr(p, '<', to - p)))) {
    if (StartsWith(p, xmltext::kCommentOpen)) {
      char* close = FindText(p + 4, xmltext::kCommentClose, to);
      if (!close) return;
      p = close + 3;
      continue;
    }
    XmlNodeType type = XmlNodeType::None;
    for (const auto& declaration : kDeclarations) {
      if (StartsWith(p, declaration.keyword)) {
        type = declaration.type;
        p += std::strlen(declaration.keyword);
        break;
      }
    }
    // The declaration ends at the first '>' outside a quoted literal.
    char* close = p + 1;
    for (char quote = 0; close < to && (quote || *close != '>'); ++close) {
      if (quote && *close == quote) quote = 0;
      else if (!quote && (*close == '"' || *close == '\'')) quote = *close;
    }
    if (close >= to) return;
    if (type != XmlNodeType::None) {
      while (p < close && XmlIsSpace(*p)) ++p;
      char* name = p;
      while (p < close && !XmlIsSpace(*p)) ++p;
      char* nameEnd = p;
      while (p < close && XmlIsSpace(*p)) ++p;
      XmlNodeRecord* node = nameEnd > name ? AddNode(doctype, type) : nullptr;
      if (node) {
        node->name = name;
        char* value = FinishValue(p, close, false, xmlflags::kTrimDeclarations);
        if (*value) node->value = value;
        *nameEnd = '\0';
      }
    }
    p = close + 1;
  }
}

}  // namespace

char* XmlParseInto(XmlNodeRecord* root, char* text, uint32_t flags, unsigned growBy, XmlPool* pool, bool& whole) {
  Parser parser(root, text, flags, growBy, pool);
  return parser.Run(whole);
}
