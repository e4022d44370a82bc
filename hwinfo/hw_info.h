// The record chain over the 512-byte image: `HwInfo` (the abstract record with
// its virtual operations in slot order and the passing-on defaults),
// `TableRecord` (records described by a FieldTable), the root record
// `HwInfoStart` that owns the image, and the base record `HwInfoBase`.
// A record holds the record it was built on alive, so a chain never dangles, and
// a record that would not fit inside the image is never encoded or decoded.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "hwinfo/field_table.h"
#include "hwinfo/hw_info_constants.h"

class HwInfo : public std::enable_shared_from_this<HwInfo> {
 public:
  explicit HwInfo(std::shared_ptr<HwInfo> previous);
  HwInfo(const HwInfo&) = delete;
  HwInfo& operator=(const HwInfo&) = delete;

  // 1.
  virtual ~HwInfo();

  // True while `record` is a record that has not been destroyed: raw record
  // pointers that scripts hand back are checked against it.
  static bool IsLive(const HwInfo* record);
  // 2. Bytes this record occupies in the image.
  virtual int OwnSize() const = 0;
  // 3. Address of this record's first image byte; null without a root.
  virtual std::uint8_t* GetData();
  // 4 - 7: identifiers, passed toward the root until a record answers them.
  virtual std::uint16_t GetCommonID();
  virtual void SetCommonID(std::uint16_t id);
  virtual void SetDetailID(int type, int version);
  virtual bool IsDetailID(int type, int version);
  // 8 - 11: decoding (oldest first) and encoding (newest first).
  virtual bool ReadOwn() = 0;
  virtual bool ReadChain();
  virtual void WriteOwn() = 0;
  virtual void WriteChain();
  // 12 - 16: image and checksum, answered by the root (or the base record).
  virtual void LoadImage(const void* source);
  virtual void StoreImage(void* destination);
  virtual std::uint32_t ComputeChecksum();
  virtual std::uint32_t GetStoredChecksum();
  virtual void SetStoredChecksum(std::uint32_t value);

  // Loads `source` (512 bytes) unless null, decodes the chain and checks the CRC.
  bool Read(const void* source);
  // Encodes the chain with its identifiers and CRC and copies the image out.
  void Write(void* destination);
  // The computed CRC is not 0 and equals the stored one.
  bool IsCheckSumValid();

  // Sum of OwnSize from this record back to the root.
  int UsedBytes() const;

 protected:
  // This record's image bytes when the whole record lies inside the image, else null.
  std::uint8_t* OwnBytes();

 private:
  std::shared_ptr<HwInfo> previous_;
};

// A record whose layout is its FieldTable: size = table size; encoding and
// decoding happen only when the whole record lies inside the image.
class TableRecord : public HwInfo {
 public:
  using HwInfo::HwInfo;
  int OwnSize() const override { return static_cast<int>(table_.Size()); }

 protected:
  hwinfo::FieldTable& Table() { return table_; }
  // False (and nothing decoded) when the record lies outside the image.
  bool DecodeFields();
  void EncodeFields();

 private:
  hwinfo::FieldTable table_;
};

// The root record: owns the image, all 0xAB at creation.
class HwInfoStart : public HwInfo {
 public:
  HwInfoStart();
  int OwnSize() const override { return 0; }
  std::uint8_t* GetData() override { return image_.data(); }
  std::uint16_t GetCommonID() override { return 0; }
  void SetCommonID(std::uint16_t) override {}
  void SetDetailID(int, int) override {}
  bool IsDetailID(int, int) override { return false; }
  bool ReadOwn() override { return true; }
  bool ReadChain() override { return true; }
  void WriteOwn() override {}
  void WriteChain() override {}
  void LoadImage(const void* source) override;
  void StoreImage(void* destination) override;
  std::uint32_t ComputeChecksum() override;
  std::uint32_t GetStoredChecksum() override;
  void SetStoredChecksum(std::uint32_t value) override;

 private:
  std::array<std::uint8_t, hwinfo::kImageSize> image_;
};

// The base record: checksum (offset 0) and common ID (offset 4).
class HwInfoBase : public TableRecord {
 public:
  explicit HwInfoBase(std::shared_ptr<HwInfo> previous);
  std::uint16_t GetCommonID() override { return commonId_; }
  void SetCommonID(std::uint16_t id) override { commonId_ = id; }
  std::uint32_t GetStoredChecksum() override { return checksum_; }
  void SetStoredChecksum(std::uint32_t value) override { checksum_ = value; }
  bool ReadOwn() override {
    DecodeFields();
    return true;
  }
  void WriteOwn() override { EncodeFields(); }

 private:
  std::uint32_t checksum_ = 0;
  std::uint16_t commonId_ = 0;
};
