// The handle classes scripts hold: `IHwInfo` (the chain member m_HwInfo and
// UsedBytes), the root handle and the base-record handle. A handle owns the
// record it created; records hold their older records alive, and the chain
// member holds its record alive, so dropping handles in any order is safe.
#pragma once

#include <memory>

#include "hwinfo/hw_info.h"

class IHwInfo {
 public:
  IHwInfo() = default;  // no chain: m_HwInfo is null
  virtual ~IHwInfo() = default;
  IHwInfo(const IHwInfo&) = delete;
  IHwInfo& operator=(const IHwInfo&) = delete;

  // Bytes of the whole chain from m_HwInfo back to the root.
  int UsedBytes();

  // m_HwInfo: the newest record of this handle's chain.
  HwInfo* GetChain() const { return chain_.get(); }
  // Replaces m_HwInfo; the record is kept alive while this handle points to it,
  // and the record this handle created stays its own.
  void SetChain(HwInfo* record);

 protected:
  explicit IHwInfo(std::shared_ptr<HwInfo> created) : own_(created), chain_(std::move(created)) {}
  // The chain a new record is appended to.
  static std::shared_ptr<HwInfo> ChainOf(IHwInfo& handle) { return handle.chain_; }
  template <class Record>
  Record& Own() const {
    return static_cast<Record&>(*own_);
  }
  bool ReadChain(const void* source);
  void WriteChain(void* destination);

 private:
  std::shared_ptr<HwInfo> own_;
  std::shared_ptr<HwInfo> chain_;
};

// The root handle: creates the root record and its 512-byte image.
class IHwInfoRoot : public IHwInfo {
 public:
  IHwInfoRoot();
  bool Read(void const* source) { return ReadChain(source); }
};

// The base-record handle: checksum and common ID.
class IHwInfoBase : public IHwInfo {
 public:
  explicit IHwInfoBase(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  bool IsCheckSumValid();
  unsigned short GetCommonID();
};
