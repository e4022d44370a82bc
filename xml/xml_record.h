// The node and attribute records of an XML tree and the few primitives that
// create, grow and free them. A string whose in-text flag is false is a heap
// copy owned by its record; strings inside the parsed text are never freed.
// Records and arrays the parser makes come from its document's pool (their
// pooled flags set): they are never freed one by one but die with the pool.
#pragma once

#include <cstddef>
#include <vector>

enum class XmlNodeType : int {
  None = 0,
  Document = 1,
  Element = 2,
  Text = 3,
  Cdata = 4,
  Comment = 5,
  ProcessingInstruction = 6,
  Include = 7,
  Doctype = 8,
  EntityDecl = 9,
  AttlistDecl = 10,
  ElementDecl = 11,
  NotationDecl = 12,
};

struct XmlAttributeRecord {
  char* name = nullptr;
  bool nameInText = false;
  bool pooled = false;  // the record itself lives in a pool
  char* value = nullptr;
  bool valueInText = false;
};

struct XmlNodeRecord {
  XmlNodeRecord* parent = nullptr;  // the document record points to itself
  char* name = nullptr;
  bool nameInText = false;
  bool pooled = false;             // the record lives in a pool
  bool attributesPooled = false;   // so does its attribute array
  bool childrenPooled = false;     // and its child array
  XmlNodeType type = XmlNodeType::None;
  unsigned attributeCount = 0;
  unsigned attributeCapacity = 0;
  XmlAttributeRecord** attributes = nullptr;
  unsigned childCount = 0;
  unsigned childCapacity = 0;
  XmlNodeRecord** children = nullptr;
  char* value = nullptr;
  bool valueInText = false;
};

// A bump allocator: blocks are taken from the heap, handed out in order and
// given back all together, so a parse costs no allocation per record.
class XmlPool {
 public:
  XmlPool() = default;
  ~XmlPool() { Release(); }
  XmlPool(const XmlPool&) = delete;
  XmlPool& operator=(const XmlPool&) = delete;
  // Pointer-aligned memory, or null when memory runs out.
  void* Allocate(size_t bytes);
  void Release();

 private:
  struct Block {
    char* start;
    size_t size;
  };
  std::vector<Block> blocks_;
  char* next_ = nullptr;
  char* end_ = nullptr;
};

namespace xmlrecord {

// Which kinds carry an attribute array and a child array.
bool HasAttributes(XmlNodeType type);
bool HasChildren(XmlNodeType type);

// A new record of the given kind with arrays of capacity 1 where the kind has
// them, taken from pool when one is given; null when memory runs out.
XmlNodeRecord* NewNode(XmlNodeType type, XmlNodeRecord* parent, XmlPool* pool = nullptr);

// Appends to the arrays, enlarging them by at least growBy slots (and never
// less than doubling, so long runs stay linear). An array enlarged without a
// pool moves to the heap. False when memory runs out.
bool AppendChild(XmlNodeRecord* parent, XmlNodeRecord* child, unsigned growBy, XmlPool* pool = nullptr);
XmlAttributeRecord* AppendAttribute(XmlNodeRecord* node, char* name, bool nameInText, char* value,
                                    bool valueInText, unsigned growBy, XmlPool* pool = nullptr);

// Frees a whole subtree without recursion: it repeatedly descends to the last
// child, frees leaves and climbs back through the parent pointers.
void FreeTree(XmlNodeRecord* top);
void FreeAttribute(XmlAttributeRecord* attribute);

// Replaces *slot with text: overwritten in place when the old string is at
// least as long, else a heap copy (freeing an old heap copy). False for null.
bool AssignString(char*& slot, bool& inText, const char* text);
char* CopyString(const char* text);

}  // namespace xmlrecord
