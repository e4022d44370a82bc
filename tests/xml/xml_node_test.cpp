// Node and attribute handles: queries, the null handle, moves and changes,
// and ownership of removed children.
#include <gtest/gtest.h>

#include <string>

#include "tests/xml/xml_test_util.h"
#include "xml/xml_document.h"

namespace {

class XmlNodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    text_ = "<root><MDMs><CT1 a='1' b='2'>v</CT1><CT2/><CT1 a='3'/><!--c--></MDMs><x/></root>";
    doc_.Parse(text_.data());
    root_ = doc_.Root().Child(0);
    mdms_ = root_.Child(0);
  }
  std::string text_;
  XmlDocument doc_;
  XmlNode root_;
  XmlNode mdms_;
};

TEST_F(XmlNodeTest, NullHandleAnswersEmptyResults) {
  XmlNode null;
  EXPECT_TRUE(null.IsNull());
  EXPECT_EQ(null.Type(), XmlNodeType::None);
  EXPECT_EQ(null.Name(), "");
  EXPECT_EQ(null.Value(), "");
  EXPECT_EQ(null.ChildCount(), 0u);
  EXPECT_TRUE(null.Child(0).IsNull());
  EXPECT_TRUE(null.Parent().IsNull());
  EXPECT_EQ(null.FirstChildValue(), "");
  EXPECT_EQ(null.AttributeCount(), 0u);
  EXPECT_TRUE(null.Attribute("a").IsNull());
  EXPECT_EQ(null.IndexOfAttribute("a"), -1);
  EXPECT_EQ(null.IndexOfChild("a"), -1);
  EXPECT_EQ(null.Path(), "/");
  EXPECT_TRUE(null.FindElement("*").IsNull());
  EXPECT_TRUE(null.FindByPath("/a").IsNull());
  EXPECT_FALSE(null.MoveToRoot());
  EXPECT_FALSE(null.MoveToSibling(0));
  EXPECT_FALSE(null.MoveToNextSibling());
  EXPECT_FALSE(null.MoveToNextSibling("*"));
  EXPECT_FALSE(null.SetName("n"));
  EXPECT_FALSE(null.SetValue("v"));
  EXPECT_TRUE(null.AddAttribute("n", "v").IsNull());
  EXPECT_TRUE(null.AppendChild(XmlNodeType::Element).IsNull());
  EXPECT_TRUE(null.RemoveChild(0).IsNull());
  XmlAttribute nullAttribute;
  EXPECT_EQ(nullAttribute.Name(), "");
  EXPECT_EQ(nullAttribute.Value(), "");
  EXPECT_FALSE(nullAttribute.SetValue("x"));
}

TEST_F(XmlNodeTest, Queries) {
  XmlNode ct1 = mdms_.Child(0);
  EXPECT_EQ(mdms_.ChildCount(), 4u);
  EXPECT_TRUE(mdms_.Child(4).IsNull());
  EXPECT_EQ(ct1.Parent(), mdms_);
  EXPECT_TRUE(doc_.Root().Parent().IsNull());
  EXPECT_EQ(ct1.FirstChildValue(), "v");
  EXPECT_EQ(mdms_.FirstChildValue(), "c");  // the comment is the first child with a value
  EXPECT_EQ(ct1.IndexOfAttribute("b"), 1);
  EXPECT_EQ(ct1.IndexOfAttribute("z"), -1);
  EXPECT_EQ(ct1.Attribute("a").Value(), "1");
  EXPECT_EQ(mdms_.IndexOfChild("CT2"), 1);
  EXPECT_EQ(mdms_.IndexOfChild("CT?"), 0);
  EXPECT_EQ(mdms_.IndexOfChild("nope"), -1);
  EXPECT_EQ(ct1.Path(), "/root/MDMs/CT1");
  EXPECT_EQ(ct1.Path("\\"), "\\root\\MDMs\\CT1");
  EXPECT_EQ(doc_.Root().Path(), "/");
}

TEST_F(XmlNodeTest, Moves) {
  XmlNode node = mdms_.Child(0);
  EXPECT_TRUE(node.MoveToNextSibling());
  EXPECT_EQ(node.Name(), "CT2");
  EXPECT_TRUE(node.MoveToNextSibling("CT1"));
  EXPECT_EQ(node.Attribute("a").Value(), "3");
  EXPECT_FALSE(node.MoveToNextSibling("CT1"));
  EXPECT_EQ(node.Attribute("a").Value(), "3");  // unchanged
  EXPECT_TRUE(node.MoveToNextSibling());
  EXPECT_EQ(node.Type(), XmlNodeType::Comment);
  EXPECT_FALSE(node.MoveToNextSibling());
  EXPECT_TRUE(node.MoveToSibling(1));
  EXPECT_EQ(node.Name(), "CT2");
  EXPECT_FALSE(node.MoveToSibling(9));
  EXPECT_EQ(node.Name(), "CT2");
  EXPECT_TRUE(node.MoveToRoot());
  EXPECT_EQ(node, doc_.Root());
  EXPECT_FALSE(node.MoveToNextSibling());
  EXPECT_FALSE(node.MoveToSibling(0));
}

TEST_F(XmlNodeTest, NextSiblingFindsItsPlaceAfterTheArrayShifted) {
  XmlNode ct2 = mdms_.Child(1);
  XmlOwnedNode removed = mdms_.RemoveChild(0);
  EXPECT_TRUE(ct2.MoveToNextSibling());
  EXPECT_EQ(ct2.Attribute("a").Value(), "3");
}

TEST_F(XmlNodeTest, SetNameOverwritesInPlaceWhenItFits) {
  XmlNode ct1 = mdms_.Child(0);
  const char* before = ct1.NameChars();
  EXPECT_TRUE(ct1.SetName("C9"));
  EXPECT_EQ(ct1.NameChars(), before);  // still inside the parsed text
  EXPECT_TRUE(ct1.Record()->nameInText);
  EXPECT_EQ(text_.substr(13, 3), std::string("C9\0", 3));
  EXPECT_TRUE(ct1.SetName("Longer"));
  EXPECT_NE(ct1.NameChars(), before);
  EXPECT_FALSE(ct1.Record()->nameInText);
  EXPECT_EQ(ct1.Name(), "Longer");
  EXPECT_TRUE(ct1.SetName("EvenLongerName"));  // replaces its own heap copy
  EXPECT_EQ(ct1.Name(), "EvenLongerName");
  EXPECT_FALSE(ct1.SetName(nullptr));
  EXPECT_FALSE(ct1.Child(0).SetName("t"));  // text has no name to set
}

TEST_F(XmlNodeTest, SetValueOnlyOnTextCdataAndComment) {
  XmlNode text = mdms_.Child(0).Child(0);
  EXPECT_TRUE(text.SetValue("w"));
  EXPECT_EQ(mdms_.Child(0).FirstChildValue(), "w");
  EXPECT_TRUE(text.SetValue("a longer value"));
  EXPECT_EQ(text.Value(), "a longer value");
  EXPECT_TRUE(mdms_.Child(3).SetValue("comment"));
  EXPECT_FALSE(mdms_.SetValue("x"));
  EXPECT_FALSE(text.SetValue(nullptr));
  XmlAttribute a = mdms_.Child(0).Attribute("a");
  EXPECT_TRUE(a.SetValue("long attribute value"));
  EXPECT_EQ(mdms_.Child(0).Attribute("a").Value(), "long attribute value");
}

TEST_F(XmlNodeTest, AddAttributeAndAppendChild) {
  XmlNode x = root_.Child(1);
  XmlAttribute added = x.AddAttribute("k", "v");
  ASSERT_FALSE(added.IsNull());
  EXPECT_EQ(x.Attribute("k").Value(), "v");
  EXPECT_TRUE(x.AddAttribute(nullptr, "v").IsNull());
  EXPECT_TRUE(x.AddAttribute("k2", nullptr).IsNull());
  EXPECT_EQ(x.AttributeCount(), 1u);
  XmlNode text = mdms_.Child(0).Child(0);
  EXPECT_TRUE(text.AddAttribute("a", "b").IsNull());

  XmlNode child = x.AppendChild(XmlNodeType::Element);
  ASSERT_FALSE(child.IsNull());
  EXPECT_EQ(child.Parent(), x);
  EXPECT_TRUE(child.SetName("made"));
  XmlNode t = child.AppendChild(XmlNodeType::Text);
  EXPECT_TRUE(t.SetValue("txt"));
  EXPECT_TRUE(t.AppendChild(XmlNodeType::Element).IsNull());
  EXPECT_TRUE(x.AppendChild(XmlNodeType::Document).IsNull());
  EXPECT_TRUE(x.AppendChild(XmlNodeType::None).IsNull());
  EXPECT_FALSE(doc_.Root().AppendChild(XmlNodeType::Comment).IsNull());
  EXPECT_EQ(child.Path(), "/root/x/made");
  EXPECT_EQ(xmltest::Dump(x), "0 2 'x' 'k'='v' : ~\n1 2 'made' : ~\n2 3 ~ : 'txt'\n");
}

TEST_F(XmlNodeTest, RemovedChildBelongsToTheCaller) {
  XmlOwnedNode removed = mdms_.RemoveChild(0);
  ASSERT_FALSE(removed.IsNull());
  EXPECT_EQ(removed.Node().Name(), "CT1");
  EXPECT_TRUE(removed.Node().Parent().IsNull());
  EXPECT_EQ(removed.Node().Path(), "/CT1");
  EXPECT_EQ(removed.Node().FirstChildValue(), "v");
  EXPECT_EQ(mdms_.ChildCount(), 3u);
  EXPECT_EQ(mdms_.Child(0).Name(), "CT2");
  EXPECT_EQ(mdms_.Child(2).Type(), XmlNodeType::Comment);
  EXPECT_TRUE(mdms_.RemoveChild(3).IsNull());
  // A heap-owned subtree is freed by its owner (the sanitizer checks leaks).
  XmlNode made = root_.AppendChild(XmlNodeType::Element);
  made.SetName("owned");
  made.AddAttribute("a", "b");
  made.AppendChild(XmlNodeType::Text).SetValue("t");
  XmlOwnedNode second = root_.RemoveChild(root_.ChildCount() - 1);
  EXPECT_EQ(second.Node().Name(), "owned");
  XmlOwnedNode moved = std::move(second);
  EXPECT_TRUE(second.IsNull());
  moved = std::move(removed);
  EXPECT_EQ(moved.Node().Name(), "CT1");
}

}  // namespace
