// The engine's parts used without the facade: a loaded model, a parameter
// document over it and the rules over both. Setting and writing values
// changes the parameter document only; the model keeps its bytes (the two
// documents share no strings, although values are overwritten in place).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devicemodel/device_model.h"
#include "devicemodel/parameter_document.h"
#include "devicemodel/parameter_rules.h"
#include "tests/devicemodel/model_text.h"
#include "xml/xml_writer.h"

namespace {

// Mode's rule writes Limit's value. New values no longer than the defaults
// are the case an in-place overwrite of a shared string would show.
const char kInside[] =
    "\t<P type=\"sectionMDM\"><M type=\"mdm\" installed=\"true\" projected=\"true\">"
    "<S based=\"paraSet\" type=\"sectionMultiSet\">"
    "<Mode type=\"integer\" min=\"0\" max=\"10\" default=\"3\"><R type=\"dependents\" check=\"gt\" with=\"5\">"
    "<T type=\"then\"><X set=\"7\" attRef=\"P/M/S/Limit@default\"/></T></R></Mode>"
    "<Limit type=\"integer\" min=\"0\" max=\"10\" default=\"12345\"/></S></M></P>\n"
    "\t<Hmi mode=\"menuTree\"><Top type=\"root\"><V type=\"entryList\">"
    "<e type=\"entry\" entryRef=\"P/M/S/Limit\"/></V></Top></Hmi>\n";

TEST(ModelParts, RulesAndWriterWithoutTheFacadeLeaveTheModelAsLoaded) {
  const std::string model = modeltest::WithTrailer(
      modeltest::Body("device=\"D\" versionContent=\"1\" multiSets=\"2\" versionSyntax=\"12\"", kInside));
  std::vector<char> text(model.begin(), model.end());
  text.push_back('\0');
  DeviceModel loaded;
  LoadResult result;
  ASSERT_TRUE(loaded.Load(text.data(), result)) << result.message;
  const std::string before = WriteXmlToString(loaded.Document()->Root());
  ParameterDocument document(loaded);
  ParameterRules rules(loaded, document);
  rules.RunInitialCheckPass();  // no document yet: nothing to set
  EXPECT_FALSE(rules.SetParameter("9", "/root/P/M/S/Mode", "1", "", ""));
  ASSERT_TRUE(document.Build("g", "c"));
  ASSERT_TRUE(rules.SetParameter("9", "/root/P/M/S/Mode", "1", "", ""));
  rules.RunDeferredChecks();
  const std::string written = document.Write(rules.Checks().Implausible(), "a", "b");
  for (const char* expected : {"<S setNo=\"1\">\n\t\t\t\t<Mode>9</Mode>\n\t\t\t\t<Limit>7</Limit>",
                               "<S setNo=\"2\">\n\t\t\t\t<Mode>3</Mode>\n\t\t\t\t<Limit>12345</Limit>",
                               "<Value1 viewRef=\"/root/Hmi/Top/V\" valueRef=\"/root/P/M/S/Limit\"/>"})
    EXPECT_NE(written.find(expected), std::string::npos) << expected << " in\n" << written;
  EXPECT_EQ(WriteXmlToString(loaded.Document()->Root()), before);
}

TEST(ModelParts, NoDocumentIsWrittenForAModelNeverLoaded) {
  DeviceModel unloaded;
  ParameterDocument document(unloaded);
  EXPECT_FALSE(document.Build("g", "c"));
  EXPECT_EQ(document.Write(ImplausibleValues(), "a", "b"), "");
}

}  // namespace
