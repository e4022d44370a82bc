// Parameter records: decimals, the values never checked, the in-use rule,
// selection items and value labels, records reached from a view, derived
// view references (with the per-set views of one product line), multi-set
// values and the DDI assignment.
#include <gtest/gtest.h>

#include <string>

#include "devicemodel/data_model_ddi.h"
#include "devicemodel/data_model_to_hmi.h"
#include "tests/devicemodel/model_text.h"

namespace {

using modeltest::LoadedModel;

const char kInside[] =
    "\t<P type=\"sectionMDM\">\n"
    "\t\t<M type=\"mdm\" installed=\"true\" projected=\"true\"><S based=\"paraSet\" type=\"sectionSingleSet\">\n"
    "\t\t\t<F1 type=\"float\" min=\"0\" max=\"40.00\" default=\"1.5\"/>\n"
    "\t\t\t<F2 type=\"float\" min=\"0\" max=\"40.00\" _MaxDefaultFloat=\"4.5\" default=\"1.5\"/>\n"
    "\t\t\t<F3 type=\"integer\" min=\"0\" max=\"40.00\" default=\"1\"/>\n"
    "\t\t\t<V type=\"integer\" mode=\"value\" min=\"0\" max=\"1\" default=\"7\"/>\n"
    "\t\t\t<I type=\"integer\" min=\"0\" max=\"1\" default=\"7\"/>\n"
    "\t\t\t<Sel type=\"selection\" ref=\"L/List\" min=\"b\" max=\"d\" default=\"a\"/>\n"
    "\t\t\t<SelNoMin type=\"selection\" ref=\"L/List\" max=\"b\" default=\"a\"/>\n"
    "\t\t\t<Inverted type=\"selection\" ref=\"L/List\" min=\"d\" max=\"b\" default=\"d\"/>\n"
    "\t\t\t<NoList type=\"selection\" default=\"zz\"/>\n"
    "\t\t\t<Lab type=\"integer\" min=\"0\" max=\"1\" default=\"99\">"
    "<VL type=\"valueLabel\"><x valueRef=\"99\" shortText=\"t\"/></VL></Lab>\n"
    "\t\t</S></M>\n"
    "\t\t<N type=\"mdm\" projected=\"true\"><S2 based=\"paraSet\"><Q type=\"integer\" default=\"1\"/></S2></N>\n"
    "\t\t<PS type=\"mdm\" installed=\"true\" projected=\"false\"><Proj type=\"sectionProjectSettings\">"
    "<R type=\"integer\" default=\"1\"/></Proj></PS>\n"
    "\t\t<Free based=\"paraSet\"><Z type=\"integer\" default=\"1\"/></Free>\n"
    "\t</P>\n"
    "\t<L><List type=\"staticSelectionList\"><a/><b textRef=\"T/b\"/><c view=\"hidden\"/><d/><e/></List></L>\n"
    "\t<D type=\"sectionDDI\"><E1 type=\"ddiEntry\" entryRef=\"P/M/S/Sel\" default=\"b\" ref=\"L/List\"/>"
    "<E2 type=\"ddiEntry\" entryRef=\"P/M/S/Sel\" default=\"a\" ref=\"L/List\"/>"
    "<E3 type=\"ddiEntry\" entryRef=\"P/M/S/Sel\" default=\"zz\" ref=\"L/List\"/></D>\n"
    "\t<Hmi mode=\"menuTree\"><Top type=\"root\"><View type=\"entryList\">"
    "<En type=\"entry\" entryRef=\"P/M/S/I\"/><En2 type=\"entry\" entryRef=\"P/M/S/V\"/></View></Top></Hmi>\n";

std::string Model(const std::string& inside = kInside) {
  return modeltest::WithTrailer(
      modeltest::Body("device=\"D\" versionContent=\"1\" multiSets=\"1\" versionSyntax=\"12\"", inside));
}

struct Records : ::testing::Test {
  Records() : m(Model()) {}
  ParameterRecord Read(const std::string& path) {
    ParameterRecord record;
    EXPECT_TRUE(m.engine.ReadRecord(m.engine.Queries()->Find(path), false, "", record)) << path;
    return record;
  }
  LoadedModel m;
};

TEST_F(Records, DecimalsOfFloatParameters) {
  ASSERT_TRUE(m.ok);
  EXPECT_EQ(Read("/root/P/M/S/F1").decimals, 2);
  EXPECT_EQ(Read("/root/P/M/S/F2").decimals, 1);  // _MaxDefaultFloat wins over max
  EXPECT_EQ(Read("/root/P/M/S/F3").decimals, 0);  // not a float
}

TEST_F(Records, ValueModeIsNeverListedAsImplausible) {
  ASSERT_TRUE(m.ok);
  ParameterRecord value = Read("/root/P/M/S/V");
  EXPECT_FALSE(value.checked);
  EXPECT_FALSE(value.implausible);
  ParameterRecord checked = Read("/root/P/M/S/I");
  EXPECT_TRUE(checked.implausible);
  EXPECT_EQ(checked.viewRef, "/root/Hmi/Top/View");  // derived from the menu entry
  const auto& table = m.engine.Implausible().Entries();
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table.begin()->first, "/root/Hmi/Top/View");
  EXPECT_EQ(table.begin()->second, std::vector<std::string>{"/root/P/M/S/I"});
}

TEST_F(Records, InUse) {
  ASSERT_TRUE(m.ok);
  EXPECT_TRUE(Read("/root/P/M/S/I").inUse);
  ParameterRecord missing = Read("/root/P/N/S2/Q");  // installed is missing
  EXPECT_FALSE(missing.installed);
  EXPECT_TRUE(missing.projected);
  EXPECT_FALSE(missing.inUse);
  EXPECT_TRUE(Read("/root/P/PS/Proj/R").inUse);  // project settings: installed is enough
  EXPECT_EQ(Read("/root/P/PS/Proj/R").section, "sectionProjectSettings");
  EXPECT_TRUE(Read("/root/P/Free/Z").inUse);  // outside any module
}

TEST_F(Records, SelectionItemsFromMinToMax) {
  ASSERT_TRUE(m.ok);
  ParameterRecord sel = Read("/root/P/M/S/Sel");
  EXPECT_EQ(sel.items, (std::vector<std::string>{"b", "d"}));  // c is hidden
  EXPECT_TRUE(sel.implausible);                                // "a" comes before min
  EXPECT_EQ(Read("/root/P/M/S/SelNoMin").items, (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(Read("/root/P/M/S/SelNoMin").implausible);
  EXPECT_TRUE(Read("/root/P/M/S/Inverted").items.empty());  // max stands before min
  ParameterRecord noList = Read("/root/P/M/S/NoList");
  EXPECT_FALSE(noList.checked);
  EXPECT_FALSE(noList.implausible);
}

TEST_F(Records, ValueLabelMakesAnOutOfRangeValuePlausible) {
  ASSERT_TRUE(m.ok);
  ParameterRecord labelled = Read("/root/P/M/S/Lab");
  EXPECT_EQ(labelled.valueLabels, std::vector<std::string>{"99"});
  EXPECT_FALSE(labelled.implausible);
}

TEST_F(Records, ReadThroughAMenuEntry) {
  ASSERT_TRUE(m.ok);
  ParameterRecord record;
  ASSERT_TRUE(m.engine.ReadRecord(m.engine.Queries()->Find("/root/Hmi/Top/View/En"), true, "/root/Hmi/Top/View",
                                  record));
  EXPECT_EQ(record.path, "/root/Hmi/Top/View/En");
  EXPECT_EQ(record.entryRef, "P/M/S/I");
  EXPECT_EQ(record.definitionPath, "/root/P/M/S/I");
  EXPECT_EQ(record.valuePath, "/root/P/M/S/I");
  EXPECT_EQ(record.value, "7");
  EXPECT_EQ(record.setNumber, "0");
  EXPECT_EQ(record.viewRef, "/root/Hmi/Top/View");
  // An entry naming nothing is no record.
  EXPECT_FALSE(m.engine.ReadRecord(m.engine.Queries()->Find("/root/Hmi/Top/View"), true, "", record));
}

TEST_F(Records, DdiAssignment) {
  ASSERT_TRUE(m.ok);
  CDataModelDDI ddi(m.engine.Model(), m.engine.Document());
  EXPECT_EQ(ddi.GetParameterAssignmentInfo("/root/D/E1"), std::make_pair(true, true));
  EXPECT_EQ(ddi.GetParameterAssignmentInfo("/root/D/E2"), std::make_pair(true, false));
  EXPECT_EQ(ddi.GetParameterAssignmentInfo("/root/D/E3"), std::make_pair(false, false));
  EXPECT_EQ(ddi.GetParameterAssignmentInfo("/root/D/None"), std::make_pair(false, false));
  ParameterRecord record = Read("/root/D/E1");  // a DDI entry names its parameter
  EXPECT_EQ(record.definitionPath, "/root/P/M/S/Sel");
  EXPECT_EQ(record.ddiAssignment, std::make_pair(true, true));
}

std::string PerSetViews(const std::string& productLine) {
  return modeltest::WithTrailer(modeltest::Body(
      "device=\"D\" versionContent=\"1\" multiSets=\"2\" versionSyntax=\"12\" productLine=\"" + productLine + "\"",
      "\t<P type=\"sectionMDM\"><M type=\"mdm\"><S based=\"paraSet\" type=\"sectionMultiSet\">"
      "<X type=\"integer\" default=\"1\"/></S></M></P>\n"
      "\t<Hmi mode=\"menuTree\"><Top type=\"root\">"
      "<Set1 setNo=\"1\"><V1 type=\"entryList\"><e type=\"entry\" entryRef=\"P/M/S/X\"/></V1></Set1>"
      "<Set2 setNo=\"2\"><Other/><V2 type=\"entryList\"><e type=\"entry\" entryRef=\"P/M/S/X\"/></V2></Set2>"
      "</Top></Hmi>\n"));
}

TEST(DerivedViewReference, PerSetViewsOfOneProductLine) {
  for (const char* line : {"Pemba_Line_V2", "Other"}) {
    LoadedModel m(PerSetViews(line));
    ASSERT_TRUE(m.ok);
    XmlNode x = m.engine.Queries()->Find("/root/P/M/S/X");
    ParameterRecord one, two;
    ASSERT_TRUE(m.engine.ReadRecord(x, false, "", one, "1"));
    ASSERT_TRUE(m.engine.ReadRecord(x, false, "", two, "2"));
    EXPECT_EQ(one.viewRef, "/root/Hmi/Top/Set1/V1");
    EXPECT_EQ(two.viewRef, std::string(line) == "Other" ? "/root/Hmi/Top/Set1/V1" : "/root/Hmi/Top/Set2/V2");
    EXPECT_TRUE(two.multiSet);
    EXPECT_EQ(two.sets.size(), 2u);
  }
}

}  // namespace
