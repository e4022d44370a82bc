// The parameter document's life in the engine: built by CDataModelToParameter
// when the model is loaded (refused when the parameter sets would make it
// larger than kMaxParameterElements), finished on every write (implausible
// values, change stamps, checksum trailer) and answered as text.
#include <string>

#include "devicemodel/checksum.h"
#include "devicemodel/data_model_to_hmi.h"
#include "devicemodel/data_model_to_parameter.h"
#include "devicemodel/messages.h"
#include "devicemodel/vocabulary.h"
#include "xml/xml_writer.h"

namespace {

constexpr char kValueElementPrefix[] = "Value";

XmlNode ParameterRoot(XmlDocument& document) {
  XmlNode top = document.Root();
  long index = top.IndexOfChild(vocab::kRoot);
  return index < 0 ? XmlNode() : top.Child(static_cast<size_t>(index));
}

}  // namespace

bool CDataModelToHMI::CreateParameterDocument(const char* generator, const char* created, LoadResult* result) {
  if (!Loaded() || !generator || !created) return false;
  parameters_.Parse(nullptr);  // a fresh, empty document
  instances_.Clear();
  implausibleWritten_ = false;
  if (header_.device.empty() || header_.versionContent.empty() || header_.versionSyntax.empty()) return true;
  const ParameterFileHeader header{header_.versionSyntax, header_.device, header_.versionContent,
                                   generator,             created,        header_.handoff};
  CDataModelToParameter builder(parameters_, multiSetCount_, header);
  queries_->RootElement().Traverse(builder);
  const uint64_t elements = builder.ElementCountAfterSetNumberPass(builder.Root());
  if (elements > kMaxParameterElements) {
    parameters_.Parse(nullptr);
    if (result) {
      result->code = kLoadMissingMainAttributes;
      result->message = std::string(messages::kInvalidModel) + messages::kTooLargeBefore + std::to_string(elements) +
                        messages::kTooLargeMiddle + std::to_string(kMaxParameterElements) +
                        messages::kTooLargeAfter + header_.multiSets + "'";
    }
    return false;
  }
  builder.SetNumberPass(builder.Root());
  instances_.Build(parameters_.Root());
  return true;
}

std::string CDataModelToHMI::WriteCustomerAllParameter(const char* changedby, const char* changed) {
  if (!Loaded() || !changedby || !changed) return std::string();
  XmlNode root = ParameterRoot(parameters_);
  // 1. The element an earlier write appended goes (it is root's last
  // child). Only that one: a mirrored section may carry the same name.
  if (implausibleWritten_ && root.ChildCount() > 0) root.RemoveChild(root.ChildCount() - 1);
  implausibleWritten_ = false;
  // 2. The changes recorded since the last write are checked again.
  RunDeferredChecks();
  // 3. The table, one "Value<n>" element per value reference.
  if (!implausible_.Empty() && !root.IsNull()) {
    XmlNode list = root.AppendChild(XmlNodeType::Element);
    list.SetName(vocab::kImplausibleValues);
    implausibleWritten_ = !list.IsNull();
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
    SetAttribute(root, vocab::kChangedWithDmHandoff, header_.handoff.c_str());
    if (!header_.productLine.empty()) SetAttribute(root, vocab::kProductLine, header_.productLine.c_str());
  }
  // 6. and 7. The trailer, then the whole text; no text without its checksum.
  if (!Stamp(parameters_)) return std::string();
  return WriteXmlToString(parameters_.Root());
}
