// The plausibility evaluation (selection items, float and integer limits,
// value labels, multi-set values) and the implausible-values table it keeps.
#include <gtest/gtest.h>

#include <string>

#include "devicemodel/data_model_to_hmi.h"
#include "devicemodel/implausible_values.h"

namespace {

ParameterRecord Record(const char* type, const char* min, const char* max, const char* value) {
  ParameterRecord record;
  record.path = "/root/S/P";
  record.valueType = type;
  record.min = min;
  record.max = max;
  record.sets.push_back({value});
  record.viewRef = "/root/Hmi/View";
  return record;
}

bool Implausible(ParameterRecord record) {
  CDataModelToHMI engine;
  return engine.PlausibilityCheck(record);
}

TEST(Plausibility, FloatLimitsAreInclusive) {
  EXPECT_FALSE(Implausible(Record("float", "0.5", "2.5", "0.5")));
  EXPECT_FALSE(Implausible(Record("float", "0.5", "2.5", "2.50")));
  EXPECT_TRUE(Implausible(Record("float", "0.5", "2.5", "2.5001")));
  EXPECT_TRUE(Implausible(Record("float", "0.5", "2.5", "0.49")));
  EXPECT_FALSE(Implausible(Record("float", "-1e3", "1e3", "-1000")));
}

TEST(Plausibility, IntegerLimits) {
  EXPECT_FALSE(Implausible(Record("integer", "0", "10", "10")));
  EXPECT_TRUE(Implausible(Record("integer", "0", "10", "11")));
  EXPECT_TRUE(Implausible(Record("integer", "0", "10", "-1")));
  EXPECT_FALSE(Implausible(Record("integer", "-5", "5", "-5")));
}

TEST(Plausibility, OtherTypesArePlausible) {
  EXPECT_FALSE(Implausible(Record("string", "0", "1", "anything")));
  EXPECT_FALSE(Implausible(Record("", "0", "1", "5")));
}

TEST(Plausibility, SelectionUpToTheMaxItem) {
  ParameterRecord record = Record("selection", "", "c", "b");
  record.items = {"a", "b", "c", "d"};
  EXPECT_FALSE(Implausible(record));
  record.sets[0].value = "c";
  EXPECT_FALSE(Implausible(record));
  record.sets[0].value = "d";  // after the max item
  EXPECT_TRUE(Implausible(record));
  record.sets[0].value = "z";  // in no item
  EXPECT_TRUE(Implausible(record));
  record.max = "none";  // no max item: any listed value is plausible
  record.sets[0].value = "d";
  EXPECT_FALSE(Implausible(record));
  ParameterRecord list = Record("integer", "", "2", "3");
  list.style = "list";
  list.items = {"1", "2", "3"};
  EXPECT_TRUE(Implausible(list));
  ParameterRecord flag = Record("bool", "", "true", "true");
  flag.items = {"false", "true"};
  EXPECT_FALSE(Implausible(flag));
}

TEST(Plausibility, ValueLabelsRescueSingleSetValues) {
  ParameterRecord record = Record("float", "0", "10", "99.0 1");
  record.valueLabels = {"5", "99 1.000"};
  EXPECT_FALSE(Implausible(record));  // parts compared as numbers
  record.valueLabels = {"99 1 0"};
  EXPECT_TRUE(Implausible(record));  // different number of parts
  ParameterRecord text = Record("integer", "0", "10", "99.0");
  text.valueLabels = {"99.0"};
  EXPECT_FALSE(Implausible(text));
  text.valueLabels = {"99"};  // text, not numbers, for non-float parameters
  EXPECT_TRUE(Implausible(text));
}

TEST(Plausibility, MultiSetImplausibleWhenAnySetIs) {
  CDataModelToHMI engine;
  ParameterRecord record = Record("integer", "0", "10", "1");
  record.multiSet = true;
  record.sets.push_back({"11"});
  record.sets.push_back({"2"});
  record.valueLabels = {"11"};  // labels do not apply to multi-set parameters
  EXPECT_TRUE(engine.PlausibilityCheck(record));
  EXPECT_FALSE(record.sets[0].implausible);
  EXPECT_TRUE(record.sets[1].implausible);
  EXPECT_FALSE(record.sets[2].implausible);
  ASSERT_EQ(engine.Records().count({"/root/S/P", "0"}), 1u);
  EXPECT_TRUE(engine.Records().at({"/root/S/P", "0"}).sets[1].implausible);
}

TEST(Plausibility, TableFollowsTheChecks) {
  CDataModelToHMI engine;
  ParameterRecord a = Record("integer", "0", "10", "11");
  ParameterRecord b = Record("integer", "0", "10", "12");
  b.path = "/root/S/Q";
  b.viewRef = "/root/Hmi/Another";
  ParameterRecord c = Record("integer", "0", "10", "13");
  c.path = "/root/S/R";
  EXPECT_TRUE(engine.PlausibilityCheck(a));
  EXPECT_TRUE(engine.PlausibilityCheck(b));
  EXPECT_TRUE(engine.PlausibilityCheck(c));
  EXPECT_TRUE(engine.PlausibilityCheck(a));  // listed once only
  const ImplausibleValues::Table expected = {{"/root/Hmi/Another", {"/root/S/Q"}},
                                             {"/root/Hmi/View", {"/root/S/P", "/root/S/R"}}};
  EXPECT_EQ(engine.Implausible().Entries(), expected);
  a.sets[0].value = "5";
  EXPECT_FALSE(engine.PlausibilityCheck(a));
  b.sets[0].value = "5";
  EXPECT_FALSE(engine.PlausibilityCheck(b));
  const ImplausibleValues::Table after = {{"/root/Hmi/View", {"/root/S/R"}}};
  EXPECT_EQ(engine.Implausible().Entries(), after);
  // Without a view reference nothing is listed.
  c.viewRef.clear();
  EXPECT_TRUE(engine.PlausibilityCheck(c));
  EXPECT_TRUE(engine.Implausible().Empty());
}

TEST(ImplausibleValuesTable, OneListPerViewAndEachSetUnderItsOwnView) {
  // Steps of (add?, view, path, set) and the table after each, as key=path lists.
  const struct {
    bool add;
    const char* view;
    const char* path;
    const char* set;
    ImplausibleValues::Table after;
  } steps[] = {
      {true, "/V1", "/p", "1", {{"/V1", {"/p"}}}},
      {true, "/V2", "/p", "2", {{"/V1", {"/p"}}, {"/V2", {"/p"}}}},  // same path, second view
      {true, "/V2", "/p", "2", {{"/V1", {"/p"}}, {"/V2", {"/p"}}}},  // once in a list
      {true, "/V1", "/p", "3", {{"/V1", {"/p"}}, {"/V2", {"/p"}}}},  // a second set behind one entry
      {false, "", "/p", "1", {{"/V1", {"/p"}}, {"/V2", {"/p"}}}},    // set 3 still lists it under /V1
      {true, "/V1", "/p", "2", {{"/V1", {"/p"}}}},                   // set 2 moves to /V1
      {false, "", "/p", "3", {{"/V1", {"/p"}}}},
      {false, "", "/p", "2", {}},
      {false, "", "/p", "2", {}},
  };
  ImplausibleValues table;
  int step = 0;
  for (const auto& s : steps) {
    if (s.add)
      table.Add(s.view, s.path, s.set);
    else
      table.Remove(s.path, s.set);
    EXPECT_EQ(table.Entries(), s.after) << "step " << step;
    ++step;
  }
}

TEST(Plausibility, ImplausibleInTwoSetsUnderTwoViews) {
  CDataModelToHMI engine;
  ParameterRecord one = Record("integer", "0", "10", "11");
  one.setNumber = "1";
  one.viewRef = "/root/Hmi/Set1/View";
  ParameterRecord two = one;
  two.setNumber = "2";
  two.viewRef = "/root/Hmi/Set2/View";
  EXPECT_TRUE(engine.PlausibilityCheck(one));
  EXPECT_TRUE(engine.PlausibilityCheck(two));
  const ImplausibleValues::Table both = {{"/root/Hmi/Set1/View", {"/root/S/P"}},
                                         {"/root/Hmi/Set2/View", {"/root/S/P"}}};
  EXPECT_EQ(engine.Implausible().Entries(), both);
  one.sets[0].value = "5";
  EXPECT_FALSE(engine.PlausibilityCheck(one));
  const ImplausibleValues::Table second = {{"/root/Hmi/Set2/View", {"/root/S/P"}}};
  EXPECT_EQ(engine.Implausible().Entries(), second);
}

TEST(ImplausibleValuesTable, KeysInByteOrderAndPathsOnce) {
  ImplausibleValues table;
  table.Add("b", "/p1");
  table.Add("B", "/p2");
  table.Add("a", "/p3");
  table.Add("b", "/p4");
  table.Add("b", "/p1");
  std::vector<std::string> keys;
  for (const auto& entry : table.Entries()) keys.push_back(entry.first);
  EXPECT_EQ(keys, (std::vector<std::string>{"B", "a", "b"}));
  EXPECT_EQ(table.Entries().at("b"), (std::vector<std::string>{"/p1", "/p4"}));
  table.Add("a", "/p1");  // a path moves to its new view reference
  EXPECT_EQ(table.Entries().at("b"), (std::vector<std::string>{"/p4"}));
  EXPECT_EQ(table.Entries().at("a"), (std::vector<std::string>{"/p3", "/p1"}));
  table.Remove("/p2");
  table.Remove("/unknown");
  EXPECT_EQ(table.Entries().count("B"), 0u);
  table.Clear();
  EXPECT_TRUE(table.Empty());
}

}  // namespace
