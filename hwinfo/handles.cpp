// Handles: chain member replacement, reading and writing through the chain, the
// root and base handles. A handle without a chain reads false and writes nothing.
#include "hwinfo/handles.h"

int IHwInfo::UsedBytes() { return chain_ ? chain_->UsedBytes() : 0; }

void IHwInfo::SetChain(HwInfo* record) { chain_ = record ? record->weak_from_this().lock() : nullptr; }

bool IHwInfo::ReadChain(const void* source) { return chain_ ? chain_->Read(source) : false; }

void IHwInfo::WriteChain(void* destination) {
  if (chain_) chain_->Write(destination);
}

IHwInfoRoot::IHwInfoRoot() : IHwInfo(std::make_shared<HwInfoStart>()) {}

IHwInfoBase::IHwInfoBase(IHwInfo& previous) : IHwInfo(std::make_shared<HwInfoBase>(ChainOf(previous))) {}

bool IHwInfoBase::IsCheckSumValid() { return GetChain() ? GetChain()->IsCheckSumValid() : false; }

unsigned short IHwInfoBase::GetCommonID() { return GetChain() ? GetChain()->GetCommonID() : 0; }
