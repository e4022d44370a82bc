// The HMI detail records of versions 1 and 2 (2 bytes each): the display's
// contrast offset, set as a signed 16-bit number and decoded as an unsigned one
// (a value set to -5 and written reads back as 65531).
#pragma once

#include <cstdint>
#include <memory>

#include "hwinfo/detail_record.h"

class HmiDetailRecord : public DetailRecord {
 public:
  void SetContrastOffset(std::int16_t value) { contrastOffset_ = value; }
  std::int32_t GetContrastOffset() const { return contrastOffset_; }

 protected:
  HmiDetailRecord(std::shared_ptr<HwInfo> previous, int version);
  void ClearFields() override { contrastOffset_ = 0; }

 private:
  // Wider than the image field: the two low bytes are encoded and decoded.
  std::int32_t contrastOffset_ = 0;
};

class HwInfoDetail_HMI : public HmiDetailRecord {
 public:
  explicit HwInfoDetail_HMI(std::shared_ptr<HwInfo> previous) : HmiDetailRecord(std::move(previous), 1) {}
};

class HwInfoDetail_HMI_V2 : public HmiDetailRecord {
 public:
  explicit HwInfoDetail_HMI_V2(std::shared_ptr<HwInfo> previous) : HmiDetailRecord(std::move(previous), 2) {}
};
