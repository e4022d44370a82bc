// Reading the type code and the software component signatures from the
// parameter document through the model's mapping entries. Only values of
// installed modules count; a position without a code shows as "?".
#include <string>
#include <vector>

#include "devicemodel/data_model_to_hmi.h"
#include "devicemodel/vocabulary.h"
#include "xml/xml_walker.h"

namespace {

constexpr char kUnknownCode[] = "?";

}  // namespace

std::vector<ValueEntry> CDataModelToHMI::CollectValues(const char* key) const {
  std::vector<ValueEntry> entries;
  if (!Loaded()) return entries;
  const std::string mapped = queries_->MappedPath(key);
  if (mapped.empty()) return entries;
  const std::vector<XmlNode>& tops = instances_.Find(ParameterPath(mapped));
  if (tops.empty()) return entries;
  XmlNode top = tops.front();
  // Every node without children below the mapped node, in document order.
  XmlVisitDescendants(top, [&](XmlNode node, int) {
    if (node.ChildCount() > 0) return true;
    const std::string path = node.Path();
    XmlNode module = model::ModuleNodeOf(queries_->Find(ModelPath(path)));
    if (module.IsNull() || queries_->InUseFlag(module, vocab::kInstalled))
      entries.push_back({path, node.Value(), SetNumberOf(node)});
    return true;
  });
  return entries;
}

std::string CDataModelToHMI::GetTypecode() const {
  if (!Loaded()) return std::string();
  std::string code = header_.device;
  for (const ValueEntry& entry : CollectValues(vocab::kPathTypeCode)) {
    XmlNode parameter = queries_->Find(ModelPath(entry.path));
    if (!model::IsPresent(parameter, vocab::kRef)) {
      code += kUnknownCode;
      continue;
    }
    // Item names come from values: looked up literally, never as patterns.
    XmlNode list = queries_->ResolveNode(model::AttributeValue(parameter, vocab::kRef));
    const std::string itemCode = model::AttributeValue(model::NamedChildElement(list, entry.value), vocab::kCode);
    code += itemCode.empty() ? kUnknownCode : itemCode;
  }
  return code;
}

std::vector<std::pair<std::string, std::string>> CDataModelToHMI::SwComponentSignatures() const {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const ValueEntry& entry : CollectValues(vocab::kPathSignatureSW)) {
    std::string path = entry.path;
    if (!path.empty() && path.back() == '/') path.pop_back();
    pairs.emplace_back(path.substr(path.rfind('/') + 1), entry.value);
  }
  return pairs;
}
