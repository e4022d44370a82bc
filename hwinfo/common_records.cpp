// Common records: table set-up (detail ID first), decode (always true) and
// encode followed by the common ID of the version.
#include "hwinfo/common_records.h"

CommonRecord::CommonRecord(std::shared_ptr<HwInfo> previous, std::uint16_t version)
    : TableRecord(std::move(previous)), version_(version) {
  Table().AddNumber(detailId_);
}

bool CommonRecord::ReadOwn() {
  ClearFields();
  DecodeFields();
  return true;
}

void CommonRecord::WriteOwn() {
  EncodeFields();
  SetCommonID(version_);
}

HwInfo_Common::HwInfo_Common(std::shared_ptr<HwInfo> previous)
    : CommonRecord(std::move(previous), hwinfo::kCommonV1) {
  fields.Describe(Table());
}

HwInfo_Common_V2::HwInfo_Common_V2(std::shared_ptr<HwInfo> previous)
    : CommonRecord(std::move(previous), hwinfo::kCommonV2) {
  fields.Describe(Table());
}

void HwInfo_Common_V2::ClearFields() {
  ClearDetailID();
  fields = hwinfo::VariantGroup{};
}

HwInfo_Common_V3::HwInfo_Common_V3(std::shared_ptr<HwInfo> previous)
    : CommonRecord(std::move(previous), hwinfo::kCommonV3) {
  fields.Describe(Table());
}

void HwInfo_Common_V3::ClearFields() {
  ClearDetailID();
  fields = hwinfo::AssemblyGroup{};
}
