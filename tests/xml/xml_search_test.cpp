// Wildcard compare, find element by name, find by path with backtracking,
// and the walker driven by traverse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xml/wildcard.h"
#include "xml/xml_document.h"
#include "xml/xml_walker.h"

namespace {

TEST(Wildcard, Examples) {
  EXPECT_TRUE(WildcardMatch("C*", "CT1"));
  EXPECT_FALSE(WildcardMatch("[!A]*", "ABC"));
  EXPECT_TRUE(WildcardMatch("[!A]*", "BBC"));
  EXPECT_FALSE(WildcardMatch("?", ""));
  EXPECT_TRUE(WildcardMatch("*", ""));
  EXPECT_TRUE(WildcardMatch("", ""));
  EXPECT_FALSE(WildcardMatch("", "a"));
}

TEST(Wildcard, QuestionMarkAndStars) {
  EXPECT_TRUE(WildcardMatch("C?1", "CT1"));
  EXPECT_FALSE(WildcardMatch("C?1", "C1"));
  EXPECT_TRUE(WildcardMatch("a**b", "ab"));
  EXPECT_TRUE(WildcardMatch("*a*b*", "xxaxxbxx"));
  EXPECT_FALSE(WildcardMatch("*a*b", "xxaxxbxxc"));
  EXPECT_TRUE(WildcardMatch("*ab", "aaab"));  // the star resumes after a false start
  EXPECT_FALSE(WildcardMatch("ct1", "CT1"));  // case-sensitive
  EXPECT_FALSE(WildcardMatch("CT", "CT1"));   // the whole name must be consumed
  EXPECT_FALSE(WildcardMatch("CT12", "CT1"));
  EXPECT_FALSE(WildcardMatch(nullptr, "a"));
  EXPECT_FALSE(WildcardMatch("a", nullptr));
}

TEST(Wildcard, Sets) {
  EXPECT_TRUE(WildcardMatch("CT[123]", "CT2"));
  EXPECT_FALSE(WildcardMatch("CT[123]", "CT4"));
  EXPECT_TRUE(WildcardMatch("[a-c]x", "bx"));
  EXPECT_FALSE(WildcardMatch("[a-c]x", "dx"));
  EXPECT_TRUE(WildcardMatch("[!a-c]x", "dx"));
  // A range needs first < second; otherwise the three are members.
  EXPECT_FALSE(WildcardMatch("[c-a]", "b"));
  EXPECT_TRUE(WildcardMatch("[c-a]", "-"));
  EXPECT_TRUE(WildcardMatch("[c-a]", "a"));
  // A '-' at the end of the set is a member.
  EXPECT_TRUE(WildcardMatch("[a-]", "-"));
  EXPECT_FALSE(WildcardMatch("[a-]", "b"));
  // ']' first (or right after '!') is a member.
  EXPECT_TRUE(WildcardMatch("[]a]", "]"));
  EXPECT_TRUE(WildcardMatch("[]a]", "a"));
  EXPECT_FALSE(WildcardMatch("[!]a]", "]"));
  EXPECT_TRUE(WildcardMatch("[!]a]", "b"));
  // An unclosed '[' is an ordinary character.
  EXPECT_TRUE(WildcardMatch("[ab", "[ab"));
  EXPECT_FALSE(WildcardMatch("[ab", "a"));
  EXPECT_TRUE(WildcardMatch("*[0-9]", "CT7"));
}

TEST(Wildcard, LongInputsStayFast) {
  std::string name(5000, 'a');
  std::string pattern;
  for (int i = 0; i < 200; ++i) pattern += "*a";
  pattern += "b";
  EXPECT_FALSE(WildcardMatch(pattern.c_str(), name.c_str()));
}

struct Doc {
  explicit Doc(const char* source) : text(source) { doc.Parse(text.data()); }
  std::string text;
  XmlDocument doc;
};

TEST(XmlFind, ElementByNameIsDepthFirstInOrder) {
  Doc d("<r><a><x id='1'/></a><x id='2'/></r>");
  XmlNode r = d.doc.Root().Child(0);
  EXPECT_EQ(r.FindElement("x").Attribute("id").Value(), "1");
  EXPECT_EQ(r.FindElement("[xy]").Attribute("id").Value(), "1");
  EXPECT_EQ(d.doc.Root().FindElement("r"), r);
  EXPECT_TRUE(r.FindElement("nope").IsNull());
}

TEST(XmlFind, TypeFilterAppliesToDirectChildrenOnly) {
  Doc d("<r><x id='1'><x id='2'/></x><?x p='1'?></r>");
  XmlNode r = d.doc.Root().Child(0);
  EXPECT_EQ(r.FindElement("x", XmlNodeType::Element).Attribute("id").Value(), "1");
  // The outer x fails the filter, so the search descends into it unfiltered.
  EXPECT_EQ(r.FindElement("x", XmlNodeType::ProcessingInstruction).Attribute("id").Value(), "2");
  Doc flat("<r><y/><?x p='1'?></r>");
  EXPECT_EQ(flat.doc.Root().Child(0).FindElement("x", XmlNodeType::ProcessingInstruction).Type(),
            XmlNodeType::ProcessingInstruction);
}

TEST(XmlFind, PathOverTwoSameNamedSiblings) {
  Doc d("<root><MDMs><CT1/></MDMs><MDMs><CT1><Want v='2'/></CT1></MDMs></root>");
  XmlNode found = d.doc.Root().FindByPath("/root/MDMs/CT1/Want");
  ASSERT_FALSE(found.IsNull());
  EXPECT_EQ(found.Attribute("v").Value(), "2");
  EXPECT_EQ(found.Path(), "/root/MDMs/CT1/Want");
}

TEST(XmlFind, PathBacktracksOverSeveralLevels) {
  Doc d(
      "<r><a><b><c/></b><b/></a><a><b/><b><c><d k='1'/></c></b></a><a><b><c><d k='2'/></c></b></a></r>");
  XmlNode root = d.doc.Root();
  EXPECT_EQ(root.FindByPath("/r/a/b/c/d").Attribute("k").Value(), "1");
  EXPECT_TRUE(root.FindByPath("/r/a/b/c/e").IsNull());
  EXPECT_TRUE(root.FindByPath("/r/a/x").IsNull());
  EXPECT_TRUE(root.FindByPath("/q").IsNull());
}

TEST(XmlFind, PathAnswersOnlyNodesWhoseNamesMatch) {
  Doc d("<r><a><x><y/></x></a><b><z><w/></z></b></r>");
  XmlNode root = d.doc.Root();
  EXPECT_TRUE(root.FindByPath("/r/a/z/w").IsNull());
  EXPECT_TRUE(root.FindByPath("/r/b/x/y").IsNull());
  EXPECT_EQ(root.FindByPath("/r/?/z/w").Path(), "/r/b/z/w");
  EXPECT_EQ(root.FindByPath("/r/*/x/*").Path(), "/r/a/x/y");
}

TEST(XmlFind, PathTokensDelimitersAndStart) {
  Doc d("<r><a><b id='1'/></a><c/></r>");
  XmlNode root = d.doc.Root();
  XmlNode a = root.Child(0).Child(0);
  EXPECT_EQ(a.FindByPath("b").Attribute("id").Value(), "1");   // relative
  EXPECT_EQ(a.FindByPath("/r/c").Name(), "c");                  // absolute from anywhere
  EXPECT_EQ(a.FindByPath("b/../../c").Name(), "c");
  EXPECT_EQ(a.FindByPath("./b/.").Name(), "b");
  EXPECT_EQ(root.FindByPath("//r///a").Name(), "a");           // empty tokens vanish
  EXPECT_EQ(root.FindByPath("\\r\\a\\b", "\\/").Name(), "b");
  EXPECT_EQ(root.FindByPath("/r\\a/b", "/\\").Name(), "b");
  EXPECT_TRUE(root.FindByPath("r/a", "\\").IsNull());           // one token "r/a"
  EXPECT_TRUE(root.FindByPath("///").IsNull());
  EXPECT_TRUE(root.FindByPath("").IsNull());
  EXPECT_TRUE(root.FindByPath(nullptr).IsNull());
  EXPECT_EQ(root.FindByPath("/../../r").Name(), "r");            // never above the document
}

TEST(XmlFind, PathWithManyClimbsStaysLinear) {
  std::string text = "<r>";
  for (int i = 0; i < 200; ++i) text += "<a><a/></a>";
  text += "</r>";
  Doc d(text.c_str());
  std::string path = "/r";
  for (int i = 0; i < 20; ++i) path += "/a/a/../..";
  path += "/a/missing";
  EXPECT_TRUE(d.doc.Root().FindByPath(path.c_str()).IsNull());
}

class Recorder : public XmlWalker {
 public:
  bool begin(XmlNode node) override {
    log += "begin " + node.Name() + "@" + std::to_string(depth()) + "\n";
    return beginAnswer;
  }
  bool for_each(XmlNode node, bool& descend) override {
    log += node.Name() + "@" + std::to_string(depth()) + "\n";
    if (node.Name() == skip) descend = false;
    return node.Name() != stopAt;
  }
  bool end(XmlNode node) override {
    log += "end " + node.Name() + "@" + std::to_string(depth()) + "\n";
    return true;
  }
  std::string log;
  std::string skip;
  std::string stopAt;
  bool beginAnswer = true;
};

TEST(XmlWalk, TraverseVisitsInDocumentOrderWithDepth) {
  Doc d("<r><a><b/></a><c><d/></c></r>");
  Recorder walker;
  walker.skip = "c";
  EXPECT_TRUE(d.doc.Root().Child(0).Traverse(walker));
  EXPECT_EQ(walker.log, "begin r@0\na@1\nb@2\nc@1\nend r@0\n");
  EXPECT_EQ(walker.depth(), 0);
}

TEST(XmlWalk, FalseEndsTheWalk) {
  Doc d("<r><a><b/><x/></a><c/></r>");
  Recorder walker;
  walker.stopAt = "b";
  EXPECT_FALSE(d.doc.Root().Child(0).Traverse(walker));
  EXPECT_EQ(walker.log, "begin r@0\na@1\nb@2\n");
  Recorder refuses;
  refuses.beginAnswer = false;
  EXPECT_FALSE(d.doc.Root().Traverse(refuses));
  EXPECT_EQ(refuses.log, "begin @0\n");
}

TEST(XmlWalk, NullHandleBeginsAndEnds) {
  Recorder walker;
  EXPECT_TRUE(XmlNode().Traverse(walker));
  EXPECT_EQ(walker.log, "begin @0\nend @0\n");
}

TEST(XmlWalk, DepthNeverGoesBelowZero) {
  Recorder walker;
  walker.pop();
  EXPECT_EQ(walker.depth(), 0);
  walker.push();
  EXPECT_EQ(walker.depth(), 1);
}

}  // namespace
