// The parameter document built from a model: the mirrored hierarchy written
// out byte for byte, shared intermediate elements, defaults copied as they
// are, set numbers and multi-set copies, nested parameter sets, models
// without a section, and deep subtrees copied without recursion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devicemodel/data_model_to_hmi.h"
#include "devicemodel/data_model_to_parameter.h"
#include "tests/devicemodel/model_text.h"
#include "xml/xml_writer.h"

namespace {

constexpr char kMenu[] = "\t<Hmi mode=\"menuTree\"><Top type=\"root\"/></Hmi>\n";

std::string Attributes(const std::string& multiSets) {
  return "device=\"D\" versionContent=\"1\" multiSets=\"" + multiSets + "\" versionSyntax=\"12\"";
}

// Loads the model and answers the parameter document's `root` as text.
struct Built {
  Built(const std::string& inside, const std::string& multiSets = "1") {
    const std::string model = modeltest::WithTrailer(modeltest::Body(Attributes(multiSets), inside + kMenu));
    text.assign(model.begin(), model.end());
    text.push_back('\0');
    LoadResult result;
    loaded = engine.Load(text.data(), result) && engine.CreateParameterDocument("g", "c");
  }
  XmlNode Root() { return engine.ParameterDocument().Root().Child(1); }
  // The section element and below, as written in the file.
  std::string Section() { return WriteXmlToString(Root().Child(0)); }

  std::vector<char> text;
  CDataModelToHMI engine;
  bool loaded = false;
};

TEST(ParameterWriter, MirroredHierarchyByteForByte) {
  Built b(
      "\t<Params type=\"sectionMDM\">\n"
      "\t\t<Prot type=\"mdm\" installed=\"true\">\n"
      "\t\t\t<Set based=\"paraSet\" type=\"sectionSingleSet\">\n"
      "\t\t\t\t<Limit type=\"float\" default=\"1.500\" min=\"0\"/>\n"
      "\t\t\t\t<Group><Mode type=\"selection\" default=\"On\"/><Name/><Empty default=\"\"/></Group>\n"
      "\t\t\t</Set>\n"
      "\t\t</Prot>\n"
      "\t</Params>\n");
  ASSERT_TRUE(b.loaded);
  EXPECT_EQ(WriteXmlToString(b.engine.ParameterDocument().Root()),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<root type=\"parameterFile\" versionSyntax=\"12\" device=\"D\" versionContent=\"1\" generator=\"g\" "
            "created=\"c\" createdWithDmHandoff=\"\">\n"
            "\t<Params>\n"
            "\t\t<Prot>\n"
            "\t\t\t<Set setNo=\"0\">\n"
            "\t\t\t\t<Limit>1.500</Limit>\n"
            "\t\t\t\t<Group>\n"
            "\t\t\t\t\t<Mode>On</Mode>\n"
            "\t\t\t\t\t<Name/>\n"
            "\t\t\t\t\t<Empty/>\n"
            "\t\t\t\t</Group>\n"
            "\t\t\t</Set>\n"
            "\t\t</Prot>\n"
            "\t</Params>\n"
            "</root>\n");
}

TEST(ParameterWriter, SetsSharingAPathShareTheirIntermediateElements) {
  Built b(
      "\t<Params type=\"sectionMDM\">\n"
      "\t\t<Prot type=\"mdm\"><Stage>\n"
      "\t\t\t<A based=\"paraSet\"><X default=\"1\"/></A>\n"
      "\t\t\t<B based=\"paraSet\"><Y default=\"2\"/></B>\n"
      "\t\t</Stage></Prot>\n"
      "\t\t<Prot type=\"mdm\"><Stage><C based=\"paraSet\"/></Stage></Prot>\n"
      "\t</Params>\n");
  ASSERT_TRUE(b.loaded);
  // A second model element of the same name still lands in the same mirror.
  EXPECT_EQ(b.Section(),
            "<Params>\n"
            "\t<Prot>\n"
            "\t\t<Stage>\n"
            "\t\t\t<A setNo=\"0\">\n"
            "\t\t\t\t<X>1</X>\n"
            "\t\t\t</A>\n"
            "\t\t\t<B setNo=\"0\">\n"
            "\t\t\t\t<Y>2</Y>\n"
            "\t\t\t</B>\n"
            "\t\t\t<C setNo=\"0\"/>\n"
            "\t\t</Stage>\n"
            "\t</Prot>\n"
            "</Params>\n");
}

constexpr char kMultiSet[] =
    "\t<Params type=\"sectionMDM\"><Prot type=\"mdm\">\n"
    "\t\t<Single based=\"paraSet\" type=\"sectionSingleSet\"><S default=\"s\"/></Single>\n"
    "\t\t<Stages based=\"paraSet\" type=\"sectionMultiSet\"><P default=\"0.50\"/><Q/></Stages>\n"
    "\t\t<After/>\n"
    "\t</Prot></Params>\n";

TEST(ParameterWriter, OneSetKeepsTheMultiSetElementAlone) {
  Built b(kMultiSet, "1");
  ASSERT_TRUE(b.loaded);
  EXPECT_EQ(b.Section(),
            "<Params>\n"
            "\t<Prot>\n"
            "\t\t<Single setNo=\"0\">\n"
            "\t\t\t<S>s</S>\n"
            "\t\t</Single>\n"
            "\t\t<Stages setNo=\"1\">\n"
            "\t\t\t<P>0.50</P>\n"
            "\t\t\t<Q/>\n"
            "\t\t</Stages>\n"
            "\t</Prot>\n"
            "</Params>\n");
}

TEST(ParameterWriter, FourSetsAppendThreeNumberedCopies) {
  Built b(kMultiSet, "4");
  ASSERT_TRUE(b.loaded);
  std::string expected = "<Params>\n\t<Prot>\n\t\t<Single setNo=\"0\">\n\t\t\t<S>s</S>\n\t\t</Single>\n";
  for (const char* set : {"1", "2", "3", "4"})
    expected += std::string("\t\t<Stages setNo=\"") + set + "\">\n\t\t\t<P>0.50</P>\n\t\t\t<Q/>\n\t\t</Stages>\n";
  expected += "\t</Prot>\n</Params>\n";
  EXPECT_EQ(b.Section(), expected);
}

TEST(ParameterWriter, CopiesFollowTheLastSiblingInSetOrder) {
  Built b(
      "\t<Params type=\"sectionMDM\"><M type=\"mdm\">\n"
      "\t\t<A based=\"paraSet\" type=\"sectionMultiSet\"/>\n"
      "\t\t<B based=\"paraSet\" type=\"sectionMultiSet\"/>\n"
      "\t\t<C based=\"paraSet\" type=\"sectionSingleSet\"/>\n"
      "\t</M></Params>\n",
      "3");
  ASSERT_TRUE(b.loaded);
  EXPECT_EQ(b.Section(),
            "<Params>\n\t<M>\n"
            "\t\t<A setNo=\"1\"/>\n\t\t<B setNo=\"1\"/>\n\t\t<C setNo=\"0\"/>\n"
            "\t\t<A setNo=\"2\"/>\n\t\t<A setNo=\"3\"/>\n\t\t<B setNo=\"2\"/>\n\t\t<B setNo=\"3\"/>\n"
            "\t</M>\n</Params>\n");
}

TEST(ParameterWriter, NestedParameterSetIsMirroredOnce) {
  Built b(
      "\t<Params type=\"sectionMDM\"><M type=\"mdm\">\n"
      "\t\t<Outer based=\"paraSet\" type=\"sectionSingleSet\">\n"
      "\t\t\t<X default=\"1\"/>\n"
      "\t\t\t<Inner based=\"paraSet\" type=\"sectionMultiSet\"><Y default=\"2\"/></Inner>\n"
      "\t\t</Outer>\n"
      "\t</M></Params>\n",
      "2");
  ASSERT_TRUE(b.loaded);
  // The inner set keeps its own element and number (the outer one keeps
  // "0"), and its copy is appended inside the outer set.
  EXPECT_EQ(b.Section(),
            "<Params>\n\t<M>\n"
            "\t\t<Outer setNo=\"0\">\n"
            "\t\t\t<X>1</X>\n"
            "\t\t\t<Inner setNo=\"1\">\n\t\t\t\t<Y>2</Y>\n\t\t\t</Inner>\n"
            "\t\t\t<Inner setNo=\"2\">\n\t\t\t\t<Y>2</Y>\n\t\t\t</Inner>\n"
            "\t\t</Outer>\n"
            "\t</M>\n</Params>\n");
}

TEST(ParameterWriter, SectionNameIsSkippedOnTheWayDown) {
  // The section sits inside a module; parameter sets elsewhere under the
  // model's root are mirrored below the section too.
  Built b(
      "\t<Mod type=\"mdm\"><Params type=\"sectionMDM\"><Set based=\"paraSet\"><V default=\"&amp;&lt;\"/></Set>"
      "</Params></Mod>\n"
      "\t<Elsewhere><Params><Set2 based=\"paraSet\"/></Params></Elsewhere>\n");
  ASSERT_TRUE(b.loaded);
  EXPECT_EQ(b.Section(),
            "<Params>\n"
            "\t<Mod>\n\t\t<Set setNo=\"0\">\n\t\t\t<V>&amp;&lt;</V>\n\t\t</Set>\n\t</Mod>\n"
            "\t<Elsewhere>\n\t\t<Set2 setNo=\"0\"/>\n\t</Elsewhere>\n"
            "</Params>\n");
  EXPECT_EQ(b.Root().Child(0).FindByPath("Mod/Set/V").FirstChildValue(), "&<");
}

TEST(ParameterWriter, RulesAndValueLabelsStayOutOfTheFile) {
  Built b(
      "\t<Params type=\"sectionMDM\"><M type=\"mdm\"><S based=\"paraSet\">\n"
      "\t\t<A default=\"1\"><R type=\"dependents\" check=\"eq\" with=\"1\"><T type=\"then\"><X set=\"2\"/></T></R>"
      "<Q type=\"typeCodeDependents\"/></A>\n"
      "\t\t<B default=\"3\"><L type=\"valueLabel\"><V valueRef=\"3\"/></L></B>\n"
      "\t\t<G><C default=\"4\"/></G>\n"
      "\t</S></M></Params>\n");
  ASSERT_TRUE(b.loaded);
  EXPECT_EQ(b.Section(),
            "<Params>\n\t<M>\n\t\t<S setNo=\"0\">\n"
            "\t\t\t<A>1</A>\n\t\t\t<B>3</B>\n\t\t\t<G>\n\t\t\t\t<C>4</C>\n\t\t\t</G>\n"
            "\t\t</S>\n\t</M>\n</Params>\n");
}

TEST(ParameterWriter, WithoutSectionNothingIsCopied) {
  Built b("\t<Params><M type=\"mdm\"><Set based=\"paraSet\"><V default=\"1\"/></Set></M></Params>\n");
  ASSERT_TRUE(b.loaded);
  EXPECT_EQ(b.Root().ChildCount(), 0u);
}

TEST(ParameterWriter, HugeSetCountIsBounded) {
  Built b(kMultiSet, "4000000000");
  ASSERT_TRUE(b.loaded);
  XmlNode prot = b.Root().Child(0).Child(0);
  EXPECT_EQ(prot.ChildCount(), 1u + kMaxMultiSets);
  EXPECT_EQ(prot.Child(kMaxMultiSets).Attribute("setNo").Value(), std::to_string(kMaxMultiSets));
}

// A chain of depth elements below a parameter set, copied and replicated.
TEST(ParameterWriter, DeepSubtreesNeedNoRecursion) {
  constexpr int kDepth = 200000;
  XmlDocument model;
  XmlNode set = model.Root().AppendChild(XmlNodeType::Element);
  set.SetName("Set");
  set.AddAttribute("based", "paraSet");
  set.AddAttribute("type", "sectionMultiSet");
  XmlNode node = set;
  for (int i = 0; i < kDepth; ++i) {
    node = node.AppendChild(XmlNodeType::Element);
    node.SetName("n");
  }
  node.AddAttribute("default", "leaf");

  XmlDocument parameters;
  CDataModelToParameter builder(parameters, 2, ParameterFileHeader{});
  XmlNode target = builder.Root().AppendChild(XmlNodeType::Element);
  target.SetName("Section");
  builder.CopyAndAddValueAndSetNumberToDestinationNode(set, target);
  builder.SetNumberPass(builder.Root());
  ASSERT_EQ(builder.Root().ChildCount(), 2u);  // the set and its copy
  for (size_t copy = 0; copy < 2; ++copy) {
    XmlNode walk = builder.Root().Child(copy);
    EXPECT_EQ(walk.Attribute("setNo").Value(), copy == 0 ? "1" : "2");
    int depth = 0;
    while (walk.ChildCount() == 1 && walk.Child(0).Type() == XmlNodeType::Element) {
      walk = walk.Child(0);
      ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(walk.FirstChildValue(), "leaf");
  }
}

}  // namespace
