// The writer's exact bytes: line breaks, indentation, inline text, the
// empty-element form, "anonymous", DOCTYPE and declarations, escaping.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "xml/xml_document.h"
#include "xml/xml_writer.h"

namespace {

std::string Rewrite(const std::string& source, uint32_t flags = 0x0A, char indent = '\t', bool lineBreaks = true) {
  XmlDocument doc;
  doc.ParseCopy(source, flags);
  return WriteXmlToString(doc.Root(), indent, lineBreaks);
}

// The five-line document built through the handles, not the parser.
void BuildSample(XmlDocument& doc) {
  XmlNode top = doc.Root();
  XmlNode pi = top.AppendChild(XmlNodeType::ProcessingInstruction);
  pi.SetName("xml");
  pi.AddAttribute("version", "1.0");
  pi.AddAttribute("encoding", "UTF-8");
  XmlNode root = top.AppendChild(XmlNodeType::Element);
  root.SetName("root");
  XmlNode x = root.AppendChild(XmlNodeType::Element);
  x.SetName("x");
  x.AppendChild(XmlNodeType::Text).SetValue("5");
  top.AppendChild(XmlNodeType::Comment).SetValue(" c ");
}

TEST(XmlWriter, FiveLineDocument) {
  XmlDocument doc;
  BuildSample(doc);
  EXPECT_EQ(WriteXmlToString(doc.Root()),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<root>\n"
            "\t<x>5</x>\n"
            "</root>\n"
            "<!-- c -->\n");
}

TEST(XmlWriter, CompactFormKeepsIndentCharacters) {
  XmlDocument doc;
  BuildSample(doc);
  EXPECT_EQ(WriteXmlToString(doc.Root(), '\t', false),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root>\t<x>5</x></root><!-- c -->");
  EXPECT_EQ(WriteXmlToString(doc.Root(), 0, false),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><x>5</x></root><!-- c -->");
}

TEST(XmlWriter, EmptyElementAndBareAttribute) {
  EXPECT_EQ(Rewrite("<e/>"), "<e/>\n");
  EXPECT_EQ(Rewrite("<e flag a='1'></e>"), "<e flag a=\"1\"/>\n");
}

TEST(XmlWriter, UnnamedElementIsAnonymous) {
  XmlDocument doc;
  XmlNode e = doc.Root().AppendChild(XmlNodeType::Element);
  e.AppendChild(XmlNodeType::Element);
  e.AppendChild(XmlNodeType::Comment).SetValue("k");
  EXPECT_EQ(WriteXmlToString(doc.Root(), ' ', true), "<anonymous>\n <anonymous/>\n <!--k-->\n</anonymous>\n");
}

TEST(XmlWriter, NestedIndentationAndSingleNode) {
  const std::string source = "<a><b><c>t</c><d/></b><!--x--></a>";
  EXPECT_EQ(Rewrite(source), "<a>\n\t<b>\n\t\t<c>t</c>\n\t\t<d/>\n\t</b>\n\t<!--x-->\n</a>\n");
  EXPECT_EQ(Rewrite(source, 0x0A, 0, true), "<a>\n<b>\n<c>t</c>\n<d/>\n</b>\n<!--x-->\n</a>\n");
  XmlDocument doc;
  doc.ParseCopy(source);
  // A single node is written from its own level.
  EXPECT_EQ(WriteXmlToString(doc.Root().Child(0).Child(0)), "<b>\n\t<c>t</c>\n\t<d/>\n</b>\n");
}

TEST(XmlWriter, TextAmongOtherChildrenGetsItsOwnLine) {
  EXPECT_EQ(Rewrite("<a>one<b/></a>"), "<a>\n\tone\n\t<b/>\n</a>\n");
}

TEST(XmlWriter, EscapesAttributeValuesAndText) {
  EXPECT_EQ(Rewrite("<e a='x&amp;y&lt;&gt;&quot;&apos;'>a&amp;b &lt;c&gt; \"q\" 'p'</e>"),
            "<e a=\"x&amp;y&lt;&gt;&quot;'\">a&amp;b &lt;c&gt; \"q\" 'p'</e>\n");
}

TEST(XmlWriter, NumericCharacterReferencesAreWrittenAsTheyStand) {
  // The parser keeps numeric references as text; written unchanged, every
  // reader decodes them to the character. Anything short of a well-formed
  // reference to a character XML allows keeps its '&' escaped.
  const struct {
    const char* value;
    const char* written;
  } cases[] = {
      {"Bay &#65;1", "Bay &#65;1"},
      {"&#x41;&#X41;&#xe9;&#x10FFFF;", "&#x41;&amp;#X41;&#xe9;&#x10FFFF;"},
      {"&#9;&#10;&#13;&#32;&#55295;&#57344;&#65533;", "&#9;&#10;&#13;&#32;&#55295;&#57344;&#65533;"},
      {"&#0;&#8;&#55296;&#65534;&#x110000;&#99999999999999999999;", "&amp;#0;&amp;#8;&amp;#55296;&amp;#65534;"
                                                                     "&amp;#x110000;&amp;#99999999999999999999;"},
      {"&#;&#x;&#65&#x41 ;&#-1;&#+1;&#1a;&#xg;&#", "&amp;#;&amp;#x;&amp;#65&amp;#x41 ;&amp;#-1;&amp;#+1;&amp;#1a;"
                                                  "&amp;#xg;&amp;#"},
      {"&#65;&&#66;<&#67;>", "&#65;&amp;&#66;&lt;&#67;&gt;"},
  };
  for (const auto& c : cases) {
    XmlDocument doc;
    XmlNode e = doc.Root().AppendChild(XmlNodeType::Element);
    e.SetName("e");
    e.AddAttribute("a", c.value);
    e.AppendChild(XmlNodeType::Text).SetValue(c.value);
    EXPECT_EQ(WriteXmlToString(doc.Root()), std::string("<e a=\"") + c.written + "\">" + c.written + "</e>\n")
        << c.value;
  }
  // Parsed text: the reference stays as written ("&amp;#65;" reads as the same text).
  EXPECT_EQ(Rewrite("<e a='&#65;&#x42;'>&#65;</e>"), "<e a=\"&#65;&#x42;\">&#65;</e>\n");
  EXPECT_EQ(Rewrite("<e>&amp;#65;</e>"), "<e>&#65;</e>\n");
}

TEST(XmlWriter, CommentsCdataAndIncludeAreWrittenUnchanged) {
  EXPECT_EQ(Rewrite("<r><!--a<&>b--><![CDATA[<&>]]><![INCLUDE[x&y]]></r>", 0x0A | 0x10 | 0x4),
            "<r>\n\t<!--a<&>b-->\n\t<![CDATA[<&>]]>\n\t<![INCLUDE[x&y]]>\n</r>\n");
}

TEST(XmlWriter, NodesWithoutValueWriteOnlyTheirLine) {
  XmlDocument doc;
  XmlNode r = doc.Root().AppendChild(XmlNodeType::Element);
  r.SetName("r");
  r.AppendChild(XmlNodeType::Comment);
  r.AppendChild(XmlNodeType::Cdata);
  r.AppendChild(XmlNodeType::EntityDecl);
  EXPECT_EQ(WriteXmlToString(doc.Root()), "<r>\n\t\n\t\n\t\n</r>\n");
}

TEST(XmlWriter, Doctype) {
  EXPECT_EQ(Rewrite("<!DOCTYPE html PUBLIC \"-//a//b\" 'c.dtd'><html/>", 0x4),
            "<!DOCTYPE html PUBLIC \"-//a//b\" \"c.dtd\">\n<html/>\n");
  EXPECT_EQ(Rewrite("<!DOCTYPE r [ <!ENTITY a 'b'> ]><r/>", 0x4 | 0x400), "<!DOCTYPE r [<!ENTITY a 'b'>]>\n<r/>\n");
  const std::string subset = "<!DOCTYPE r [<!ENTITY a 'b'><!ELEMENT r ANY><!ATTLIST r x CDATA #IMPLIED>]><r/>";
  EXPECT_EQ(Rewrite(subset, 0x4 | 0x2000),
            "<!DOCTYPE r\n[\n\t<!ENTITY a 'b'>\n\t<!ELEMENT r ANY>\n\t<!ATTLIST r x CDATA #IMPLIED>\n]>\n<r/>\n");
  EXPECT_EQ(Rewrite(subset, 0x4 | 0x2000, '\t', false),
            "<!DOCTYPE r [ \t<!ENTITY a 'b'>\t<!ELEMENT r ANY>\t<!ATTLIST r x CDATA #IMPLIED>]><r/>");
}

TEST(XmlWriter, NullHandleAndFailedStreamWriteNothing) {
  std::ostringstream out;
  WriteXml(XmlNode(), out);
  EXPECT_EQ(out.str(), "");
  XmlDocument doc;
  BuildSample(doc);
  std::ostringstream failed;
  failed << "kept";
  failed.setstate(std::ios::failbit);
  WriteXml(doc.Root(), failed);
  EXPECT_EQ(failed.str(), "kept");
}

TEST(XmlWriter, AttributeWithoutNameIsSkipped) {
  XmlDocument doc;
  XmlNode e = doc.Root().AppendChild(XmlNodeType::Element);
  e.SetName("e");
  char value[] = "v";
  xmlrecord::AppendAttribute(e.Record(), nullptr, true, value, true, 1);
  e.AddAttribute("k", "w");
  EXPECT_EQ(WriteXmlToString(doc.Root()), "<e k=\"w\"/>\n");
  // The unnamed literal of a DOCTYPE is written in double quotes.
  doc.ParseCopy("<!DOCTYPE r 'lit'><r/>", 0x4);
  EXPECT_EQ(WriteXmlToString(doc.Root()), "<!DOCTYPE r \"lit\">\n<r/>\n");
}

}  // namespace
