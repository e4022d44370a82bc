// The detail record frame: ID check, clear, decode on read; stamp, encode and
// set the detail ID on write.
#include "hwinfo/detail_record.h"

bool DetailRecord::ReadOwn() {
  if (!IsDetailID(type_, version_) || OwnBytes() == nullptr) return false;
  ClearFields();
  return DecodeFields();
}

void DetailRecord::WriteOwn() {
  BeforeEncode();
  EncodeFields();
  SetDetailID(type_, version_);
}
