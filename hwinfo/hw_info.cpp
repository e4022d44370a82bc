// The record chain: passing-on defaults, Read and Write in their fixed order,
// and the root and base records. Operations on a chain without a root do
// nothing and never touch memory outside the root's image.
#include "hwinfo/hw_info.h"

#include <cstring>
#include <unordered_set>

#include "hwinfo/crc32.h"

using hwinfo::kImageSize;

namespace {
// Never destroyed: records held by an interpreter may die after static destructors ran.
std::unordered_set<const HwInfo*>& LiveRecords() {
  static auto* records = new std::unordered_set<const HwInfo*>;
  return *records;
}
}  // namespace

HwInfo::HwInfo(std::shared_ptr<HwInfo> previous) : previous_(std::move(previous)) { LiveRecords().insert(this); }

HwInfo::~HwInfo() { LiveRecords().erase(this); }

bool HwInfo::IsLive(const HwInfo* record) { return LiveRecords().count(record) != 0; }

std::uint8_t* HwInfo::GetData() {
  if (previous_ == nullptr) return nullptr;
  std::uint8_t* start = previous_->GetData();
  return start == nullptr ? nullptr : start + previous_->OwnSize();
}

std::uint16_t HwInfo::GetCommonID() { return previous_ ? previous_->GetCommonID() : 0; }

void HwInfo::SetCommonID(std::uint16_t id) {
  if (previous_) previous_->SetCommonID(id);
}

void HwInfo::SetDetailID(int type, int version) {
  if (previous_) previous_->SetDetailID(type, version);
}

bool HwInfo::IsDetailID(int type, int version) {
  return previous_ ? previous_->IsDetailID(type, version) : false;
}

bool HwInfo::ReadChain() {
  const bool olderOk = previous_ ? previous_->ReadChain() : true;
  return olderOk ? ReadOwn() : olderOk;
}

void HwInfo::WriteChain() {
  WriteOwn();
  if (previous_) previous_->WriteChain();
}

void HwInfo::LoadImage(const void* source) {
  if (previous_) previous_->LoadImage(source);
}

void HwInfo::StoreImage(void* destination) {
  if (previous_) previous_->StoreImage(destination);
}

std::uint32_t HwInfo::ComputeChecksum() { return previous_ ? previous_->ComputeChecksum() : 0; }

std::uint32_t HwInfo::GetStoredChecksum() { return previous_ ? previous_->GetStoredChecksum() : 0; }

void HwInfo::SetStoredChecksum(std::uint32_t value) {
  if (previous_) previous_->SetStoredChecksum(value);
}

bool HwInfo::Read(const void* source) {
  if (source != nullptr) LoadImage(source);
  if (!ReadChain()) return false;
  return IsCheckSumValid();
}

void HwInfo::Write(void* destination) {
  WriteChain();
  SetStoredChecksum(ComputeChecksum());
  WriteChain();  // once more, so the checksum reaches bytes 0..3
  StoreImage(destination);
}

bool HwInfo::IsCheckSumValid() {
  const std::uint32_t computed = ComputeChecksum();
  return computed != 0 && computed == GetStoredChecksum();
}

int HwInfo::UsedBytes() const {
  int total = 0;
  for (const HwInfo* r = this; r != nullptr; r = r->previous_.get()) total += r->OwnSize();
  return total;
}

std::uint8_t* HwInfo::OwnBytes() {
  if (UsedBytes() > static_cast<int>(kImageSize)) return nullptr;
  return GetData();
}

HwInfoStart::HwInfoStart() : HwInfo(nullptr) { image_.fill(hwinfo::kFreshImageByte); }

void HwInfoStart::LoadImage(const void* source) {
  if (source != nullptr) std::memcpy(image_.data(), source, kImageSize);
}

void HwInfoStart::StoreImage(void* destination) {
  if (destination != nullptr) std::memcpy(destination, image_.data(), kImageSize);
}

std::uint32_t HwInfoStart::ComputeChecksum() {
  return hwinfo::Crc32(image_.data() + hwinfo::kChecksumStart, kImageSize - hwinfo::kChecksumStart);
}

std::uint32_t HwInfoStart::GetStoredChecksum() {
  std::uint32_t value;
  std::memcpy(&value, image_.data() + hwinfo::kChecksumOffset, sizeof value);
  return value;
}

void HwInfoStart::SetStoredChecksum(std::uint32_t value) {
  std::memcpy(image_.data() + hwinfo::kChecksumOffset, &value, sizeof value);
}

bool TableRecord::DecodeFields() {
  const std::uint8_t* bytes = OwnBytes();
  if (bytes == nullptr) return false;
  table_.Decode(bytes);
  return true;
}

void TableRecord::EncodeFields() {
  if (std::uint8_t* bytes = OwnBytes()) table_.Encode(bytes);
}

HwInfoBase::HwInfoBase(std::shared_ptr<HwInfo> previous) : TableRecord(std::move(previous)) {
  Table().AddNumber(checksum_).AddNumber(commonId_);
}
