// The three common record versions. Each starts with the detail ID, answers the
// detail-ID operations of the chain, and stamps its version as the common ID
// after encoding. Versions 2 and 3 clear their storage before decoding.
#pragma once

#include <cstdint>
#include <memory>

#include "hwinfo/hw_info.h"
#include "hwinfo/record_groups.h"

class CommonRecord : public TableRecord {
 public:
  std::uint16_t GetDetailID() const { return detailId_; }
  void SetDetailID(int type, int version) override { detailId_ = hwinfo::DetailId(type, version); }
  bool IsDetailID(int type, int version) override { return detailId_ == hwinfo::DetailId(type, version); }
  bool ReadOwn() override;
  void WriteOwn() override;

 protected:
  CommonRecord(std::shared_ptr<HwInfo> previous, std::uint16_t version);
  virtual void ClearFields() {}
  void ClearDetailID() { detailId_ = 0; }

 private:
  std::uint16_t version_;
  std::uint16_t detailId_ = 0;
};

// Version 1 (65 bytes): order number, module name and index, reserve, date text.
class HwInfo_Common : public CommonRecord {
 public:
  explicit HwInfo_Common(std::shared_ptr<HwInfo> previous);
  hwinfo::IdentityV1Group fields;
};

// Version 2 (77 bytes): two variant slots, numeric check date.
class HwInfo_Common_V2 : public CommonRecord {
 public:
  explicit HwInfo_Common_V2(std::shared_ptr<HwInfo> previous);
  hwinfo::VariantGroup fields;

 protected:
  void ClearFields() override;
};

// Version 3 (74 bytes): through-hole and surface-mount assembly data.
class HwInfo_Common_V3 : public CommonRecord {
 public:
  explicit HwInfo_Common_V3(std::shared_ptr<HwInfo> previous);
  hwinfo::AssemblyGroup fields;

 protected:
  void ClearFields() override;
};
