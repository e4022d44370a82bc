// The in-place parser: the shapes it builds, the flags, entity decoding,
// trimming, and its behaviour on malformed and truncated text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/xml/xml_test_util.h"
#include "xml/xml_document.h"

namespace {

constexpr uint32_t kDefault = 0x0A;

struct Parsed {
  explicit Parsed(const std::string& source, uint32_t flags = kDefault) : text(source.begin(), source.end()) {
    text.push_back('\0');
    stop = doc.Parse(text.data(), flags);
  }
  XmlNode Top(size_t i = 0) const { return doc.Root().Child(i); }
  std::vector<char> text;
  XmlDocument doc;
  char* stop = nullptr;
};

TEST(XmlParser, EmptyElementWithBothQuoteStyles) {
  Parsed p("<e first='1' second=\"2\"/>");
  ASSERT_EQ(p.doc.Root().ChildCount(), 1u);
  XmlNode e = p.Top();
  EXPECT_EQ(e.Type(), XmlNodeType::Element);
  EXPECT_EQ(e.Name(), "e");
  ASSERT_EQ(e.AttributeCount(), 2u);
  EXPECT_EQ(e.AttributeAt(0).Name(), "first");
  EXPECT_EQ(e.AttributeAt(0).Value(), "1");
  EXPECT_EQ(e.AttributeAt(1).Name(), "second");
  EXPECT_EQ(e.AttributeAt(1).Value(), "2");
  EXPECT_EQ(e.ChildCount(), 0u);
  EXPECT_TRUE(p.doc.ParsedWhole());
}

TEST(XmlParser, QuoteOfTheOtherKindIsPartOfTheValue) {
  Parsed p("<e a='say \"hi\"' b=\"it's\"/>");
  EXPECT_EQ(p.Top().Attribute("a").Value(), "say \"hi\"");
  EXPECT_EQ(p.Top().Attribute("b").Value(), "it's");
}

TEST(XmlParser, WhitespaceOnlyContentMakesNoChild) {
  Parsed p("<e> \n\t\r </e>");
  EXPECT_EQ(p.Top().ChildCount(), 0u);
}

TEST(XmlParser, TextChildKeepsItsSpacesUnlessTrimmed) {
  Parsed kept("<e> ab </e>");
  ASSERT_EQ(kept.Top().ChildCount(), 1u);
  EXPECT_EQ(kept.Top().Child(0).Type(), XmlNodeType::Text);
  EXPECT_EQ(kept.Top().Child(0).Value(), " ab ");
  Parsed trimmed("<e> ab </e>", kDefault | 0x40);
  EXPECT_EQ(trimmed.Top().Child(0).Value(), "ab");
}

TEST(XmlParser, CollapseTurnsWhitespaceRunsIntoOneSpace) {
  Parsed p("<e a=' x \t\n y  '>  one \n\n two  </e>", kDefault | 0x40 | 0x80 | 0x1000);
  EXPECT_EQ(p.Top().Attribute("a").Value(), "x y");
  EXPECT_EQ(p.Top().FirstChildValue(), "one two");
  Parsed noCollapse("<e a=' x   y '/>", kDefault | 0x80);
  EXPECT_EQ(noCollapse.Top().Attribute("a").Value(), "x   y");
  Parsed untrimmed("<e a=' x '/>");
  EXPECT_EQ(untrimmed.Top().Attribute("a").Value(), " x ");
}

TEST(XmlParser, EndTagClosesTheOpenElementWhateverItsName) {
  Parsed p("<a><b></c><d/></a>");
  XmlNode a = p.Top();
  ASSERT_EQ(a.ChildCount(), 2u);
  EXPECT_EQ(a.Child(0).Name(), "b");
  EXPECT_EQ(a.Child(0).ChildCount(), 0u);
  EXPECT_EQ(a.Child(1).Name(), "d");
  EXPECT_TRUE(p.doc.ParsedWhole());
}

TEST(XmlParser, ReferencesAreDecodedOnceLeftToRight) {
  Parsed p("<e v='&amp;lt;'>&amp;lt;</e>");
  EXPECT_EQ(p.Top().Attribute("v").Value(), "&lt;");
  EXPECT_EQ(p.Top().FirstChildValue(), "&lt;");
}

TEST(XmlParser, TheFiveReferencesAndNothingElse) {
  Parsed p("<e v='&amp;&lt;&gt;&quot;&apos;'>a&#65;&#x42;&nbsp;&amp&lt;b&quot</e>");
  EXPECT_EQ(p.Top().Attribute("v").Value(), "&<>\"'");
  EXPECT_EQ(p.Top().FirstChildValue(), "a&#65;&#x42;&nbsp;&amp<b&quot");
}

TEST(XmlParser, DefaultFlagsKeepDeclarationAndCommentsSkipCdataAndDoctype) {
  Parsed p(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE r [<!ENTITY x \"y\"> <!ELEMENT r ANY>]>\n"
      "<!-- note -->\n<r><![CDATA[<raw>]]></r>");
  XmlNode root = p.doc.Root();
  ASSERT_EQ(root.ChildCount(), 3u);
  XmlNode pi = root.Child(0);
  EXPECT_EQ(pi.Type(), XmlNodeType::ProcessingInstruction);
  EXPECT_EQ(pi.Name(), "xml");
  ASSERT_EQ(pi.AttributeCount(), 2u);
  EXPECT_EQ(pi.AttributeAt(0).Name(), "version");
  EXPECT_EQ(pi.AttributeAt(0).Value(), "1.0");
  EXPECT_EQ(pi.AttributeAt(1).Name(), "encoding");
  EXPECT_EQ(pi.AttributeAt(1).Value(), "UTF-8");
  EXPECT_EQ(root.Child(1).Type(), XmlNodeType::Comment);
  EXPECT_EQ(root.Child(1).Value(), " note ");
  EXPECT_EQ(root.Child(2).Name(), "r");
  EXPECT_EQ(root.Child(2).ChildCount(), 0u);
  EXPECT_TRUE(p.doc.ParsedWhole());
}

TEST(XmlParser, FlagsSelectWhatBecomesANode) {
  const std::string text = "<?pi a='1'?><!--c--><r><![CDATA[ d ]]><![INCLUDE[ i ]]></r>";
  Parsed none(text, 0);
  EXPECT_EQ(xmltest::Dump(none.doc.Root()), "0 1 ~ : ~\n1 2 'r' : ~\n");
  Parsed all(text, 0x2 | 0x4 | 0x8 | 0x10 | 0x100 | 0x800);
  EXPECT_EQ(xmltest::Dump(all.doc.Root()),
            "0 1 ~ : ~\n1 6 'pi' 'a'='1' : ~\n1 5 ~ : 'c'\n1 2 'r' : ~\n2 4 ~ : 'd'\n2 7 ~ : 'i'\n");
}

TEST(XmlParser, KeepStoredFlagsReusesThePreviousFlags) {
  XmlDocument doc;
  EXPECT_EQ(doc.Flags(), 0x0Au);
  std::string first = "<r/>";
  doc.Parse(first.data(), 0x10);
  EXPECT_EQ(doc.Flags(), 0x10u);
  std::string second = "<r><![CDATA[x]]><!--c--></r>";
  doc.Parse(second.data(), 0x80000000u);
  EXPECT_EQ(doc.Flags(), 0x10u);
  EXPECT_EQ(xmltest::Dump(doc.Root()), "0 1 ~ : ~\n1 2 'r' : ~\n2 4 ~ : 'x'\n");
}

TEST(XmlParser, NamesAndValuesPointIntoTheTextWithTerminatorsWritten) {
  std::string text = "<root attr=\"v\">hi</root>";
  XmlDocument doc;
  char* stop = doc.Parse(text.data());
  EXPECT_EQ(stop, text.data() + text.size());
  XmlNode root = doc.Root().Child(0);
  EXPECT_EQ(root.NameChars(), text.data() + 1);
  EXPECT_TRUE(root.Record()->nameInText);
  EXPECT_EQ(root.Attribute("attr").ValueChars(), text.data() + 12);
  EXPECT_EQ(root.Child(0).ValueChars(), text.data() + 15);
  EXPECT_EQ(text[5], '\0');   // after "root"
  EXPECT_EQ(text[10], '\0');  // after "attr"
  EXPECT_EQ(text[13], '\0');  // closing quote
  EXPECT_EQ(text[17], '\0');  // the '<' after the text
}

TEST(XmlParser, AttributeWithoutEqualsHasNoValue) {
  Parsed p("<e flag other = 'x' last/>");
  XmlNode e = p.Top();
  ASSERT_EQ(e.AttributeCount(), 3u);
  EXPECT_EQ(e.AttributeAt(0).Name(), "flag");
  EXPECT_FALSE(e.AttributeAt(0).HasValue());
  EXPECT_EQ(e.AttributeAt(1).Value(), "x");
  EXPECT_FALSE(e.AttributeAt(2).HasValue());
}

TEST(XmlParser, TextOutsideTheTopElementIsSkipped) {
  Parsed p("junk <a/> more junk <b/> tail");
  EXPECT_EQ(xmltest::Dump(p.doc.Root()), "0 1 ~ : ~\n1 2 'a' : ~\n1 2 'b' : ~\n");
}

TEST(XmlParser, TextAfterChildrenIsKept) {
  Parsed p("<a>one<b/>two<!--c-->three</a>");
  EXPECT_EQ(xmltest::Dump(p.Top()),
            "0 2 'a' : ~\n1 3 ~ : 'one'\n1 2 'b' : ~\n1 3 ~ : 'two'\n1 5 ~ : 'c'\n1 3 ~ : 'three'\n");
}

TEST(XmlParser, ProcessingInstructionWithFreeContent) {
  Parsed p("<r><?php echo 1; ?><?pi a>b?><x/></r>");
  XmlNode r = p.Top();
  ASSERT_EQ(r.ChildCount(), 3u);
  EXPECT_EQ(r.Child(0).Name(), "php");
  EXPECT_EQ(r.Child(1).Name(), "pi");  // only "?>" ends an instruction
  EXPECT_EQ(r.Child(2).Name(), "x");
  EXPECT_TRUE(p.doc.ParsedWhole());
}

TEST(XmlParser, DoctypeNodeUnderFlag4) {
  Parsed p("<!DOCTYPE html PUBLIC \"-//x//y\" 'sys.dtd' [ <!ENTITY a 'b'> ]><html/>", 0x4 | 0x400);
  XmlNode dt = p.Top();
  EXPECT_EQ(dt.Type(), XmlNodeType::Doctype);
  ASSERT_EQ(dt.AttributeCount(), 4u);
  EXPECT_EQ(dt.AttributeAt(0).Name(), "html");
  EXPECT_EQ(dt.AttributeAt(1).Name(), "PUBLIC");
  EXPECT_EQ(dt.AttributeAt(2).NameChars(), nullptr);
  EXPECT_EQ(dt.AttributeAt(2).Value(), "-//x//y");
  EXPECT_EQ(dt.AttributeAt(3).Value(), "sys.dtd");
  EXPECT_EQ(dt.Value(), "<!ENTITY a 'b'>");
  EXPECT_EQ(p.Top(1).Name(), "html");
  EXPECT_TRUE(p.doc.ParsedWhole());
}

TEST(XmlParser, DoctypeSubsetBecomesDeclarationsUnderFlag2000) {
  Parsed p(
      "<!DOCTYPE r [\n <!ENTITY e \"a>b\" >\n <!-- <!ELEMENT no x> -->\n <!ATTLIST r id CDATA #IMPLIED>\n"
      " <!ELEMENT r ANY>\n <!NOTATION n SYSTEM 'x'>\n]><r/>",
      0x4 | 0x2000 | 0x200);
  EXPECT_EQ(xmltest::Dump(p.Top()),
            "0 8 ~ 'r'=~ : ~\n1 9 'e' : '\"a>b\"'\n1 10 'r' : 'id CDATA #IMPLIED'\n1 11 'r' : 'ANY'\n"
            "1 12 'n' : 'SYSTEM 'x''\n");
  EXPECT_EQ(p.Top(1).Name(), "r");
}

TEST(XmlParser, SkippedDoctypeStepsOverItsSubset) {
  Parsed p("<!DOCTYPE r [ <!ENTITY a '>'> <!-- ] > --> ]><r/>");
  EXPECT_EQ(xmltest::Dump(p.doc.Root()), "0 1 ~ : ~\n1 2 'r' : ~\n");
  EXPECT_TRUE(p.doc.ParsedWhole());
}

TEST(XmlParser, NullTextGivesAnEmptyDocument) {
  XmlDocument doc;
  std::string text = "<a/>";
  doc.Parse(text.data());
  EXPECT_EQ(doc.Parse(nullptr), nullptr);
  EXPECT_EQ(doc.Root().ChildCount(), 0u);
  EXPECT_EQ(doc.Root().Type(), XmlNodeType::Document);
  EXPECT_TRUE(doc.ParsedWhole());
}

TEST(XmlParser, ParseReplacesTheWholeTree) {
  XmlDocument doc;
  doc.ParseCopy("<a><b/></a>");
  doc.ParseCopy("<c/>");
  EXPECT_EQ(xmltest::Dump(doc.Root()), "0 1 ~ : ~\n1 2 'c' : ~\n");
}

TEST(XmlParser, ParseCopyLeavesTheCallersTextAlone) {
  const std::string text = "<a x='&amp;'>t</a>";
  XmlDocument doc;
  doc.ParseCopy(text);
  EXPECT_EQ(text, "<a x='&amp;'>t</a>");
  EXPECT_EQ(doc.Root().Child(0).Attribute("x").Value(), "&");
}

struct Malformed {
  const char* text;
  const char* kept;  // dump of what is kept
};

TEST(XmlParser, MalformedTextStopsAndKeepsWhatWasBuilt) {
  const Malformed cases[] = {
      {"<a><b x=\"1", "0 1 ~ : ~\n1 2 'a' : ~\n2 2 'b' : ~\n"},
      {"<a><b x=", "0 1 ~ : ~\n1 2 'a' : ~\n2 2 'b' : ~\n"},
      {"<a><b x=1/></a>", "0 1 ~ : ~\n1 2 'a' : ~\n2 2 'b' : ~\n"},
      {"<a><!-- open", "0 1 ~ : ~\n1 2 'a' : ~\n"},
      {"<a><![CDATA[ open", "0 1 ~ : ~\n1 2 'a' : ~\n"},
      {"<a><b", "0 1 ~ : ~\n1 2 'a' : ~\n2 2 'b' : ~\n"},
      {"<a></a", "0 1 ~ : ~\n1 2 'a' : ~\n"},
      {"<a><b>", "0 1 ~ : ~\n1 2 'a' : ~\n2 2 'b' : ~\n"},
      {"<a> 1 < 2 </a>", "0 1 ~ : ~\n1 2 'a' : ~\n2 3 ~ : ' 1 '\n"},
      {"<a %/>", "0 1 ~ : ~\n1 2 'a' : ~\n"},
      {"<?xml version='1.0'", "0 1 ~ : ~\n1 6 'xml' 'version'='1.0' : ~\n"},
      {"<!DOCTYPE r [ <!ENTITY a 'x'>", "0 1 ~ : ~\n"},
      {"<", "0 1 ~ : ~\n"},
  };
  for (const auto& c : cases) {
    Parsed p(c.text);
    EXPECT_FALSE(p.doc.ParsedWhole()) << c.text;
    EXPECT_EQ(xmltest::Dump(p.doc.Root()), c.kept) << c.text;
    EXPECT_GE(p.stop, p.text.data()) << c.text;
    EXPECT_LT(p.stop, p.text.data() + p.text.size()) << c.text;
  }
}

TEST(XmlParser, EveryPrefixOfADocumentParsesSafely) {
  const std::string full =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE m [<!ENTITY e 'v'>]>\n<!-- head -->\n"
      "<m a='1' b=\"&amp;2\"><p n=\"x\" flag/><t>  text &lt; here </t><![CDATA[c]]><?pi x='y'?>"
      "<![INCLUDE[i]]></m>\n";
  for (uint32_t flags : {0x0Au, 0x3FFEu}) {
    for (size_t length = 0; length <= full.size(); ++length) {
      // Exactly length bytes and the terminator, so the sanitizer sees any
      // read beyond the text.
      std::unique_ptr<char[]> text(new char[length + 1]);
      std::memcpy(text.get(), full.data(), length);
      text[length] = '\0';
      XmlDocument doc;
      char* stop = doc.Parse(text.get(), flags);
      ASSERT_GE(stop, text.get());
      ASSERT_LE(stop, text.get() + length);
      if (length == full.size()) {
        EXPECT_TRUE(doc.ParsedWhole());
      } else if (length > full.find("<m ") && length < full.size() - 1) {
        EXPECT_FALSE(doc.ParsedWhole()) << length;  // cut inside the top element
      }
    }
  }
}

TEST(XmlParser, ManySiblingsAndAttributesGrowTheArrays) {
  std::string text = "<r";
  for (int i = 0; i < 300; ++i) text += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
  text += ">";
  for (int i = 0; i < 5000; ++i) text += "<c" + std::to_string(i) + "/>";
  text += "</r>";
  Parsed p(text);
  XmlNode r = p.Top();
  ASSERT_EQ(r.AttributeCount(), 300u);
  EXPECT_EQ(r.AttributeAt(299).Value(), "299");
  ASSERT_EQ(r.ChildCount(), 5000u);
  EXPECT_EQ(r.Child(4999).Name(), "c4999");
  EXPECT_EQ(r.IndexOfChild("c4321"), 4321);
}

}  // namespace
