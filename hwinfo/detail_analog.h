// The analogue front-end detail records with their calibration tables: FADC
// (4 x 4 triples of floats, the word 0x5259 stamped on every encode, a free word)
// and MKAIR (8 x 4 pairs of floats, two free words). Neither clears its storage
// before decoding; out-of-range indexes answer -1 and change nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "hwinfo/detail_record.h"
#include "hwinfo/hw_info_constants.h"

// FADC (196 bytes).
class HwInfoDetail_FADC : public DetailRecord {
 public:
  explicit HwInfoDetail_FADC(std::shared_ptr<HwInfo> previous);
  int GetCalibData(int i, int j, float& a, float& b, float& c) const;
  int SetCalibData(int i, int j, float a, float b, float c);

 protected:
  void BeforeEncode() override { markWord_ = hwinfo::kFadcMarkWord; }

 private:
  float calib_[hwinfo::kFadcRows * hwinfo::kFadcColumns][hwinfo::kFadcValues] = {};
  std::uint16_t markWord_ = 0;
  std::uint16_t freeWord_ = 0;
};

// MKAIR (260 bytes).
class HwInfoDetail_MKAIR : public DetailRecord {
 public:
  explicit HwInfoDetail_MKAIR(std::shared_ptr<HwInfo> previous);
  int GetCalibData(int i, int j, float& a, float& b) const;
  int SetCalibData(int i, int j, float a, float b);

 private:
  float calib_[hwinfo::kMkairRows * hwinfo::kMkairColumns][hwinfo::kMkairValues] = {};
  std::uint16_t freeWords_[2] = {};
};
