// The parameter document's frame and its finishing: the declaration and the
// `root` header written when the document is created, and the implausible
// values, change stamps and checksum trailer added on every write.
#include <string>

#include "devicemodel/checksum.h"
#include "devicemodel/data_model_to_hmi.h"
#include "devicemodel/vocabulary.h"
#include "xml/xml_writer.h"

namespace {

constexpr char kDeclarationName[] = "xml";
constexpr char kDeclarationVersion[] = "version";
constexpr char kDeclarationVersionValue[] = "1.0";
constexpr char kDeclarationEncoding[] = "encoding";
constexpr char kDeclarationEncodingValue[] = "UTF-8";
constexpr char kValueElementPrefix[] = "Value";

// Replaces the attribute's value, or adds the attribute when it is missing.
void SetAttribute(XmlNode node, const char* name, const std::string& value) {
  XmlAttribute existing = node.Attribute(name);
  if (existing.IsNull())
    node.AddAttribute(name, value.c_str());
  else
    existing.SetValue(value.c_str());
}

XmlNode ParameterRoot(XmlDocument& document) {
  XmlNode top = document.Root();
  long index = top.IndexOfChild(vocab::kRoot);
  return index < 0 ? XmlNode() : top.Child(static_cast<size_t>(index));
}

}  // namespace

bool CDataModelToHMI::CreateParameterDocument(const char* generator, const char* created) {
  if (!Loaded() || !generator || !created) return false;
  parameters_.Parse(nullptr);  // a fresh, empty document
  if (header_.device.empty() || header_.versionContent.empty() || header_.versionSyntax.empty()) return true;
  XmlNode top = parameters_.Root();
  XmlNode declaration = top.AppendChild(XmlNodeType::ProcessingInstruction);
  declaration.SetName(kDeclarationName);
  declaration.AddAttribute(kDeclarationVersion, kDeclarationVersionValue);
  declaration.AddAttribute(kDeclarationEncoding, kDeclarationEncodingValue);
  XmlNode root = top.AppendChild(XmlNodeType::Element);
  root.SetName(vocab::kRoot);
  root.AddAttribute(vocab::kType, vocab::kParameterFile);
  root.AddAttribute(vocab::kVersionSyntax, header_.versionSyntax.c_str());
  root.AddAttribute(vocab::kDevice, header_.device.c_str());
  root.AddAttribute(vocab::kVersionContent, header_.versionContent.c_str());
  root.AddAttribute(vocab::kGenerator, generator);
  root.AddAttribute(vocab::kCreated, created);
  root.AddAttribute(vocab::kCreatedWithDmHandoff, header_.handoff.c_str());
  return true;
}

std::string CDataModelToHMI::WriteCustomerAllParameter(const char* changedby, const char* changed) {
  if (!Loaded() || !changedby || !changed) return std::string();
  XmlNode root = ParameterRoot(parameters_);
  // 1. The previous implausible-values element goes.
  for (long index; (index = root.IndexOfChild(vocab::kImplausibleValues)) >= 0;)
    root.RemoveChild(static_cast<size_t>(index));
  // 3. The table, one "Value<n>" element per value reference.
  if (!implausible_.Empty() && !root.IsNull()) {
    XmlNode list = root.AppendChild(XmlNodeType::Element);
    list.SetName(vocab::kImplausibleValues);
    unsigned number = 0;
    for (const auto& entry : implausible_.Entries()) {
      for (const std::string& path : entry.second) {
        XmlNode value = list.AppendChild(XmlNodeType::Element);
        value.SetName((kValueElementPrefix + std::to_string(++number)).c_str());
        value.AddAttribute(vocab::kViewRef, entry.first.c_str());
        value.AddAttribute(vocab::kValueRef, path.c_str());
      }
    }
  }
  // 4. and 5. The change stamps.
  if (!root.IsNull()) {
    SetAttribute(root, vocab::kChangedby, changedby);
    SetAttribute(root, vocab::kChanged, changed);
    SetAttribute(root, vocab::kChangedWithDmHandoff, header_.handoff);
    if (!header_.productLine.empty()) SetAttribute(root, vocab::kProductLine, header_.productLine);
  }
  // 6. and 7. The trailer, then the whole text.
  Stamp(parameters_);
  return WriteXmlToString(parameters_.Root());
}
