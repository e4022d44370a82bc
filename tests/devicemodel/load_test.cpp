// Loading: each failure code with its trigger and message, the accepted
// boundaries, and the state a successful load prepares.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "devicemodel/data_model_to_hmi.h"
#include "tests/devicemodel/model_text.h"

namespace {

using modeltest::Body;
using modeltest::WithTrailer;

const char kAttributes[] = "device=\"DEV1\" versionContent=\"1.0\" multiSets=\"2\" versionSyntax=\"%s\"";

struct Loaded {
  explicit Loaded(const std::string& model) : text(model.begin(), model.end()) {
    text.push_back('\0');
    ok = engine.Load(text.data(), result);
  }
  std::vector<char> text;
  CDataModelToHMI engine;
  LoadResult result;
  bool ok = false;
};

std::string WithSyntax(const std::string& version) {
  char attributes[256];
  std::snprintf(attributes, sizeof attributes, kAttributes, version.c_str());
  return WithTrailer(Body(attributes));
}

TEST(Load, AcceptsAValidModel) {
  Loaded l(modeltest::Model());
  ASSERT_TRUE(l.ok) << l.result.message;
  EXPECT_EQ(l.result.code, 0);
  EXPECT_EQ(l.result.message, "");
  EXPECT_EQ(l.engine.Header().device, "DEV1");
  EXPECT_EQ(l.engine.MultiSetCount(), 2);
  EXPECT_EQ(l.engine.MenuRootPath(), "/root/Hmi/Top");
  EXPECT_EQ(l.engine.SectionMdmPath(), "/root/Modules/Prot/Params");
  EXPECT_TRUE(l.engine.Header().newSyntax);
  EXPECT_EQ(l.engine.Header().shortText, "[Device]");  // no text document: the bracketed name
}

TEST(Load, ChangedByteBeforeTheTrailerIsCode1) {
  std::string model = modeltest::Model();
  std::string spaced = model;
  spaced.insert(spaced.find("<Modules>"), " ");  // white space only
  Loaded l(spaced);
  EXPECT_FALSE(l.ok);
  EXPECT_EQ(l.result.code, 1);
  EXPECT_EQ(l.result.message, "Invalid device model!\nMissing or invalid checksum");
  std::string changed = model;
  changed[changed.find("DEV1") + 3] = '2';
  EXPECT_EQ(Loaded(changed).result.code, 1);
}

TEST(Load, LengthDigitsAreNotCompared) {
  std::string model = modeltest::Model();
  size_t length = model.find(" LENGTH:") + 8;
  model.replace(length, 8, "ffffffff");
  EXPECT_TRUE(Loaded(model).ok);
}

TEST(Load, UppercaseDigestIsCode1) {
  std::string model = modeltest::Model();
  size_t digest = model.find("CHECKSUM:") + 9;
  bool changed = false;
  for (size_t i = digest; i < digest + 32; ++i) {
    if (model[i] >= 'a' && model[i] <= 'f') {
      model[i] = static_cast<char>(model[i] - 'a' + 'A');
      changed = true;
    }
  }
  ASSERT_TRUE(changed);
  EXPECT_EQ(Loaded(model).result.code, 1);
}

TEST(Load, MissingTrailerAndShortTextsAreCode1) {
  EXPECT_EQ(Loaded(Body()).result.code, 1);
  EXPECT_EQ(Loaded(Body() + "<!--no checksum here at all, just a comment of some length-->\n").result.code, 1);
  EXPECT_EQ(Loaded("").result.code, 1);
  // 64 bytes: shorter than the trailer line. Exactly the bytes, so the
  // sanitizer sees any read beyond them.
  std::unique_ptr<char[]> exact(new char[65]);
  std::memset(exact.get(), 'x', 64);
  exact[64] = '\0';
  CDataModelToHMI engine;
  LoadResult result;
  EXPECT_FALSE(engine.Load(exact.get(), result));
  EXPECT_EQ(result.code, 1);
  EXPECT_FALSE(engine.Load(nullptr, result));
  EXPECT_EQ(result.code, 1);
}

TEST(Load, SyntaxVersionBounds) {
  EXPECT_TRUE(Loaded(WithSyntax("2")).ok);
  EXPECT_TRUE(Loaded(WithSyntax("16")).ok);
  EXPECT_TRUE(Loaded(WithSyntax("16abc")).ok);
  Loaded seven(WithSyntax("7"));
  ASSERT_TRUE(seven.ok);
  EXPECT_FALSE(seven.engine.Header().newSyntax);
  EXPECT_TRUE(Loaded(WithSyntax("8")).engine.Header().newSyntax);
  for (const char* bad : {"1", "17", "0", "abc", "99999999999999999999"}) {
    Loaded l(WithSyntax(bad));
    EXPECT_EQ(l.result.code, 2) << bad;
    EXPECT_EQ(l.result.message, std::string("Invalid device model!\nDevice model syntax format '") + bad +
                                    "' not supported with this application.");
  }
}

TEST(Load, MissingOrEmptyMainAttributesAreCode3) {
  const char* variants[] = {
      "versionContent=\"1.0\" multiSets=\"2\" versionSyntax=\"16\"",
      "device=\"\" versionContent=\"1.0\" multiSets=\"2\" versionSyntax=\"16\"",
      "device=\"D\" multiSets=\"2\" versionSyntax=\"16\"",
      "device=\"D\" versionContent=\"1.0\" versionSyntax=\"16\"",
      "device=\"D\" versionContent=\"1.0\" multiSets=\"\" versionSyntax=\"16\"",
      "device=\"D\" versionContent=\"1.0\" multiSets=\"2\"",
      "device=\"D\" versionContent=\"1.0\" multiSets=\"2\" versionSyntax=\"\"",
  };
  for (const char* attributes : variants) {
    Loaded l(WithTrailer(Body(attributes)));
    EXPECT_EQ(l.result.code, 3) << attributes;
    EXPECT_EQ(l.result.message, "Invalid device model!\nMissing necessary main attributes");
  }
  // No root element at all.
  EXPECT_EQ(Loaded(WithTrailer("<?xml version=\"1.0\"?>\n<!--x-->\n")).result.code, 3);
  // Without a root element the trailer is not the third child: no checksum.
  EXPECT_EQ(Loaded(WithTrailer("<?xml version=\"1.0\"?>\n")).result.code, 1);
}

TEST(Load, NoMenuTreeIsCode4AndNoMenuRootCode5) {
  const std::string attributes = "device=\"D\" versionContent=\"1\" multiSets=\"1\" versionSyntax=\"10\"";
  Loaded noTree(WithTrailer(Body(attributes, "\t<Hmi><Top type=\"root\"/></Hmi>\n")));
  EXPECT_EQ(noTree.result.code, 4);
  EXPECT_EQ(noTree.result.message,
            "Invalid device model!\nNone necessary element found with attribute name 'mode' and value = 'menuTree'");
  Loaded noRoot(WithTrailer(Body(attributes, "\t<Hmi mode=\"menuTree\"><Top type=\"Root\"/></Hmi>\n")));
  EXPECT_EQ(noRoot.result.code, 5);
  EXPECT_EQ(noRoot.result.message, "Invalid device model!\nNone attribute value 'root' in HMI menu tree found!");
  // A root entry outside the menu tree does not count.
  Loaded outside(
      WithTrailer(Body(attributes, "\t<X type=\"root\"/>\n\t<Hmi mode=\"menuTree\"><Top/></Hmi>\n")));
  EXPECT_EQ(outside.result.code, 5);
}

TEST(Load, MalformedXmlIsCode6) {
  const std::string attributes = "device=\"D\" versionContent=\"1\" multiSets=\"1\" versionSyntax=\"10\"";
  const char* insides[] = {
      "\t<Hmi mode=\"menuTree\"><Top type=\"root\"/>\n",        // element left open
      "\t<Hmi mode=\"menuTree\"><Top type=\"root/></Hmi>\n",    // attribute value runs on
      "\t<Hmi mode=\"menuTree\"><Top type=root/></Hmi>\n",      // unquoted value
      "\t<Hmi mode=\"menuTree\"><Top type=\"root\"/></Hmi>\n\t< x\n",
  };
  for (const char* inside : insides) {
    Loaded l(WithTrailer(Body(attributes, inside)));
    EXPECT_EQ(l.result.code, 6) << inside;
    EXPECT_EQ(l.result.message, "Invalid device model!\nAny other parsing error");
  }
  // An unterminated comment swallows the trailer.
  EXPECT_EQ(Loaded(WithTrailer(Body(attributes, "\t<!-- open\n"))).result.code, 6);
}

TEST(Load, PreparedMappingsAndFlags) {
  const std::string attributes = "device=\"D\" versionContent=\"1\" multiSets=\"3\" versionSyntax=\"10\"";
  const std::string inside =
      "\t<Hmi mode=\"menuTree\"><Top type=\"root\"/></Hmi>\n"
      "\t<P><Unit/><C/><F/><Grid view=\"shown\"/></P>\n"
      "\t<Maps>\n"
      "\t\t<M1 type=\"mapping\" ref=\"P/Unit\" with=\"temperatureUnitSelectParameter\"/>\n"
      "\t\t<M2 ref=\"P/C\" with=\"temperatureUnitReferenceC\"/>\n"
      "\t\t<M3 ref=\"/root/P/F\" with=\"temperatureUnitReferenceF\"/>\n"
      "\t\t<M4 ref=\"P/Grid\" with=\"gridFaultCounter\"/>\n"
      "\t\t<M5 ref=\"P\" with=\"pathAnsiDeviceNumbers\"/>\n"
      "\t</Maps>\n";
  Loaded l(WithTrailer(Body(attributes, inside)));
  ASSERT_TRUE(l.ok) << l.result.message;
  EXPECT_TRUE(l.engine.HasTemperatureUnit());
  EXPECT_EQ(l.engine.TemperatureSelectPath(), "/root/P/Unit");
  EXPECT_EQ(l.engine.TemperatureCelsiusPath(), "/root/P/C");
  EXPECT_EQ(l.engine.TemperatureFahrenheitPath(), "/root/P/F");
  EXPECT_TRUE(l.engine.AnsiDeviceNumbers());
  EXPECT_FALSE(l.engine.GridFaultCounterHidden());
  EXPECT_EQ(l.engine.MultiSetCount(), 3);
  EXPECT_EQ(l.engine.SectionMdmPath(), "");

  std::string hidden = inside;
  hidden.replace(hidden.find("<Grid view=\"shown\"/>"), 20, "<Grid/>");
  EXPECT_TRUE(Loaded(WithTrailer(Body(attributes, hidden))).engine.GridFaultCounterHidden());
}

TEST(Load, ParsesTheTextInPlace) {
  Loaded l(modeltest::Model());
  ASSERT_TRUE(l.ok);
  // The terminator written after the root element's name.
  EXPECT_EQ(std::string(l.text.data() + std::strlen("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root")), "");
}

}  // namespace
