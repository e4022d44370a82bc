// DeviceModelCreator: the supported calling order, the calls outside it,
// null arguments, and the written parameter file with its stamps and trailer.
#include <gtest/gtest.h>

#include <string>

#include "devicemodel/checksum.h"
#include "devicemodel/data_model_to_hmi.h"
#include "devicemodel/device_model_creator.h"
#include "tests/devicemodel/model_text.h"

namespace {

std::string ExpectedFile(const std::string& changedby, const std::string& changed) {
  const std::string body =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<root type=\"parameterFile\" versionSyntax=\"16\" device=\"DEV1\" versionContent=\"1.0\" generator=\"gen\" "
      "created=\"2026-01-01\" createdWithDmHandoff=\"\" changedby=\"" +
      changedby + "\" changed=\"" + changed + "\" changedWithDmHandoff=\"\"/>\n";
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
                         "productLine=\"PL\"/>"),
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
