// Parsed trees live in their document's pool and the path index interns
// paths: a parsed tree changed through the node API (arrays grown onto the
// heap, heap strings, removed subtrees) frees cleanly, across many parses
// that reuse the pool's blocks, and the index answers exactly the paths
// interned, names compared literally.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xml/xml_document.h"
#include "xml/xml_path_index.h"

namespace {

std::string Generated(int elements) {
  std::string text = "<root>";
  for (int i = 0; i < elements; ++i) text += "<e" + std::to_string(i % 7) + " a='" + std::to_string(i) + "'>t</e" +
                                            std::to_string(i % 7) + ">";
  return text + "</root>";
}

TEST(XmlPool, ParsedTreesChangedThroughTheApiFreeCleanlyAcrossParses) {
  for (int round = 0; round < 20; ++round) {
    std::string text = Generated(20000 + round * 997);  // several pool blocks, reused from round to round
    XmlDocument doc;
    doc.Parse(&text[0]);
    XmlNode root = doc.Root().Child(0);
    ASSERT_EQ(root.ChildCount(), static_cast<size_t>(20000 + round * 997));
    XmlNode first = root.Child(0);
    for (int i = 0; i < 9; ++i) first.AppendChild(XmlNodeType::Element).SetName("added");  // grows a pooled array
    for (int i = 0; i < 9; ++i) first.AddAttribute("x", "a longer value than the parsed one");
    first.Attribute("a").SetValue("a value longer than the text had");
    first.Child(0).SetValue("a text longer than the parsed one");
    EXPECT_EQ(first.ChildCount(), 10u);
    EXPECT_EQ(first.AttributeCount(), 10u);
    XmlOwnedNode removed = root.RemoveChild(1);  // freed here, while the document lives
    EXPECT_EQ(removed.Node().Name(), "e1");
    EXPECT_EQ(root.Child(1).Name(), "e2");
  }
}

TEST(XmlPathIndex, FindsExactlyThePathsInterned) {
  XmlPathIndex index;
  const XmlPathIndex::Id a = index.Intern(XmlPathIndex::kTop, "a");
  const XmlPathIndex::Id ab = index.Intern(a, "b");
  EXPECT_EQ(index.Intern(a, "b"), ab);  // interned once
  std::vector<XmlPathIndex::Id> chain{ab};
  for (int i = 0; i < 5000; ++i) chain.push_back(index.Intern(chain.back(), "n" + std::to_string(i % 3)));
  EXPECT_EQ(index.Size(), 5003u);
  const struct {
    const char* path;
    XmlPathIndex::Id expected;
  } kCases[] = {{"/a", a},        {"/a/b", ab},       {"/a/b/n0", chain[1]}, {"/a/b/n0/n1", chain[2]},
                {"", XmlPathIndex::kNone},   {"/", XmlPathIndex::kNone},     {"a/b", XmlPathIndex::kNone},
                {"/a//b", XmlPathIndex::kNone}, {"/a/b/", XmlPathIndex::kNone}, {"/a/c", XmlPathIndex::kNone},
                {"/a/*", XmlPathIndex::kNone},  {"/A", XmlPathIndex::kNone},    {"/a/b/n1", XmlPathIndex::kNone}};
  for (const auto& c : kCases) EXPECT_EQ(index.FindPath(c.path), c.expected) << c.path;
  std::string deep = "/a/b";
  for (int i = 0; i < 5000; ++i) deep += "/n" + std::to_string(i % 3);
  EXPECT_EQ(index.FindPath(deep), chain.back());
  index.Clear();
  EXPECT_EQ(index.FindPath("/a"), XmlPathIndex::kNone);
  EXPECT_EQ(index.Size(), 1u);
}

}  // namespace
