// The parameter document's life: built by CDataModelToParameter when the
// model is loaded (refused when the parameter sets would make it larger than
// kMaxParameterElements), finished on every write (implausible values,
// change stamps, checksum trailer) and answered as text.
#include "devicemodel/parameter_document.h"

#include <string>

#include "devicemodel/checksum.h"
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

// Does the path start with root, as a whole first part of the path?
bool UnderRoot(const std::string& path, const std::string& root) {
  return path.compare(0, root.size(), root) == 0 && (path.size() == root.size() || path[root.size()] == '/');
}

}  // namespace

bool ParameterDocument::Build(const char* generator, const char* created, LoadResult* result) {
  if (!model_.Loaded() || !generator || !created) return false;
  document_.Parse(nullptr);  // a fresh, empty document
  instances_.Clear();
  implausibleWritten_ = false;
  const ModelHeader& header = model_.Header();
  if (header.device.empty() || header.versionContent.empty() || header.versionSyntax.empty()) return true;
  const ParameterFileHeader fileHeader{header.versionSyntax, header.device, header.versionContent,
                                       generator,            created,       header.handoff};
  CDataModelToParameter builder(document_, model_.MultiSetCount(), fileHeader);
  model_.Queries()->RootElement().Traverse(builder);
  const uint64_t elements = builder.ElementCountAfterSetNumberPass(builder.Root());
  if (elements > kMaxParameterElements) {
    document_.Parse(nullptr);
    if (result) {
      result->code = kLoadMissingMainAttributes;
      result->message = std::string(messages::kInvalidModel) + messages::kTooLargeBefore + std::to_string(elements) +
                        messages::kTooLargeMiddle + std::to_string(kMaxParameterElements) +
                        messages::kTooLargeAfter + header.multiSets + "'";
    }
    return false;
  }
  builder.SetNumberPass(builder.Root());
  instances_.Build(document_.Root());
  return true;
}

std::string ParameterDocument::Write(const ImplausibleValues& implausible, const char* changedby,
                                     const char* changed) {
  // Nothing was built without a model: no stamped text for no document.
  if (!model_.Loaded() || !changedby || !changed) return std::string();
  XmlNode root = ParameterRoot(document_);
  // The element an earlier write appended goes (it is root's last child).
  // Only that one: a mirrored section may carry the same name.
  if (implausibleWritten_ && root.ChildCount() > 0) root.RemoveChild(root.ChildCount() - 1);
  implausibleWritten_ = false;
  // The table, one "Value<n>" element per value reference.
  if (!implausible.Empty() && !root.IsNull()) {
    XmlNode list = root.AppendChild(XmlNodeType::Element);
    list.SetName(vocab::kImplausibleValues);
    implausibleWritten_ = !list.IsNull();
    unsigned number = 0;
    for (const auto& entry : implausible.Entries()) {
      for (const std::string& path : entry.second) {
        XmlNode value = list.AppendChild(XmlNodeType::Element);
        value.SetName((kValueElementPrefix + std::to_string(++number)).c_str());
        value.AddAttribute(vocab::kViewRef, entry.first.c_str());
        value.AddAttribute(vocab::kValueRef, path.c_str());
      }
    }
  }
  // The change stamps.
  const ModelHeader& header = model_.Header();
  if (!root.IsNull()) {
    model::SetAttribute(root, vocab::kChangedby, changedby);
    model::SetAttribute(root, vocab::kChanged, changed);
    model::SetAttribute(root, vocab::kChangedWithDmHandoff, header.handoff.c_str());
    if (!header.productLine.empty()) model::SetAttribute(root, vocab::kProductLine, header.productLine.c_str());
  }
  // The trailer, then the whole text; no text without its checksum.
  if (!Stamp(document_)) return std::string();
  return WriteXmlToString(document_.Root());
}

std::string ParameterDocument::RootPath() { return std::string("/") + vocab::kRoot; }

std::string ParameterDocument::ParameterPath(const std::string& modelPath) const {
  const model::ModelQueries* queries = model_.Queries();
  if (!queries || !UnderRoot(modelPath, queries->RootPath())) return modelPath;
  return RootPath() + modelPath.substr(queries->RootPath().size());
}

std::string ParameterDocument::ModelPath(const std::string& parameterPath) const {
  const model::ModelQueries* queries = model_.Queries();
  const std::string root = RootPath();
  if (!queries || !UnderRoot(parameterPath, root)) return parameterPath;
  return queries->RootPath() + parameterPath.substr(root.size());
}
