// `DetailRecord`, the frame every detail kind shares: decoding is refused unless
// the common record carries the kind's detail ID (the old values stay), and
// encoding stamps that ID into the common record after the fields.
#pragma once

#include <memory>

#include "hwinfo/hw_info.h"

class DetailRecord : public TableRecord {
 public:
  DetailRecord(std::shared_ptr<HwInfo> previous, int type, int version)
      : TableRecord(std::move(previous)), type_(type), version_(version) {}
  bool ReadOwn() override;
  void WriteOwn() override;

 protected:
  // Resets field storage before a decode (kinds that keep old values leave it empty).
  virtual void ClearFields() {}
  // Values the record stamps on every encode.
  virtual void BeforeEncode() {}

 private:
  int type_;
  int version_;
};
