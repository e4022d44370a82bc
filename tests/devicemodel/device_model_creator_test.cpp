// DeviceModelCreator: the supported calling order, the calls outside it,
// null arguments, and the written parameter file with its stamps and trailer.
#include <gtest/gtest.h>

#include <string>

#include "devicemodel/checksum.h"
#include "devicemodel/data_model_to_hmi.h"
#include "devicemodel/device_model_creator.h"
#include "tests/devicemodel/model_text.h"
#include "xml/xml_writer.h"

namespace {

std::string ExpectedFile(const std::string& changedby, const std::string& changed) {
  const std::string body =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<root type=\"parameterFile\" versionSyntax=\"16\" device=\"DEV1\" versionContent=\"1.0\" generator=\"gen\" "
      "created=\"2026-01-01\" createdWithDmHandoff=\"\" changedby=\"" +
      changedby + "\" changed=\"" + changed + "\" changedWithDmHandoff=\"\">\n"
      "\t<Params>\n"
      "\t\t<Modules>\n"
      "\t\t\t<Prot>\n"
      "\t\t\t\t<Set setNo=\"0\">\n"
      "\t\t\t\t\t<Limit>5</Limit>\n"
      "\t\t\t\t</Set>\n"
      "\t\t\t</Prot>\n"
      "\t\t</Modules>\n"
      "\t</Params>\n"
      "</root>\n";
  return modeltest::WithTrailer(body);
}

TEST(DeviceModelCreator, MainUse) {
  const std::string model = modeltest::Model();
  DeviceModelCreator creator(model.c_str());
  ASSERT_TRUE(creator.CreateCustomerDeviceParameter("gen", "2026-01-01"));
  EXPECT_EQ(creator.WriteCustomerAllParameter("me", "today"), ExpectedFile("me", "today"));
  // A second write replaces the stamps and the trailer, nothing else.
  EXPECT_EQ(creator.WriteCustomerAllParameter("you", "tomorrow"), ExpectedFile("you", "tomorrow"));
  EXPECT_EQ(creator.GetTypecode(), "DEV1");
  EXPECT_TRUE(creator.GetSwComponentSignatureVector().empty());
}

TEST(DeviceModelCreator, WrittenFileLoadsAsAModel) {
  const std::string model = modeltest::Model();
  DeviceModelCreator creator(model.c_str());
  ASSERT_TRUE(creator.CreateCustomerDeviceParameter("g", "c"));
  std::string written = creator.WriteCustomerAllParameter("a&b", "<now>");
  EXPECT_NE(written.find("changedby=\"a&amp;b\" changed=\"&lt;now&gt;\""), std::string::npos);
  // The checksum step accepts it; it is no model, so a later step refuses it.
  CDataModelToHMI engine;
  LoadResult result;
  EXPECT_FALSE(engine.Load(&written[0], result));
  EXPECT_EQ(result.code, 3);  // multiSets is missing: past the checksum
}

TEST(DeviceModelCreator, ProductLineAndHandoff) {
  const std::string model = modeltest::WithTrailer(modeltest::Body(
      "device=\"D\" versionContent=\"2\" multiSets=\"1\" versionSyntax=\"9\" handoff=\"H7\" productLine=\"PL\""));
  DeviceModelCreator creator(model.c_str());
  ASSERT_TRUE(creator.CreateCustomerDeviceParameter("g", "c"));
  std::string written = creator.WriteCustomerAllParameter("x", "y");
  EXPECT_NE(written.find("createdWithDmHandoff=\"H7\" changedby=\"x\" changed=\"y\" changedWithDmHandoff=\"H7\" "
                         "productLine=\"PL\">\n"),
            std::string::npos)
      << written;
}

TEST(DeviceModelCreator, RejectedModelsAndOutOfOrderCalls) {
  DeviceModelCreator broken("<root/>");
  EXPECT_FALSE(broken.SetTypecode("DEV1"));
  EXPECT_EQ(broken.GetTypecode(), "");
  EXPECT_EQ(broken.WriteCustomerAllParameter("a", "b"), "");
  EXPECT_TRUE(broken.GetSwComponentSignatureVector().empty());
  EXPECT_FALSE(broken.CreateCustomerDeviceParameter("g", "c"));
  EXPECT_EQ(broken.WriteCustomerAllParameter("a", "b"), "");

  DeviceModelCreator empty(nullptr);
  EXPECT_FALSE(empty.CreateCustomerDeviceParameter("g", "c"));

  const std::string model = modeltest::Model();
  DeviceModelCreator creator(model.c_str());
  EXPECT_FALSE(creator.CreateCustomerDeviceParameter(nullptr, "c"));  // refused before the load
  EXPECT_TRUE(creator.CreateCustomerDeviceParameter("g", "c"));
  EXPECT_FALSE(creator.CreateCustomerDeviceParameter("g", "c"));  // the text is consumed
  EXPECT_EQ(creator.WriteCustomerAllParameter(nullptr, "b"), "");
  EXPECT_EQ(creator.WriteCustomerAllParameter("a", nullptr), "");
  EXPECT_FALSE(creator.SetTypecode(nullptr));
  EXPECT_NE(creator.WriteCustomerAllParameter("a", "b"), "");
}

TEST(DeviceModelCreator, KeepsItsOwnCopyOfTheText) {
  const std::string model = modeltest::Model();
  std::string callers = model;
  DeviceModelCreator creator(callers.c_str());
  EXPECT_TRUE(creator.CreateCustomerDeviceParameter("g", "c"));
  EXPECT_EQ(callers, model);
}

}  // namespace

namespace {

// The type code and the signatures are read from the mirrored defaults.
const char kTypeCodeInside[] =
    "\t<Params type=\"sectionMDM\">\n"
    "\t\t<Prot type=\"mdm\" installed=\"true\">\n"
    "\t\t\t<Set based=\"paraSet\">\n"
    "\t\t\t\t<Codes><Voltage ref=\"Lists/Volt\" default=\"V200\"/><Freq ref=\"Lists/Freq\" default=\"F50\"/>"
    "<Bare default=\"x\"/></Codes>\n"
    "\t\t\t\t<Sw><Fw default=\"1.2.3\"/><Boot/></Sw>\n"
    "\t\t\t</Set>\n"
    "\t\t</Prot>\n"
    "\t\t<Opt type=\"mdm\" installed=\"false\"><Set based=\"paraSet\"><Sw><Extra default=\"9\"/></Sw></Set></Opt>\n"
    "\t</Params>\n"
    "\t<Lists><Volt><V100 code=\"A\"/><V200 code=\"BX\"/></Volt><Freq><F50/></Freq></Lists>\n"
    "\t<Hmi mode=\"menuTree\"><Top type=\"root\"/></Hmi>\n"
    "\t<Maps><M type=\"mapping\" ref=\"Params/Prot/Set/Codes\" with=\"pathTypeCode\"/>\n"
    "\t<N ref=\"Params/Prot/Set/Sw\" with=\"pathSignatureSW\"/><O ref=\"Params/Opt/Set/Sw\" with=\"x\"/></Maps>\n";

TEST(TypeCodeReading, CodesAndSignaturesFromTheParameterDocument) {
  const std::string model = modeltest::WithTrailer(
      modeltest::Body("device=\"REL\" versionContent=\"1\" multiSets=\"1\" versionSyntax=\"12\"", kTypeCodeInside));
  std::vector<char> text(model.begin(), model.end());
  text.push_back('\0');
  CDataModelToHMI engine;
  LoadResult result;
  ASSERT_TRUE(engine.Load(text.data(), result)) << result.message;
  EXPECT_EQ(engine.GetTypecode(), "REL");  // no parameter document yet
  ASSERT_TRUE(engine.CreateParameterDocument("g", "c"));

  // A whole multi-character code; "?" for an item without code and for a
  // parameter without ref.
  EXPECT_EQ(engine.GetTypecode(), "RELBX??");
  const std::vector<ValueEntry> values = engine.CollectValues("pathTypeCode");
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].path, "/root/Params/Prot/Set/Codes/Voltage/");
  EXPECT_EQ(values[0].value, "V200");
  EXPECT_EQ(values[0].setNumber, "0");
  const auto signatures = engine.SwComponentSignatures();
  ASSERT_EQ(signatures.size(), 2u);
  EXPECT_EQ(signatures[0], (std::pair<std::string, std::string>{"Fw", "1.2.3"}));
  EXPECT_EQ(signatures[1], (std::pair<std::string, std::string>{"Boot", ""}));
  // Values of a module that is not installed are left out.
  EXPECT_TRUE(engine.CollectValues("x").empty());
  EXPECT_TRUE(engine.CollectValues("pathAnsiDeviceNumbers").empty());
}

}  // namespace

namespace {

struct LoadedEngine {
  explicit LoadedEngine(const std::string& model) : text(model.begin(), model.end()) {
    text.push_back('\0');
    ok = engine.Load(text.data(), result);
  }
  std::vector<char> text;
  CDataModelToHMI engine;
  LoadResult result;
  bool ok = false;
};

TEST(ParameterFile, ImplausibleValuesElementIsRebuiltOnEveryWrite) {
  LoadedEngine l(modeltest::Model());
  ASSERT_TRUE(l.ok);
  ASSERT_TRUE(l.engine.CreateParameterDocument("g", "c"));
  auto implausible = [&](const char* path, const char* view) {
    ParameterRecord record;
    record.path = path;
    record.valueType = "integer";
    record.min = "0";
    record.max = "1";
    record.sets.push_back({"9"});
    record.viewRef = view;
    EXPECT_TRUE(l.engine.PlausibilityCheck(record));
  };
  implausible("/root/S/B", "/root/Hmi/V2");
  implausible("/root/S/A", "/root/Hmi/V1");
  implausible("/root/S/C", "/root/Hmi/V2");
  const std::string expectedList =
      "\t<ImplausibleValues>\n"
      "\t\t<Value1 viewRef=\"/root/Hmi/V1\" valueRef=\"/root/S/A\"/>\n"
      "\t\t<Value2 viewRef=\"/root/Hmi/V2\" valueRef=\"/root/S/B\"/>\n"
      "\t\t<Value3 viewRef=\"/root/Hmi/V2\" valueRef=\"/root/S/C\"/>\n"
      "\t</ImplausibleValues>\n";
  const std::string first = l.engine.WriteCustomerAllParameter("a", "b");
  const std::string second = l.engine.WriteCustomerAllParameter("a", "b");
  EXPECT_EQ(first, second);
  ASSERT_NE(first.find(expectedList), std::string::npos) << first;
  EXPECT_EQ(first.find("<ImplausibleValues>"), first.rfind("<ImplausibleValues>"));
  EXPECT_NE(first.find("\t</Params>\n" + expectedList + "</root>\n<!--CHECKSUM:"), std::string::npos);
  // Once the values are plausible again the element goes.
  ParameterRecord fixed;
  for (const char* path : {"/root/S/A", "/root/S/B", "/root/S/C"}) {
    fixed.path = path;
    fixed.valueType = "integer";
    fixed.min = "0";
    fixed.max = "1";
    fixed.sets = {{"1"}};
    fixed.viewRef = "/root/Hmi/V1";
    EXPECT_FALSE(l.engine.PlausibilityCheck(fixed));
  }
  EXPECT_EQ(l.engine.WriteCustomerAllParameter("a", "b").find("ImplausibleValues"), std::string::npos);
}

TEST(ParameterFile, StampedModelIsAcceptedByLoad) {
  // A model document stamped and written (tabs and line breaks of the
  // writer, not the original layout) loads.
  XmlDocument doc;
  doc.ParseCopy(modeltest::Body() + "<!-- an old trailer -->\n");
  Stamp(doc);
  std::string written = WriteXmlToString(doc.Root());
  LoadedEngine l(written);
  EXPECT_TRUE(l.ok) << l.result.message;
  written[written.find("DEV1")] = 'd';
  EXPECT_EQ(LoadedEngine(written).result.code, 1);
}

}  // namespace
