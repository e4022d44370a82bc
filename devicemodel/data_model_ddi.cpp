// DDI assignment: one probe for the entry, one for its value, one walk of
// its selection list's items (names compared literally).
#include "devicemodel/data_model_ddi.h"

#include "devicemodel/vocabulary.h"

std::pair<bool, bool> CDataModelDDI::GetParameterAssignmentInfo(const std::string& path) const {
  const model::ModelQueries* queries = model_.Queries();
  if (!queries) return {false, false};
  XmlNode entry = queries->Find(path);
  if (entry.IsNull()) return {false, false};
  std::string value = model::AttributeValue(entry, vocab::kDefault);
  const std::vector<XmlNode>& instances = document_.Instances().Find(document_.ParameterPath(path));
  if (!instances.empty()) value = ValueText(instances.front());
  if (!model::IsPresent(entry, vocab::kRef)) return {false, false};
  XmlNode list = queries->ResolveNode(model::AttributeValue(entry, vocab::kRef));
  for (size_t i = 0; i < list.ChildCount(); ++i) {
    XmlNode item = list.Child(i);
    if (item.Type() == XmlNodeType::Element && item.Name() == value)
      return {true, model::IsPresent(item, vocab::kTextRef)};
  }
  return {false, false};
}
