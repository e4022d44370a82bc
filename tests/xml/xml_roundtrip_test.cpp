// Round-trip properties over generated documents: write, parse and write
// again gives the same tree and the same bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/xml/xml_test_util.h"
#include "xml/xml_document.h"
#include "xml/xml_writer.h"

namespace {

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  void Fill(XmlDocument& doc) {
    XmlNode top = doc.Root();
    if (Chance(2)) {
      XmlNode pi = top.AppendChild(XmlNodeType::ProcessingInstruction);
      pi.SetName("xml");
      pi.AddAttribute("version", "1.0");
    }
    if (Chance(3)) top.AppendChild(XmlNodeType::Comment).SetValue(CommentText().c_str());
    FillElement(top.AppendChild(XmlNodeType::Element), 0);
  }

 private:
  bool Chance(int oneIn) { return Pick(oneIn) == 0; }
  int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }

  std::string Name() {
    static const char kFirst[] = "abcxyzABCXYZ_";
    static const char kRest[] = "abcXYZ019-._:";
    std::string name(1, kFirst[Pick(sizeof(kFirst) - 1)]);
    for (int i = Pick(6); i > 0; --i) name += kRest[Pick(sizeof(kRest) - 1)];
    return name;
  }

  // Text with the special characters, references spelled out, and spaces.
  std::string Mixed(int length) {
    static const char* kPieces[] = {"&", "<", ">", "\"", "'", " ", "\t", "a", "Z", "9", "&amp;", "&lt;", "&#65;", "\n", "]]>"};
    std::string text;
    for (int i = 0; i < length; ++i) text += kPieces[Pick(sizeof(kPieces) / sizeof(kPieces[0]))];
    return text;
  }

  std::string TextValue() { return Mixed(Pick(8)) + "x" + Mixed(Pick(8)); }

  std::string CommentText() {
    static const char kChars[] = "ab <>&\"' \t";
    std::string text;
    for (int i = Pick(12); i > 0; --i) text += kChars[Pick(sizeof(kChars) - 1)];
    return text;
  }

  void FillElement(XmlNode element, int depth) {
    element.SetName(Name().c_str());
    int attributes = Pick(4);
    for (int i = 0; i < attributes; ++i)
      element.AddAttribute((Name() + std::to_string(i)).c_str(), Mixed(Pick(10)).c_str());
    if (depth >= 6) return;
    int shape = Pick(4);
    if (shape == 0) return;                        // empty element
    if (shape == 1) {                              // text as the only child
      element.AppendChild(XmlNodeType::Text).SetValue(TextValue().c_str());
      return;
    }
    for (int i = Pick(5); i >= 0; --i) {           // elements and comments
      if (Chance(4))
        element.AppendChild(XmlNodeType::Comment).SetValue(CommentText().c_str());
      else
        FillElement(element.AppendChild(XmlNodeType::Element), depth + 1);
    }
  }

  std::mt19937 random_;
};

TEST(XmlRoundTrip, GeneratedDocumentsReadBackAsTheSameTree) {
  for (unsigned seed = 1; seed <= 400; ++seed) {
    XmlDocument original;
    Generator(seed).Fill(original);
    std::string first = WriteXmlToString(original.Root());
    XmlDocument reread;
    reread.ParseCopy(first);
    ASSERT_TRUE(reread.ParsedWhole()) << first;
    ASSERT_EQ(xmltest::Dump(reread.Root()), xmltest::Dump(original.Root())) << "seed " << seed << "\n" << first;
    ASSERT_EQ(WriteXmlToString(reread.Root()), first) << "seed " << seed;
    // The compact form reads back to the same tree as well.
    std::string compact = WriteXmlToString(original.Root(), 0, false);
    XmlDocument fromCompact;
    fromCompact.ParseCopy(compact);
    ASSERT_EQ(xmltest::Dump(fromCompact.Root()), xmltest::Dump(original.Root())) << compact;
  }
}

// Markup soup (everything the parser keeps with these flags, so no text
// nodes meet across a skipped construct), parsed with text trimming: after the first write,
// writing is a fixed point and the tree no longer changes.
TEST(XmlRoundTrip, WritingParsedSoupIsAFixedPointAfterOneRound) {
  static const char* kPieces[] = {"<a", "<b x='1'", " y=\"&amp;\"", ">", "/>", "</a>", "</b>", "text", " ", "&lt;",
                                  "<!--c-->", "<?p q?>", "<![CDATA[d]]>", "\n", "&", "'", "\"", "=", "]]>"};
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    std::string soup;
    for (int i = std::uniform_int_distribution<int>(1, 40)(random); i > 0; --i)
      soup += kPieces[std::uniform_int_distribution<size_t>(0, sizeof(kPieces) / sizeof(kPieces[0]) - 1)(random)];
    const uint32_t flags = 0x0A | 0x10 | 0x40;
    XmlDocument first;
    first.ParseCopy(soup, flags);
    std::string w1 = WriteXmlToString(first.Root());
    XmlDocument second;
    second.ParseCopy(w1, flags);
    std::string w2 = WriteXmlToString(second.Root());
    ASSERT_EQ(xmltest::Dump(second.Root()), xmltest::Dump(first.Root())) << soup;
    ASSERT_EQ(w2, w1) << soup;
  }
}

}  // namespace
