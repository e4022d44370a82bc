// SetParameter and the deferred checks: changes recorded under the type-code
// view or as (path, value, set) triples, pending marks cleared by the next
// write, instances chosen by set number, refused modes and missing targets.
#include <gtest/gtest.h>

#include <string>

#include "devicemodel/data_model_to_hmi.h"
#include "tests/devicemodel/model_text.h"

namespace {

using modeltest::LoadedModel;

const char kInside[] =
    "\t<P type=\"sectionMDM\"><M type=\"mdm\" installed=\"true\" projected=\"true\">\n"
    "\t\t<C based=\"paraSet\" type=\"sectionSingleSet\"><Opt type=\"selection\" ref=\"L/Opt\" default=\"o1\"/></C>\n"
    "\t\t<S based=\"paraSet\" type=\"sectionMultiSet\"><Lim type=\"integer\" min=\"0\" max=\"9\" default=\"1\"/></S>\n"
    "\t</M></P>\n"
    "\t<L><Opt><o1 code=\"1\"/><o2 code=\"2\"/></Opt></L>\n"
    "\t<Maps><X type=\"mapping\" ref=\"P/M/C\" with=\"pathTypeCode\"/></Maps>\n"
    "\t<Hmi mode=\"menuTree\"><Top type=\"root\">"
    "<Code type=\"entryList\" mode=\"typeCode\"><e type=\"entry\" entryRef=\"P/M/C/Opt\"/></Code>"
    "<Limits type=\"entryList\"><e type=\"entry\" entryRef=\"P/M/S/Lim\"/></Limits></Top></Hmi>\n";

std::string Model() {
  return modeltest::WithTrailer(
      modeltest::Body("device=\"D\" versionContent=\"1\" multiSets=\"2\" versionSyntax=\"12\"", kInside));
}

bool Pending(const CDataModelToHMI& engine, const std::string& path, const std::string& set) {
  auto found = engine.Records().find({path, set});
  if (found == engine.Records().end()) return false;
  for (const ParameterSetValue& value : found->second.sets)
    if (value.pending) return true;
  return false;
}

TEST(SetParameter, ChangesArePendingUntilTheNextWrite) {
  LoadedModel m(Model());
  ASSERT_TRUE(m.ok);
  ASSERT_TRUE(m.engine.SetTypecode("D2"));
  EXPECT_EQ(m.Value("/root/P/M/C/Opt"), "o2");
  EXPECT_TRUE(Pending(m.engine, "/root/P/M/C/Opt", "0"));
  ASSERT_TRUE(m.engine.SetParameter("12", "/root/P/M/S/Lim", "2", "", ""));
  ASSERT_TRUE(m.engine.SetParameter("7", "/root/P/M/S/Lim", "2", "", ""));  // replaces the first triple
  EXPECT_TRUE(Pending(m.engine, "/root/P/M/S/Lim", "2"));
  EXPECT_EQ(m.Value("/root/P/M/S/Lim", "1"), "1");
  EXPECT_EQ(m.Value("/root/P/M/S/Lim", "2"), "7");
  const std::string text = m.engine.WriteCustomerAllParameter("a", "b");
  EXPECT_FALSE(Pending(m.engine, "/root/P/M/C/Opt", "0"));
  EXPECT_FALSE(Pending(m.engine, "/root/P/M/S/Lim", "2"));
  EXPECT_EQ(text.find("ImplausibleValues"), std::string::npos) << text;
  // A value out of range in one set lists the parameter once.
  ASSERT_TRUE(m.engine.SetParameter("12", "/root/P/M/S/Lim", "1", "", ""));
  const std::string again = m.engine.WriteCustomerAllParameter("a", "b");
  EXPECT_NE(again.find("\t\t<Value1 viewRef=\"/root/Hmi/Top/Limits\" valueRef=\"/root/P/M/S/Lim\"/>\n"
                       "\t</ImplausibleValues>\n"),
            std::string::npos)
      << again;
}

TEST(SetParameter, UnchangedValueRecordsNothing) {
  LoadedModel m(Model());
  ASSERT_TRUE(m.ok);
  ASSERT_TRUE(m.engine.SetParameter("1", "/root/P/M/S/Lim", "1", "", ""));
  EXPECT_FALSE(Pending(m.engine, "/root/P/M/S/Lim", "1"));
  EXPECT_TRUE(m.engine.Records().count({"/root/P/M/S/Lim", "1"}));  // read and checked all the same
  EXPECT_EQ(m.Value("/root/P/M/S/Lim", "1"), "1");
}

TEST(SetParameter, RefusedTargets) {
  LoadedModel m(Model());
  ASSERT_TRUE(m.ok);
  EXPECT_FALSE(m.engine.SetParameter("1", "/root/P/M/S/Missing", "1", "", ""));
  EXPECT_FALSE(m.engine.SetParameter("1", "/root/P/M/S/Lim", "3", "", ""));  // no third set
  EXPECT_FALSE(m.engine.SetParameter("1", "/root/P/M/S", "1", "", ""));      // a group, not a value
  EXPECT_FALSE(m.engine.SetParameter("2", "/root/P/M/S/Lim", "1", "", "directCtrl"));
  EXPECT_EQ(m.Value("/root/P/M/S/Lim", "1"), "1");
  // A single-set parameter answers for any set number.
  EXPECT_TRUE(m.engine.SetParameter("o2", "/root/P/M/C/Opt", "2", "", ""));
  EXPECT_EQ(m.Value("/root/P/M/C/Opt"), "o2");
  // An empty value leaves the element empty.
  EXPECT_TRUE(m.engine.SetParameter("", "/root/P/M/S/Lim", "2", "", ""));
  EXPECT_NE(m.engine.WriteCustomerAllParameter("a", "b").find("<S setNo=\"2\">\n\t\t\t\t<Lim/>"), std::string::npos);
}

TEST(SetParameter, TypeCodeNeedsMoreThanTheDeviceName) {
  LoadedModel m(Model());
  ASSERT_TRUE(m.ok);
  EXPECT_FALSE(m.engine.SetTypecode("D"));
  EXPECT_FALSE(m.engine.SetTypecode(nullptr));
  EXPECT_EQ(m.engine.GetTypecode(), "D1");
  EXPECT_TRUE(m.engine.SetTypecode("D2"));
  EXPECT_EQ(m.engine.GetTypecode(), "D2");
}

}  // namespace
