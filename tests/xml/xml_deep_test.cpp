// A document nested 100,000 levels deep goes through every operation that
// walks a tree (parse, traverse, path, find, write, destruction) without
// touching the call stack in proportion to the depth.
#include <gtest/gtest.h>

#include <string>

#include "xml/xml_document.h"
#include "xml/xml_walker.h"
#include "xml/xml_writer.h"

namespace {

constexpr int kDepth = 100000;

std::string DeepText() {
  std::string text;
  text.reserve(kDepth * 7 + 8);
  for (int i = 0; i < kDepth; ++i) text += "<a>";
  text += "<z/>";
  for (int i = 0; i < kDepth; ++i) text += "</a>";
  return text;
}

class Counter : public XmlWalker {
 public:
  bool for_each(XmlNode, bool&) override {
    ++visited;
    if (depth() > deepest) deepest = depth();
    return true;
  }
  long visited = 0;
  int deepest = 0;
};

TEST(XmlDeep, EveryWalkIsIterative) {
  const std::string source = DeepText();
  XmlDocument doc;
  doc.ParseCopy(source);
  ASSERT_TRUE(doc.ParsedWhole());

  Counter counter;
  EXPECT_TRUE(doc.Root().Traverse(counter));
  EXPECT_EQ(counter.visited, kDepth + 1);
  EXPECT_EQ(counter.deepest, kDepth + 1);

  XmlNode z = doc.Root().FindElement("z");
  ASSERT_FALSE(z.IsNull());
  std::string path = z.Path();
  EXPECT_EQ(path.size(), static_cast<size_t>(kDepth) * 2 + 2);
  EXPECT_EQ(doc.Root().FindByPath(path.c_str()), z);
  EXPECT_TRUE(doc.Root().FindByPath((path + "/q").c_str()).IsNull());

  EXPECT_EQ(WriteXmlToString(doc.Root(), 0, false), source);

  XmlNode top = z;
  EXPECT_TRUE(top.MoveToRoot());
  EXPECT_EQ(top, doc.Root());
  // Taking the deep chain out and dropping it frees it iteratively too.
  XmlOwnedNode chain = doc.Root().RemoveChild(0);
  EXPECT_EQ(doc.Root().ChildCount(), 0u);
}

TEST(XmlDeep, UnclosedDeepDocumentIsFreedWithTheDocument) {
  std::string text;
  for (int i = 0; i < kDepth; ++i) text += "<a x='1'>t";
  XmlDocument doc;
  doc.ParseCopy(text);
  EXPECT_FALSE(doc.ParsedWhole());
}

}  // namespace
