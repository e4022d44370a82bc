// Reading the type code and the software component signatures from the
// parameter document through the model's mapping entries. Only values of
// installed modules count; a position without a code shows as "?".
#include "devicemodel/type_code.h"

#include "devicemodel/vocabulary.h"
#include "xml/xml_walker.h"

namespace {

constexpr char kUnknownCode[] = "?";

}  // namespace

std::vector<ValueEntry> CollectValues(const DeviceModel& model, const ParameterDocument& document, const char* key) {
  std::vector<ValueEntry> entries;
  const model::ModelQueries* queries = model.Queries();
  if (!queries) return entries;
  const std::string mapped = queries->MappedPath(key);
  if (mapped.empty()) return entries;
  const std::vector<XmlNode>& tops = document.Instances().Find(document.ParameterPath(mapped));
  if (tops.empty()) return entries;
  XmlNode top = tops.front();
  // Every node without children below the mapped node, in document order.
  XmlVisitDescendants(top, [&](XmlNode node, int) {
    if (node.ChildCount() > 0) return true;
    const std::string path = node.Path();
    XmlNode module = model::ModuleNodeOf(queries->Find(document.ModelPath(path)));
    if (module.IsNull() || queries->InUseFlag(module, vocab::kInstalled))
      entries.push_back({path, node.Value(), SetNumberOf(node)});
    return true;
  });
  return entries;
}

std::string GetTypecode(const DeviceModel& model, const ParameterDocument& document) {
  const model::ModelQueries* queries = model.Queries();
  if (!queries) return std::string();
  std::string code = model.Header().device;
  for (const ValueEntry& entry : CollectValues(model, document, vocab::kPathTypeCode)) {
    XmlNode parameter = queries->Find(document.ModelPath(entry.path));
    if (!model::IsPresent(parameter, vocab::kRef)) {
      code += kUnknownCode;
      continue;
    }
    // Item names come from values: looked up literally, never as patterns.
    XmlNode list = queries->ResolveNode(model::AttributeValue(parameter, vocab::kRef));
    const std::string itemCode = model::AttributeValue(model::NamedChildElement(list, entry.value), vocab::kCode);
    code += itemCode.empty() ? kUnknownCode : itemCode;
  }
  return code;
}

std::vector<std::pair<std::string, std::string>> SwComponentSignatures(const DeviceModel& model,
                                                                       const ParameterDocument& document) {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const ValueEntry& entry : CollectValues(model, document, vocab::kPathSignatureSW)) {
    std::string path = entry.path;
    if (!path.empty() && path.back() == '/') path.pop_back();
    pairs.emplace_back(path.substr(path.rfind('/') + 1), entry.value);
  }
  return pairs;
}
