// Creation, growth and release of node and attribute records. Arrays grow
// geometrically; release walks the tree iteratively so depth never matters.
#include "xml/xml_record.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace xmlrecord {

bool HasAttributes(XmlNodeType type) {
  switch (type) {
    case XmlNodeType::Element:
    case XmlNodeType::ProcessingInstruction:
    case XmlNodeType::Doctype:
    case XmlNodeType::EntityDecl:
    case XmlNodeType::AttlistDecl:
    case XmlNodeType::ElementDecl:
    case XmlNodeType::NotationDecl:
      return true;
    default:
      return false;
  }
}

bool HasChildren(XmlNodeType type) {
  return type == XmlNodeType::Document || type == XmlNodeType::Element || type == XmlNodeType::Doctype;
}

namespace {

void* Take(size_t bytes, XmlPool* pool) { return pool ? pool->Allocate(bytes) : std::malloc(bytes); }

}  // namespace

XmlNodeRecord* NewNode(XmlNodeType type, XmlNodeRecord* parent, XmlPool* pool) {
  auto* node = static_cast<XmlNodeRecord*>(Take(sizeof(XmlNodeRecord), pool));
  if (!node) return nullptr;
  new (node) XmlNodeRecord();
  node->type = type;
  node->parent = parent ? parent : node;
  node->pooled = node->attributesPooled = node->childrenPooled = pool != nullptr;
  if (HasAttributes(type)) {
    node->attributes = static_cast<XmlAttributeRecord**>(Take(sizeof(XmlAttributeRecord*), pool));
    node->attributeCapacity = node->attributes ? 1 : 0;
  }
  if (HasChildren(type)) {
    node->children = static_cast<XmlNodeRecord**>(Take(sizeof(XmlNodeRecord*), pool));
    node->childCapacity = node->children ? 1 : 0;
  }
  return node;
}

namespace {

// Grows an array of pointers; false (array unchanged) when memory runs out.
// A pooled array is copied into the pool when one is given, else to the heap.
template <typename T>
bool Grow(T**& array, unsigned& capacity, bool& pooled, unsigned growBy, XmlPool* pool) {
  unsigned step = growBy == 0 ? 1 : growBy;
  if (step < capacity) step = capacity;
  if (capacity > (1u << 30)) return false;
  unsigned wanted = capacity + step;
  void* grown;
  if (pooled) {
    grown = Take(sizeof(T*) * wanted, pool);
    if (grown && capacity) std::memcpy(grown, array, sizeof(T*) * capacity);
  } else {
    grown = std::realloc(array, sizeof(T*) * wanted);
  }
  if (!grown) return false;
  array = static_cast<T**>(grown);
  capacity = wanted;
  pooled = pooled && pool;
  return true;
}

}  // namespace

bool AppendChild(XmlNodeRecord* parent, XmlNodeRecord* child, unsigned growBy, XmlPool* pool) {
  if (!HasChildren(parent->type)) return false;
  if (parent->childCount == parent->childCapacity &&
      !Grow(parent->children, parent->childCapacity, parent->childrenPooled, growBy, pool))
    return false;
  parent->children[parent->childCount++] = child;
  child->parent = parent;
  return true;
}

XmlAttributeRecord* AppendAttribute(XmlNodeRecord* node, char* name, bool nameInText, char* value,
                                    bool valueInText, unsigned growBy, XmlPool* pool) {
  if (!HasAttributes(node->type)) return nullptr;
  if (node->attributeCount == node->attributeCapacity &&
      !Grow(node->attributes, node->attributeCapacity, node->attributesPooled, growBy, pool))
    return nullptr;
  auto* attribute = static_cast<XmlAttributeRecord*>(Take(sizeof(XmlAttributeRecord), pool));
  if (!attribute) return nullptr;
  attribute->pooled = pool != nullptr;
  attribute->name = name;
  attribute->nameInText = nameInText;
  attribute->value = value;
  attribute->valueInText = valueInText;
  node->attributes[node->attributeCount++] = attribute;
  return attribute;
}

void FreeAttribute(XmlAttributeRecord* attribute) {
  if (!attribute) return;
  if (!attribute->nameInText) std::free(attribute->name);
  if (!attribute->valueInText) std::free(attribute->value);
  if (!attribute->pooled) std::free(attribute);
}

namespace {

void FreeOne(XmlNodeRecord* node) {
  for (unsigned i = 0; i < node->attributeCount; ++i) FreeAttribute(node->attributes[i]);
  if (!node->attributesPooled) std::free(node->attributes);
  if (!node->childrenPooled) std::free(node->children);
  if (!node->nameInText) std::free(node->name);
  if (!node->valueInText) std::free(node->value);
  if (!node->pooled) std::free(node);
}

}  // namespace

void FreeTree(XmlNodeRecord* top) {
  XmlNodeRecord* node = top;
  while (node) {
    if (node->childCount > 0) {
      node = node->children[--node->childCount];
      continue;
    }
    XmlNodeRecord* up = node == top ? nullptr : node->parent;
    FreeOne(node);
    node = up;
  }
}

char* CopyString(const char* text) {
  size_t size = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(std::malloc(size));
  if (copy) std::memcpy(copy, text, size);
  return copy;
}

bool AssignString(char*& slot, bool& inText, const char* text) {
  if (!text) return false;
  size_t length = std::strlen(text);
  if (slot && std::strlen(slot) >= length) {
    std::memmove(slot, text, length + 1);
    return true;
  }
  char* copy = CopyString(text);
  if (!copy) return false;
  if (!inText) std::free(slot);
  slot = copy;
  inText = false;
  return true;
}

}  // namespace xmlrecord

namespace {

constexpr size_t kFirstBlockBytes = 64u << 10;
constexpr size_t kBlockBytes = 4u << 20;
// Released full-size blocks kept for the next parse (at most 128 MiB): handing
// memory back to the system and faulting it in again page by page would cost
// more than the parse itself.
constexpr size_t kCachedBlocks = 32;

// Both live as long as the process: a document destroyed during exit may
// still give its blocks back.
std::mutex& CacheMutex() {
  static std::mutex* mutex = new std::mutex();
  return *mutex;
}
std::vector<char*>& BlockCache() {
  static std::vector<char*>* cache = new std::vector<char*>();
  return *cache;
}

char* TakeBlock(size_t size) {
  if (size == kBlockBytes) {
    std::lock_guard<std::mutex> lock(CacheMutex());
    std::vector<char*>& cache = BlockCache();
    if (!cache.empty()) {
      char* block = cache.back();
      cache.pop_back();
      return block;
    }
  }
  return static_cast<char*>(std::malloc(size));
}

void GiveBlock(char* block, size_t size) {
  if (size == kBlockBytes) {
    std::lock_guard<std::mutex> lock(CacheMutex());
    std::vector<char*>& cache = BlockCache();
    if (cache.size() < kCachedBlocks) {
      cache.push_back(block);
      return;
    }
  }
  std::free(block);
}

}  // namespace

void* XmlPool::Allocate(size_t bytes) {
  constexpr size_t kAlign = alignof(void*);
  bytes = (bytes + kAlign - 1) & ~(kAlign - 1);
  if (static_cast<size_t>(end_ - next_) < bytes) {
    // A small first block, then full-size ones: a small document takes
    // little and a large one few blocks.
    size_t size = blocks_.empty() ? kFirstBlockBytes : kBlockBytes;
    if (size < bytes) size = bytes;
    char* block = TakeBlock(size);
    if (!block) return nullptr;
    blocks_.push_back({block, size});
    next_ = block;
    end_ = block + size;
  }
  void* memory = next_;
  next_ += bytes;
  return memory;
}

void XmlPool::Release() {
  for (const Block& block : blocks_) GiveBlock(block.start, block.size);
  blocks_.clear();
  next_ = end_ = nullptr;
}
