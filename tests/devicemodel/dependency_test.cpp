// Dependency rules: comparisons, then/else blocks, the kinds of actions,
// rule chains and cycles, modules that are not installed, and the set
// numbers of the parameter document.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "devicemodel/data_model_dependency.h"
#include "devicemodel/data_model_to_hmi.h"
#include "tests/devicemodel/model_text.h"

namespace {

using modeltest::LoadedModel;

constexpr char kMenu[] = "\t<Hmi mode=\"menuTree\"><Top type=\"root\"/></Hmi>\n";

std::string Model(const std::string& parameters, const std::string& multiSets = "1",
                  const std::string& installed = "true") {
  return modeltest::WithTrailer(modeltest::Body(
      "device=\"D\" versionContent=\"1\" multiSets=\"" + multiSets + "\" versionSyntax=\"12\"",
      "\t<P type=\"sectionMDM\"><M type=\"mdm\" installed=\"" + installed +
          "\" projected=\"true\"><S based=\"paraSet\" type=\"sectionSingleSet\">\n" + parameters +
          "\t</S></M></P>\n" + kMenu));
}

// A rule on parameter A writing "then"/"else" into B's value.
std::string Rule(const char* kind, const char* check, const char* with) {
  return std::string("<A type=\"string\" default=\"start\"><R type=\"") + kind + "\" check=\"" + check +
         "\" with=\"" + with +
         "\"><T type=\"then\"><X set=\"then\" attRef=\"P/M/S/B@default\"/></T>"
         "<E type=\"else\"><X set=\"else\" attRef=\"P/M/S/B@default\"/></E></R></A>\n"
         "<B type=\"string\" default=\"none\"/>\n";
}

constexpr char kA[] = "/root/P/M/S/A";
constexpr char kB[] = "/root/P/M/S/B";

TEST(DependencyConditions, NumbersAndText) {
  EXPECT_FALSE(DependencyConditionHolds("gt", "9.5", "10"));
  EXPECT_TRUE(DependencyConditionHolds("gt", "10.5", "10"));
  EXPECT_FALSE(DependencyConditionHolds("gt", "10", "10"));
  EXPECT_TRUE(DependencyConditionHolds("ge", "10.0", "10"));
  EXPECT_TRUE(DependencyConditionHolds("lt", "-1", "0"));
  EXPECT_TRUE(DependencyConditionHolds("le", "1e1", "10"));
  EXPECT_FALSE(DependencyConditionHolds("eq", "1.0", "1"));
  EXPECT_TRUE(DependencyConditionHolds("eq", "1", "1"));
  EXPECT_FALSE(DependencyConditionHolds("ne", "1", "2"));  // unknown: never holds
  EXPECT_FALSE(DependencyConditionHolds("", "1", "1"));
}

TEST(Dependencies, GreaterThanTenWithNineAndAHalfRunsTheElseBlock) {
  LoadedModel m(Model(Rule("dependents", "gt", "10")));
  ASSERT_TRUE(m.ok);
  EXPECT_EQ(m.Value(kB), "none");  // the first pass ran before the document existed
  ASSERT_TRUE(m.engine.SetParameter("9.5", kA, "0", "", ""));
  EXPECT_EQ(m.Value(kB), "else");
  ASSERT_TRUE(m.engine.SetParameter("10.5", kA, "0", "", ""));
  EXPECT_EQ(m.Value(kB), "then");
  ASSERT_TRUE(m.engine.SetParameter("10", kA, "0", "", ""));
  EXPECT_EQ(m.Value(kB), "else");
}

TEST(Dependencies, EqualComparesText) {
  LoadedModel m(Model(Rule("dependents", "eq", "1")));
  ASSERT_TRUE(m.ok);
  ASSERT_TRUE(m.engine.SetParameter("1.0", kA, "0", "", ""));
  EXPECT_EQ(m.Value(kB), "else");
  ASSERT_TRUE(m.engine.SetParameter("1", kA, "0", "", ""));
  EXPECT_EQ(m.Value(kB), "then");
}

TEST(Dependencies, TypeCodeDependentsRunLikeDependents) {
  LoadedModel m(Model(Rule("typeCodeDependents", "eq", "x")));
  ASSERT_TRUE(m.ok);
  ASSERT_TRUE(m.engine.SetParameter("x", kA, "0", "", ""));
  EXPECT_EQ(m.Value(kB), "then");
  // The initial check pass runs them too.
  ASSERT_TRUE(m.engine.SetParameter("y", kB, "0", "", ""));
  m.engine.RunInitialCheckPass();
  EXPECT_EQ(m.Value(kB), "then");
}

TEST(Dependencies, RuleInAModuleNotInstalledNeverRuns) {
  LoadedModel m(Model(Rule("dependents", "eq", "x"), "1", "false"));
  ASSERT_TRUE(m.ok);
  ASSERT_TRUE(m.engine.SetParameter("x", kA, "0", "", ""));
  EXPECT_EQ(m.Value(kA), "x");
  EXPECT_EQ(m.Value(kB), "none");
  m.engine.RunInitialCheckPass();
  EXPECT_EQ(m.Value(kB), "none");
}

TEST(Dependencies, IncompleteRulesAndActionsAreSkipped) {
  LoadedModel m(Model(
      "<A type=\"string\" default=\"x\">"
      "<R1 type=\"dependents\" check=\"eq\"><T type=\"then\"><X set=\"1\" attRef=\"P/M/S/B@default\"/></T></R1>"
      "<R2 type=\"dependents\" check=\"eq\" with=\"x\"/>"
      "<R3 type=\"dependents\" check=\"eq\" with=\"x\"><T type=\"else\"><X set=\"3\" attRef=\"P/M/S/B@default\"/></T>"
      "</R3>"
      "<R4 type=\"dependents\" check=\"eq\" with=\"x\"><T type=\"then\">"
      "<X set=\"4\" attRef=\"P/M/S/B\"/><X attRef=\"P/M/S/B@default\"/><X set=\"4\" attRef=\"P/M/S/Missing@default\"/>"
      "<X set=\"4\" attRef=\"P/M/S/B@\"/></T></R4>"
      "</A>\n<B type=\"string\" default=\"none\"/>\n"));
  ASSERT_TRUE(m.ok);
  m.engine.RunInitialCheckPass();
  // No with, no children, a then-block of the wrong type, an attRef without
  // at sign, an action without set, a target that does not exist.
  EXPECT_EQ(m.Value(kB), "none");
  EXPECT_TRUE(m.engine.Instances().Find("/root/P/M/S/Missing").empty());  // not created
}

TEST(Dependencies, ChainASetsBSetsC) {
  LoadedModel m(Model(
      "<A type=\"string\" default=\"a0\"><R type=\"dependents\" check=\"eq\" with=\"go\"><T type=\"then\">"
      "<X set=\"b1\" valueRef=\"P/M/S/B\"/></T></R></A>\n"
      "<B type=\"string\" default=\"b0\"><R type=\"dependents\" check=\"eq\" with=\"b1\"><T type=\"then\">"
      "<X set=\"c1\" attRef=\"P/M/S/C/@default\"/></T></R></B>\n"
      "<C type=\"string\" default=\"c0\"/>\n"));
  ASSERT_TRUE(m.ok);
  ASSERT_TRUE(m.engine.SetParameter("go", kA, "0", "", ""));
  EXPECT_EQ(m.Value(kB), "b1");
  EXPECT_EQ(m.Value("/root/P/M/S/C"), "c1");
  // Every changed parameter's record was read and stored.
  EXPECT_EQ(m.engine.Records().at({"/root/P/M/S/C", "0"}).value, "c1");
}

TEST(Dependencies, CyclicRulesEndQuickly) {
  // A sets B, B sets A, with values that alternate forever.
  LoadedModel m(Model(
      "<A type=\"integer\" min=\"0\" max=\"1\" default=\"0\"><R type=\"dependents\" check=\"eq\" with=\"1\">"
      "<T type=\"then\"><X set=\"1\" attRef=\"P/M/S/B@default\"/></T>"
      "<E type=\"else\"><X set=\"0\" attRef=\"P/M/S/B@default\"/></E></R></A>\n"
      "<B type=\"integer\" min=\"0\" max=\"1\" default=\"0\"><R type=\"dependents\" check=\"eq\" with=\"1\">"
      "<T type=\"then\"><X set=\"0\" attRef=\"P/M/S/A@default\"/></T>"
      "<E type=\"else\"><X set=\"1\" attRef=\"P/M/S/A@default\"/></E></R></B>\n"));
  ASSERT_TRUE(m.ok);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(m.engine.SetParameter("1", kA, "0", "", ""));
  m.engine.RunInitialCheckPass();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 5.0);
  const std::string a = m.Value(kA), b = m.Value(kB);
  EXPECT_TRUE((a == "0" || a == "1") && (b == "0" || b == "1")) << a << b;
}

TEST(Dependencies, SelfConsistentCycleStopsAtTheFirstUnchangedValue) {
  // A sets B to A's value and B sets A to B's: after one write nothing changes.
  LoadedModel m(Model(
      "<A type=\"string\" default=\"p\"><R type=\"dependents\" check=\"eq\" with=\"q\"><T type=\"then\">"
      "<X set=\"q\" attRef=\"P/M/S/B@default\"/></T></R></A>\n"
      "<B type=\"string\" default=\"p\"><R type=\"dependents\" check=\"eq\" with=\"q\"><T type=\"then\">"
      "<X set=\"q\" attRef=\"P/M/S/A@default\"/></T></R></B>\n"));
  ASSERT_TRUE(m.ok);
  ASSERT_TRUE(m.engine.SetParameter("q", kA, "0", "", ""));
  EXPECT_EQ(m.Value(kA), "q");
  EXPECT_EQ(m.Value(kB), "q");
}

TEST(Dependencies, AttributeActionsChangeTheModel) {
  LoadedModel m(Model(
      "<A type=\"string\" default=\"on\"><R type=\"dependents\" check=\"eq\" with=\"on\">"
      "<T type=\"then\"><X set=\"50\" attRef=\"P/M/S/F@max\"/><X set=\"d\"/></T>"
      "<E type=\"else\"><X set=\"20\" attRef=\"P/M/S/F@max\"/></E></R></A>\n"
      "<F type=\"float\" min=\"0\" max=\"40.00\" default=\"30\"/>\n"),
      false);
  ASSERT_TRUE(m.ok);
  // Before the document exists the old max with its point is kept aside.
  XmlNode f = m.engine.Queries()->Find("/root/P/M/S/F");
  XmlNode a = m.engine.Queries()->Find("/root/P/M/S/A");
  EXPECT_EQ(f.Attribute("max").Value(), "50");
  EXPECT_EQ(f.Attribute("_MaxDefaultFloat").Value(), "40.00");
  EXPECT_EQ(a.Attribute("default").Value(), "d");  // an action with neither reference
  EXPECT_EQ(m.engine.Records().at({"/root/P/M/S/F", "0"}).decimals, 2);
  ASSERT_TRUE(m.engine.CreateParameterDocument("g", "c"));
  ASSERT_TRUE(m.engine.SetParameter("off", "/root/P/M/S/A", "0", "", ""));
  EXPECT_EQ(f.Attribute("max").Value(), "20");
  EXPECT_EQ(f.Attribute("_MaxDefaultFloat").Value(), "40.00");  // only before the document
  EXPECT_TRUE(m.engine.Records().at({"/root/P/M/S/F", "0"}).implausible);  // 30 > 20
  // A value with a blank changes no attribute.
  ASSERT_TRUE(m.engine.SetParameter("o n", "/root/P/M/S/A", "0", "", ""));
  EXPECT_EQ(f.Attribute("max").Value(), "20");
}

TEST(Dependencies, EverySetIsTestedWithItsOwnValue) {
  const std::string model = modeltest::WithTrailer(modeltest::Body(
      "device=\"D\" versionContent=\"1\" multiSets=\"3\" versionSyntax=\"12\"",
      "\t<P type=\"sectionMDM\"><M type=\"mdm\"><S based=\"paraSet\" type=\"sectionMultiSet\">"
      "<A type=\"integer\" default=\"1\"><R type=\"dependents\" check=\"gt\" with=\"5\">"
      "<T type=\"then\"><X set=\"high\" attRef=\"P/M/S/B@default\"/></T>"
      "<E type=\"else\"><X set=\"low\" attRef=\"P/M/S/B@default\"/></E></R></A>"
      "<B type=\"string\"/></S></M></P>\n" +
          std::string(kMenu)));
  LoadedModel m(model);
  ASSERT_TRUE(m.ok);
  ASSERT_TRUE(m.engine.SetParameter("9", kA, "2", "", ""));
  EXPECT_EQ(m.Value(kA, "1"), "1");
  EXPECT_EQ(m.Value(kA, "2"), "9");
  EXPECT_EQ(m.Value(kB, "1"), "low");
  EXPECT_EQ(m.Value(kB, "2"), "high");
  EXPECT_EQ(m.Value(kB, "3"), "low");
  EXPECT_FALSE(m.engine.SetParameter("9", kA, "4", "", ""));  // no such set
}

TEST(Dependencies, SetNumberString) {
  XmlDocument doc;
  doc.ParseCopy("<root><S setNo=\"3\"><A><B/></A></S><T/></root>");
  XmlNode root = doc.Root().Child(0);
  EXPECT_EQ(CDataModelDependency::GetSetNumberString(root.FindByPath("S/A/B")), "3");
  EXPECT_EQ(CDataModelDependency::GetSetNumberString(root.FindByPath("S")), "3");
  EXPECT_EQ(CDataModelDependency::GetSetNumberString(root.FindByPath("T")), "0");
}

}  // namespace
