// The shared predicates and lookups: references, sections, in-use flags,
// view use, mappings, text lookup, and the path index against the XML
// layer's own path search.
#include <gtest/gtest.h>

#include <string>

#include "devicemodel/model_queries.h"
#include "devicemodel/vocabulary.h"

namespace {

class ModelQueriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_.ParseCopy(
        "<root>"
        "<Mods>"
        "<On type='mdm' installed='true' projected='true'><P1 view='hidden'/><P2/></On>"
        "<Off type='mdmAppFrame' installed='false'><P3/></Off>"
        "<Bare type='mdmDevice'><P4/></Bare>"
        "<Proj type='sectionProjectSettings'><P5/></Proj>"
        "</Mods>"
        "<Multi type='sectionMultiSet'><Single type='sectionSingleSet'><X/></Single><Y/></Multi>"
        "<Mod type='mdm'><Inner><Z/></Inner></Mod>"
        "<Views>"
        "<AllOff><e1 type='entry' entryRef='Mods/Off/P3'/></AllOff>"
        "<Mixed><e1 type='entry' entryRef='Mods/Off/P3'/><e2 type='entry' entryRef='Mods/On/P2'/></Mixed>"
        "<Skip><e1 type='entry' entryRef='Mods/Proj/P5'/><e2 type='entry' entryRef='nowhere'/></Skip>"
        "<V1 ref='Mods/On/P2'/><V2 ref='Mods/On/P1'/><V3 ref='Mods/Off/P3'/><V4/>"
        "</Views>"
        "<Maps><A type='mapping' ref='Mods/On' with='pathTypeCode'/><B ref='Mods/Off' with='pathSignatureSW'/>"
        "<C with='x'/><D ref='Mods/Bare' with='x'/></Maps>"
        "<Dup><S/></Dup><Dup><S><T/></S></Dup>"
        "</root>");
    root_ = doc_.Root().Child(0);
  }
  XmlNode At(const char* path) { return doc_.Root().FindByPath(path); }
  XmlDocument doc_;
  XmlNode root_;
};

TEST_F(ModelQueriesTest, ResolveReference) {
  model::ModelQueries q(root_);
  EXPECT_EQ(q.ResolveReference("Mods/On"), "/root/Mods/On");
  EXPECT_EQ(q.ResolveReference("/root/Mods/On"), "/root/Mods/On");
  EXPECT_EQ(q.ResolveNode("Mods/On/P2"), At("/root/Mods/On/P2"));
  EXPECT_TRUE(q.ResolveNode("Mods/Nope").IsNull());
}

TEST_F(ModelQueriesTest, IndexAgreesWithThePathSearch) {
  model::ModelQueries q(root_);
  for (const char* path : {"/root/Dup/S", "/root/Dup/S/T", "/root/Views/Mixed/e2", "/root", "/root/Mods/x"}) {
    EXPECT_EQ(q.Find(path), At(path)) << path;
  }
  // Paths the index does not hold go to the path search.
  EXPECT_EQ(q.Find("/root/Dup/S/../S/T"), At("/root/Dup/S/T"));
  EXPECT_EQ(q.Find("/root/M?ds/On"), At("/root/Mods/On"));
  EXPECT_EQ(q.Find("/root//Mods"), At("/root/Mods"));
  // A text node's path ends with the delimiter and names its element.
  EXPECT_EQ(q.Find("/root/Mods/On/"), At("/root/Mods/On"));
  EXPECT_TRUE(q.Find("/").IsNull());
}

TEST_F(ModelQueriesTest, Predicates) {
  XmlNode on = At("/root/Mods/On");
  EXPECT_EQ(model::AttributeValue(on, "installed"), "true");
  EXPECT_EQ(model::AttributeValue(on, "none"), "");
  EXPECT_TRUE(model::IsModuleNode(on));
  EXPECT_TRUE(model::IsModuleNode(At("/root/Mods/Off")));
  EXPECT_TRUE(model::IsModuleNode(At("/root/Mods/Bare")));
  EXPECT_FALSE(model::IsModuleNode(At("/root/Mods")));
  EXPECT_FALSE(model::HasType(on, "MDM"));  // byte for byte
  doc_.Root().Child(0).AddAttribute("type", "");
  EXPECT_FALSE(model::IsPresent(root_, "type"));
  EXPECT_TRUE(model::IsPresent(on, "type"));

  XmlDocument p;
  p.ParseCopy("<r><a type='selection'/><b type='bool'/><c style='list'/><d type='integer'/>"
              "<e based='paraSet'/><f viewExtension='withModuleNode'/></r>");
  XmlNode r = p.Root().Child(0);
  EXPECT_TRUE(model::IsSelectionLike(r.Child(0)));
  EXPECT_TRUE(model::IsSelectionLike(r.Child(1)));
  EXPECT_TRUE(model::IsSelectionLike(r.Child(2)));
  EXPECT_FALSE(model::IsSelectionLike(r.Child(3)));
  EXPECT_TRUE(model::IsParameterSet(r.Child(4)));
  EXPECT_FALSE(model::IsParameterSet(r.Child(3)));
  EXPECT_TRUE(model::IsViewExtensionWithModuleNode(r.Child(5)));
}

TEST_F(ModelQueriesTest, SectionOfTakesTheNearestAndStopsAtModules) {
  EXPECT_EQ(model::SectionOf(At("/root/Multi/Single/X")), "sectionSingleSet");
  EXPECT_EQ(model::SectionOf(At("/root/Multi/Y")), "sectionMultiSet");
  EXPECT_EQ(model::SectionOf(At("/root/Multi")), "sectionMultiSet");
  EXPECT_EQ(model::SectionOf(At("/root/Mods/Proj/P5")), "sectionProjectSettings");
  EXPECT_EQ(model::SectionOf(At("/root/Mod/Inner/Z")), "");
  EXPECT_EQ(model::SectionOf(At("/root/Views")), "");
}

TEST_F(ModelQueriesTest, InUseFlags) {
  model::ModelQueries q(root_);
  EXPECT_TRUE(q.InUseFlag(At("/root/Mods/On"), "installed"));
  EXPECT_FALSE(q.InUseFlag(At("/root/Mods/Off"), "installed"));
  EXPECT_TRUE(q.InUseFlag(At("/root/Mods/Off"), "projected"));  // missing counts as true
  EXPECT_TRUE(q.InUseFlag(At("/root/Mods/Bare"), "installed"));
  EXPECT_FALSE(q.InUseFlag(At("/root/Views/AllOff"), "installed"));
  EXPECT_TRUE(q.InUseFlag(At("/root/Views/Mixed"), "installed"));  // a later entry answers true
  EXPECT_TRUE(q.InUseFlag(At("/root/Views/Skip"), "installed"));   // no deciding entry
  EXPECT_TRUE(q.InUseFlag(At("/root/Views/AllOff"), "projected"));  // module lacks the attribute
  EXPECT_FALSE(q.InUse(At("/root/Views/AllOff")));
  EXPECT_TRUE(q.InUse(At("/root/Mods/On")));
}

TEST_F(ModelQueriesTest, ViewInUse) {
  model::ModelQueries q(root_);
  EXPECT_TRUE(q.ViewInUse("/root/Views/V1"));
  EXPECT_FALSE(q.ViewInUse("/root/Views/V2"));  // the parameter is hidden
  EXPECT_FALSE(q.ViewInUse("/root/Views/V3"));  // its module is not installed
  EXPECT_TRUE(q.ViewInUse("/root/Views/V4"));   // no ref
  EXPECT_FALSE(q.ViewInUse("/root/Views/None"));
}

TEST_F(ModelQueriesTest, MappedPath) {
  model::ModelQueries q(root_);
  EXPECT_EQ(q.MappedPath("pathTypeCode"), "/root/Mods/On");
  EXPECT_EQ(q.MappedPath("pathSignatureSW"), "/root/Mods/Off");
  EXPECT_EQ(q.MappedPath("x"), "/root/Mods/Bare");  // C lacks ref and is passed over
  EXPECT_EQ(q.MappedPath("gridFaultCounter"), "");
}

TEST_F(ModelQueriesTest, TextLookup) {
  model::ModelQueries without(root_);
  EXPECT_EQ(without.TextLookup(At("/root/Mods/On"), "shortText"), "[On]");
  XmlDocument texts;
  texts.ParseCopy("<root><Mods><On shortText='Protection'/><Off/></Mods></root>");
  model::ModelQueries with(root_, texts.Root());
  EXPECT_EQ(with.TextLookup(At("/root/Mods/On"), "shortText"), "Protection");
  EXPECT_EQ(with.TextLookup(At("/root/Mods/Off"), "shortText"), "(Off)");
  EXPECT_EQ(with.TextLookup(At("/root/Mods/Bare"), "shortText"), "{Bare}");
}

}  // namespace
