// FADC and MKAIR: tables (entry e = 4 * i + j, then the words) and the
// index-checked calibration accessors.
#include "hwinfo/detail_analog.h"

#include "hwinfo/fields.h"

namespace {

// Entry of (i, j) in a rows x columns table, or -1 when either index is outside.
int Entry(int i, int j, int rows, int columns) {
  if (i < 0 || i >= rows || j < 0 || j >= columns) return -1;
  return i * columns + j;
}

}  // namespace

HwInfoDetail_FADC::HwInfoDetail_FADC(std::shared_ptr<HwInfo> previous)
    : DetailRecord(std::move(previous), hwinfo::kTypeFadc, 1) {
  Table().Add(sizeof calib_, calib_).AddNumber(markWord_).AddNumber(freeWord_);
}

int HwInfoDetail_FADC::GetCalibData(int i, int j, float& a, float& b, float& c) const {
  const int e = Entry(i, j, hwinfo::kFadcRows, hwinfo::kFadcColumns);
  if (e < 0) return hwinfo::kRefused;
  a = calib_[e][0];
  b = calib_[e][1];
  c = calib_[e][2];
  return hwinfo::kAccepted;
}

int HwInfoDetail_FADC::SetCalibData(int i, int j, float a, float b, float c) {
  const int e = Entry(i, j, hwinfo::kFadcRows, hwinfo::kFadcColumns);
  if (e < 0) return hwinfo::kRefused;
  calib_[e][0] = a;
  calib_[e][1] = b;
  calib_[e][2] = c;
  return hwinfo::kAccepted;
}

HwInfoDetail_MKAIR::HwInfoDetail_MKAIR(std::shared_ptr<HwInfo> previous)
    : DetailRecord(std::move(previous), hwinfo::kTypeMkair, 1) {
  Table().Add(sizeof calib_, calib_).AddNumber(freeWords_[0]).AddNumber(freeWords_[1]);
}

int HwInfoDetail_MKAIR::GetCalibData(int i, int j, float& a, float& b) const {
  const int e = Entry(i, j, hwinfo::kMkairRows, hwinfo::kMkairColumns);
  if (e < 0) return hwinfo::kRefused;
  a = calib_[e][0];
  b = calib_[e][1];
  return hwinfo::kAccepted;
}

int HwInfoDetail_MKAIR::SetCalibData(int i, int j, float a, float b) {
  const int e = Entry(i, j, hwinfo::kMkairRows, hwinfo::kMkairColumns);
  if (e < 0) return hwinfo::kRefused;
  calib_[e][0] = a;
  calib_[e][1] = b;
  return hwinfo::kAccepted;
}
