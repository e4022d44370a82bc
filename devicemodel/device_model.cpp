// Loading a device model, in its fixed order: checksum over the text, parse,
// stored digest, main attributes, syntax version, menu tree and its root,
// multi-set count, then the prepared paths and flags. The first failing
// step decides the code; nothing is read outside the text.
#include "devicemodel/device_model.h"

#include <climits>
#include <cstring>
#include <exception>

#include "devicemodel/checksum.h"
#include "devicemodel/messages.h"
#include "devicemodel/vocabulary.h"

namespace {

constexpr int kSyntaxMin = 2;
constexpr int kSyntaxMax = 16;
constexpr int kNewSyntax = 8;

std::string Detail(int code, const std::string& versionSyntax) {
  switch (code) {
    case kLoadBadChecksum:
      return messages::kBadChecksum;
    case kLoadBadSyntaxVersion:
      return std::string(messages::kSyntaxBefore) + versionSyntax + messages::kSyntaxAfter;
    case kLoadMissingMainAttributes:
      return messages::kMissingMainAttributes;
    case kLoadNoMenuTree:
      return std::string(messages::kNoMenuTreeBefore) + vocab::kMode + messages::kNoMenuTreeMiddle +
             vocab::kMenuTree + messages::kNoMenuTreeAfter;
    case kLoadNoMenuRoot:
      return std::string(messages::kNoMenuRootBefore) + vocab::kRoot + messages::kNoMenuRootAfter;
    default:
      return messages::kParseError;
  }
}

}  // namespace

int LeadingDecimal(const std::string& text) {
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(value);
}

bool DeviceModel::Load(char* text, LoadResult& result) {
  int code;
  try {
    code = LoadSteps(text, result);
  } catch (const std::exception&) {
    code = kLoadParseError;
  } catch (...) {
    code = kLoadParseError;
  }
  result.code = code;
  if (code == kLoadOk) {
    result.message.clear();
    return true;
  }
  queries_.reset();
  // A step may have named its cause already (the missing digest).
  const std::string detail = result.message.empty() ? Detail(code, header_.versionSyntax) : result.message;
  result.message = messages::kInvalidModel + detail;
  return false;
}

int DeviceModel::LoadSteps(char* text, LoadResult& result) {
  result.message.clear();
  *this = DeviceModel();
  document_ = std::make_unique<XmlDocument>();
  // 1. The digest covers everything but the last 65 bytes (the trailer line).
  const size_t length = text ? std::strlen(text) : 0;
  if (length < trailer::kCommentLineBytes) return kLoadBadChecksum;
  const std::string computed = Checksum(text, length - trailer::kCommentLineBytes, &result.message);
  if (computed.empty()) return kLoadBadChecksum;
  // 2. Parse in place with the document's default flags.
  document_->Parse(text, xmlflags::kKeepStored);
  if (!document_->ParsedWhole()) return kLoadParseError;
  // 3. The stored digest, compared byte for byte; LENGTH is not compared.
  XmlNode top = document_->Root();
  if (StoredDigest(top.Child(trailer::kTrailerChild).Value()) != computed) return kLoadBadChecksum;
  // 4. Main attributes.
  XmlNode root = model::FirstChildElement(top);
  if (root.IsNull()) return kLoadMissingMainAttributes;
  header_.device = model::AttributeValue(root, vocab::kDevice);
  header_.versionContent = model::AttributeValue(root, vocab::kVersionContent);
  header_.multiSets = model::AttributeValue(root, vocab::kMultiSets);
  header_.versionSyntax = model::AttributeValue(root, vocab::kVersionSyntax);
  header_.versionSyntaxSLVP = model::AttributeValue(root, vocab::kVersionSyntaxSLVP);
  header_.productLine = model::AttributeValue(root, vocab::kProductLine);
  header_.handoff = model::AttributeValue(root, vocab::kHandoff);
  if (header_.device.empty() || header_.versionContent.empty() || header_.multiSets.empty() ||
      header_.versionSyntax.empty())
    return kLoadMissingMainAttributes;
  auto queries = std::make_unique<model::ModelQueries>(root);
  XmlNode device = model::FirstElement(root, [](XmlNode n) { return model::HasType(n, vocab::kMdmDevice); });
  if (!device.IsNull()) {
    header_.shortText = queries->TextLookup(device, vocab::kShortText);
    header_.helpText = queries->TextLookup(device, vocab::kHelpText);
  }
  // 5. Syntax version.
  const int syntax = LeadingDecimal(header_.versionSyntax);
  if (syntax < kSyntaxMin || syntax > kSyntaxMax) return kLoadBadSyntaxVersion;
  header_.newSyntax = syntax >= kNewSyntax;
  // 6. and 7. The HMI menu tree and its root entry.
  XmlNode menuTree = model::FirstElement(top, [](XmlNode n) {
    return model::AttributeEquals(n, vocab::kMode, vocab::kMenuTree);
  });
  if (menuTree.IsNull()) return kLoadNoMenuTree;
  XmlNode menuRoot = model::FirstElement(menuTree, [](XmlNode n) { return model::HasType(n, vocab::kRoot); });
  if (menuRoot.IsNull()) return kLoadNoMenuRoot;
  menuRootPath_ = menuRoot.Path();
  // 8. Multi-set count.
  multiSetCount_ = LeadingDecimal(header_.multiSets);
  // 9. Prepared paths and flags.
  queries_ = std::move(queries);
  Prepare();
  return kLoadOk;
}

void DeviceModel::Prepare() {
  XmlNode root = queries_->RootElement();
  XmlNode section = model::FirstElement(root, [](XmlNode n) { return model::HasType(n, vocab::kSectionMDM); });
  sectionMdmPath_ = section.IsNull() ? std::string() : section.Path();
  temperatureSelectPath_ = queries_->MappedPath(vocab::kTemperatureUnitSelectParameter);
  temperatureUnit_ = !temperatureSelectPath_.empty();
  if (temperatureUnit_) {
    temperatureCelsiusPath_ = queries_->MappedPath(vocab::kTemperatureUnitReferenceC);
    temperatureFahrenheitPath_ = queries_->MappedPath(vocab::kTemperatureUnitReferenceF);
  }
  ansiDeviceNumbers_ = !queries_->MappedPath(vocab::kPathAnsiDeviceNumbers).empty();
  XmlNode typeCodeEntry =
      model::FirstElement(root, [](XmlNode n) { return model::AttributeEquals(n, vocab::kMode, vocab::kTypeCode); });
  typeCodeEntryPath_ = typeCodeEntry.IsNull() ? std::string() : typeCodeEntry.Path();
  const std::string gridFault = queries_->MappedPath(vocab::kGridFaultCounter);
  if (!gridFault.empty()) {
    XmlAttribute view = queries_->Find(gridFault).Attribute(vocab::kView);
    gridFaultCounterHidden_ = view.IsNull() || view.Value() == vocab::kHidden;
  }
}

bool DeviceModel::ViewInUse(const std::string& viewPath) const {
  if (!queries_) return false;
  auto known = viewInUse_.find(viewPath);
  if (known != viewInUse_.end()) return known->second;
  const bool inUse = queries_->ViewInUse(viewPath);
  viewInUse_.emplace(viewPath, inUse);
  return inUse;
}

void DeviceModel::ChangeAttribute(XmlNode element, const char* name, const char* value) {
  model::SetAttribute(element, name, value);
  viewInUse_.clear();  // a flag, a ref or a view may have changed
}
