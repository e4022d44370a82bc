// HMI detail records: one two-byte entry over the low bytes of the stored value.
#include "hwinfo/detail_hmi.h"

namespace {
constexpr std::size_t kContrastOffsetBytes = 2;
}

HmiDetailRecord::HmiDetailRecord(std::shared_ptr<HwInfo> previous, int version)
    : DetailRecord(std::move(previous), hwinfo::kTypeHmi, version) {
  Table().Add(kContrastOffsetBytes, &contrastOffset_);
}
