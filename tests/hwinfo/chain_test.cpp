// The record chain: the checksum, image framing, encode and decode order,
// identifiers stamped on write, failures of Read, and the lifetime of chains
// whose handles are dropped in any order.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "hwinfo/crc32.h"
#include "hwinfo/handles_common.h"
#include "hwinfo/handles_cpu.h"
#include "hwinfo/handles_detail.h"
#include "tests/hwinfo/expected_image.h"

namespace {

using hwinfo_test::ExpectedImage;
using hwinfo_test::Image;
using hwinfo_test::SameImage;

TEST(Crc32, CheckValueAndTable) {
  const std::string digits = "123456789";
  EXPECT_EQ(hwinfo::Crc32(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()), 0x2DFD2D88u);
  EXPECT_EQ(hwinfo::Crc32TableEntry(0), 0x00000000u);
  EXPECT_EQ(hwinfo::Crc32TableEntry(1), 0x77073096u);
  EXPECT_EQ(hwinfo::Crc32TableEntry(128), 0xEDB88320u);
  EXPECT_EQ(hwinfo::Crc32TableEntry(255), 0x2D02EF8Du);
  EXPECT_EQ(hwinfo::Crc32(nullptr, 0), 0u);
  const std::uint8_t zeros[508] = {};
  EXPECT_EQ(hwinfo::Crc32(zeros, sizeof zeros), 0u);  // the register starts at 0 and is not inverted
}

TEST(Crc32, AgreesWithTheBitwiseReference) {
  Image bytes;
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
  EXPECT_EQ(hwinfo::Crc32(bytes.data(), bytes.size()), hwinfo_test::ReferenceCrc(bytes.data(), bytes.size()));
}

template <class Record>
int SizeOf() {
  return std::make_shared<Record>(nullptr)->OwnSize();
}

TEST(Chain, EveryRecordKindHasItsDocumentedSize) {
  EXPECT_EQ(std::make_shared<HwInfoStart>()->OwnSize(), 0);
  EXPECT_EQ(SizeOf<HwInfoBase>(), 6);
  EXPECT_EQ(SizeOf<HwInfo_Common>(), 65);
  EXPECT_EQ(SizeOf<HwInfo_Common_V2>(), 77);
  EXPECT_EQ(SizeOf<HwInfo_Common_V3>(), 74);
  EXPECT_EQ(SizeOf<HwInfoDetail_FADC>(), 196);
  EXPECT_EQ(SizeOf<HwInfoDetail_Cpu>(), 63);
  EXPECT_EQ(SizeOf<HwInfoDetail_Cpu_V2>(), 420);
  EXPECT_EQ(SizeOf<HwInfoDetail_Cpu_V3>(), 424);
  EXPECT_EQ(SizeOf<HwInfoDetail_Cpu_V4>(), 408);
  EXPECT_EQ(SizeOf<HwInfoDetail_Netzteil>(), 88);
  EXPECT_EQ(SizeOf<HwInfoDetail_Netzteil_V2>(), 64);
  EXPECT_EQ(SizeOf<HwInfoDetail_HMI>(), 2);
  EXPECT_EQ(SizeOf<HwInfoDetail_HMI_V2>(), 2);
  EXPECT_EQ(SizeOf<HwInfoDetail_MKAIR>(), 260);
}

TEST(Chain, RecordWithoutPreviousRecordHasNoData) {
  auto record = std::make_shared<HwInfo_Common>(nullptr);
  EXPECT_EQ(record->GetData(), nullptr);
  EXPECT_EQ(record->GetCommonID(), 0);
  EXPECT_TRUE(record->IsDetailID(0, 0));  // detail ID 0 until a detail record stamps one
  EXPECT_FALSE(record->IsDetailID(2, 1));
  EXPECT_TRUE(record->ReadChain());
  EXPECT_FALSE(record->Read(nullptr));  // no image, checksum 0
  EXPECT_EQ(record->UsedBytes(), 65);
}

// root + base + common V3 + HMI V1, nothing set.
struct HmiChain {
  IHwInfoRoot root;
  IHwInfoBase base{root};
  IHwInfoTest_Common_V3 common{base};
  IHwInfoTestDetail_HMI hmi{common};
};

TEST(Chain, WriteStampsCommonAndDetailIdsAndLeavesTheRestOfTheImage) {
  HmiChain chain;
  Image out;
  out.fill(0x5A);
  chain.hmi.Write(out.data());
  ExpectedImage expected;
  expected.U16(4, 3)          // common ID 3: bytes 03 00
      .U16(6, 0x0401)         // detail ID HMI V1: bytes 01 04
      .Zero(8, 72)            // common V3 fields, never set
      .U16(80, 0)             // contrast offset
      .Seal();                // bytes 82..511 stay 0xAB and are covered by the CRC
  EXPECT_TRUE(SameImage(out.data(), expected));
  EXPECT_EQ(out[4], 0x03);
  EXPECT_EQ(out[5], 0x00);
  EXPECT_EQ(out[6], 0x01);
  EXPECT_EQ(out[7], 0x04);
  EXPECT_EQ(out[82], 0xAB);
  EXPECT_EQ(out[511], 0xAB);
}

TEST(Chain, WrittenImageReadsBackValid) {
  HmiChain writer;
  writer.hmi.SetContrastOffset(12);
  Image out;
  writer.hmi.Write(out.data());

  HmiChain reader;
  EXPECT_TRUE(reader.hmi.Read(out.data()));
  EXPECT_TRUE(reader.base.IsCheckSumValid());
  EXPECT_EQ(reader.base.GetCommonID(), 3);
  EXPECT_EQ(reader.common.GetDetailID(), 0x0401);
  EXPECT_EQ(reader.hmi.GetContrastOffset(), 12);
}

TEST(Chain, ReadWithoutSourceDecodesTheImageJustWritten) {
  HmiChain chain;
  chain.hmi.SetContrastOffset(77);
  Image out;
  chain.hmi.Write(out.data());
  chain.hmi.SetContrastOffset(1);  // storage only; the image keeps 77
  EXPECT_TRUE(chain.hmi.Read());
  EXPECT_EQ(chain.hmi.GetContrastOffset(), 77);
  EXPECT_TRUE(chain.base.Read());
}

TEST(Chain, AllZeroImageHasChecksumZeroAndIsRejected) {
  Image zeros{};
  IHwInfoRoot root;
  IHwInfoBase base(root);
  EXPECT_FALSE(base.Read(zeros.data()));
  EXPECT_EQ(base.GetCommonID(), 0);
  EXPECT_FALSE(base.IsCheckSumValid());
  EXPECT_FALSE(root.Read(zeros.data()));
}

TEST(Chain, ChecksumMismatchAnswersFalseButKeepsTheDecodedValues) {
  HmiChain writer;
  writer.hmi.SetContrastOffset(300);
  Image out;
  writer.hmi.Write(out.data());
  out[0] ^= 0x01;
  HmiChain reader;
  EXPECT_FALSE(reader.hmi.Read(out.data()));
  EXPECT_FALSE(reader.base.IsCheckSumValid());
  EXPECT_EQ(reader.hmi.GetContrastOffset(), 300);
  EXPECT_EQ(reader.base.GetCommonID(), 3);
}

TEST(Chain, DetailIdMismatchAnswersFalseAfterDecodingTheCommonRecord) {
  IHwInfoRoot root;
  IHwInfoBase base(root);
  IHwInfoTest_Common_V3 common(base);
  IHwInfoTestDetail_Cpu_V2 cpu(common);
  ASSERT_EQ(common.SetThItem("ITEM-7"), 0);
  Image out;
  cpu.Write(out.data());
  EXPECT_EQ(out[6], 0x02);
  EXPECT_EQ(out[7], 0x02);

  IHwInfoRoot root2;
  IHwInfoBase base2(root2);
  IHwInfoDev_Common_V3 common2(base2);
  IHwInfoTestDetail_Cpu_V4 cpu4(common2);
  ASSERT_EQ(cpu4.SetSerialNumber("KEEP"), 0);
  EXPECT_FALSE(cpu4.Read(out.data()));
  EXPECT_EQ(common2.GetDetailID(), 0x0203 - 1);  // Cpu V2 image: 0x0202
  EXPECT_EQ(common2.GetThItem(), "ITEM-7");
  EXPECT_EQ(cpu4.GetSerialNumber(), "KEEP");  // the detail record keeps its values
  EXPECT_TRUE(base2.IsCheckSumValid());
}

TEST(Chain, CpuV2ImageThroughCpuV4ChainIsRefused) {
  // An image carrying detail ID 0x0203 written out by hand: common V1, Cpu V3.
  ExpectedImage image;
  image.U16(4, 1).U16(6, 0x0203).Zero(8, 63).Text(8, 13, "FA-77").Seal();
  IHwInfoRoot root;
  IHwInfoBase base(root);
  IHwInfoDev_Common common(base);
  IHwInfoDevDetail_Cpu_V4 cpu(common);
  EXPECT_FALSE(cpu.Read(image.data()));
  EXPECT_EQ(common.GetDetailID(), 0x0203);
  EXPECT_EQ(common.GetFaNumber(), "FA-77");
  EXPECT_TRUE(base.IsCheckSumValid());
  EXPECT_EQ(base.GetCommonID(), 1);
}

TEST(Chain, UsedBytesSumsTheRecordsBackToTheRoot) {
  IHwInfoRoot root;
  IHwInfoBase base(root);
  IHwInfoDev_Common common(base);
  IHwInfoDevDetail_Cpu cpu(common);
  EXPECT_EQ(root.UsedBytes(), 0);
  EXPECT_EQ(base.UsedBytes(), 6);
  EXPECT_EQ(common.UsedBytes(), 71);
  EXPECT_EQ(cpu.UsedBytes(), 134);
  IHwInfo bare;
  EXPECT_EQ(bare.UsedBytes(), 0);
}

TEST(Chain, BaseRecordDecodesChecksumAndCommonIdFromTheImage) {
  ExpectedImage image;
  image.U16(4, 0x1234).Seal();
  IHwInfoRoot root;
  IHwInfoBase base(root);
  EXPECT_TRUE(base.Read(image.data()));
  EXPECT_EQ(base.GetCommonID(), 0x1234);
  EXPECT_TRUE(base.IsCheckSumValid());
  // The root alone checks the checksum stored in the image.
  IHwInfoRoot alone;
  EXPECT_TRUE(alone.Read(image.data()));
}

TEST(Chain, NewRootImageIsAllAbAndBaseStartsAtZero) {
  IHwInfoRoot root;
  IHwInfoBase base(root);
  EXPECT_EQ(base.GetCommonID(), 0);
  IHwInfoTest_Common writer(base);
  Image out{};
  // Base only: nothing of the image changes but the checksum and common ID.
  HwInfo* rootRecord = root.GetChain();
  ASSERT_NE(rootRecord, nullptr);
  rootRecord->StoreImage(out.data());
  EXPECT_TRUE(SameImage(out.data(), ExpectedImage()));
}

TEST(Chain, WriteOfABaseChainStoresChecksumAndZeroCommonId) {
  IHwInfoRoot root;
  IHwInfoBase base(root);
  Image out;
  base.GetChain()->Write(out.data());
  ExpectedImage expected;
  expected.U16(4, 0).Seal();
  EXPECT_TRUE(SameImage(out.data(), expected));
}

TEST(Chain, ImageBeyondTheRecordsKeepsTheLastLoadedContent) {
  ExpectedImage loaded(0x11);
  loaded.Seal();
  HmiChain chain;
  chain.hmi.Read(loaded.data());  // detail ID 0x1111 does not match: false
  chain.hmi.SetContrastOffset(-2);
  Image out;
  chain.hmi.Write(out.data());
  // The common record decoded the loaded bytes and writes them back unchanged.
  ExpectedImage expected(0x11);
  expected.U16(4, 3).U16(6, 0x0401).Bytes(80, {0xFE, 0xFF}).Seal();
  EXPECT_TRUE(SameImage(out.data(), expected));
}

// --- lifetime -------------------------------------------------------------

TEST(ChainLifetime, ChainBuiltFromTemporariesStaysUsable) {
  auto detail = std::make_unique<IHwInfoTestDetail_HMI>(
      *std::make_unique<IHwInfoTest_Common_V3>(*std::make_unique<IHwInfoBase>(*std::make_unique<IHwInfoRoot>())));
  // Every older handle is gone; the records live on through the chain.
  EXPECT_EQ(detail->UsedBytes(), 82);
  detail->SetContrastOffset(9);
  Image out;
  detail->Write(out.data());
  EXPECT_EQ(out[6], 0x01);
  EXPECT_EQ(out[7], 0x04);
  EXPECT_TRUE(detail->Read(out.data()));
  EXPECT_EQ(detail->GetContrastOffset(), 9);
}

TEST(ChainLifetime, DroppingHandlesInAnyOrderIsSafe) {
  const int orders[][4] = {{0, 1, 2, 3}, {3, 2, 1, 0}, {1, 3, 0, 2}, {2, 0, 3, 1}};
  for (const auto& order : orders) {
    std::unique_ptr<IHwInfo> handles[4];
    auto root = std::make_unique<IHwInfoRoot>();
    auto base = std::make_unique<IHwInfoBase>(*root);
    auto common = std::make_unique<IHwInfoTest_Common>(*base);
    auto cpu = std::make_unique<IHwInfoTestDetail_Cpu>(*common);
    IHwInfoTestDetail_Cpu* cpuHandle = cpu.get();
    IHwInfoTest_Common* commonHandle = common.get();
    handles[0] = std::move(root);
    handles[1] = std::move(base);
    handles[2] = std::move(common);
    handles[3] = std::move(cpu);
    for (int step = 0; step < 4; ++step) {
      const int drop = order[step];
      handles[drop].reset();
      if (handles[3]) {
        ASSERT_EQ(cpuHandle->SetFaNumber("F"), 0);
        Image out;
        cpuHandle->Write(out.data());
        EXPECT_TRUE(cpuHandle->Read(out.data()));
        EXPECT_EQ(cpuHandle->UsedBytes(), 134);
      }
      if (handles[2]) {
        EXPECT_EQ(commonHandle->UsedBytes(), 71);
      }
    }
  }
}

TEST(ChainLifetime, ReplacingTheChainMemberNeverDestroysForeignRecords) {
  auto root = std::make_unique<IHwInfoRoot>();
  auto base = std::make_unique<IHwInfoBase>(*root);
  IHwInfoTest_Common_V3 common(*base);
  IHwInfo other;
  EXPECT_EQ(other.GetChain(), nullptr);
  other.SetChain(common.GetChain());
  EXPECT_EQ(other.UsedBytes(), 80);
  // The base handle points at the common record; dropping everything older is safe.
  base->SetChain(common.GetChain());
  root.reset();
  base.reset();
  EXPECT_EQ(other.UsedBytes(), 80);
  EXPECT_EQ(common.UsedBytes(), 80);
  other.SetChain(nullptr);
  EXPECT_EQ(other.UsedBytes(), 0);
  Image out;
  common.Write(out.data());
  EXPECT_EQ(out[5], 0);
  EXPECT_EQ(out[4], 3);
}

TEST(ChainLifetime, HandleOnABareHandleHasNoImageAndNeverTouchesMemory) {
  IHwInfo bare;
  IHwInfoBase base(bare);
  IHwInfoTest_Common common(base);
  Image out;
  out.fill(0x77);
  common.Write(out.data());  // no root: nothing to store
  for (std::uint8_t b : out) ASSERT_EQ(b, 0x77);
  EXPECT_FALSE(common.Read(out.data()));
  EXPECT_FALSE(base.IsCheckSumValid());
  EXPECT_EQ(base.GetCommonID(), 1);  // the identifiers still reach the base record
  EXPECT_FALSE(bare.UsedBytes());
}

TEST(ChainLifetime, RecordsThatWouldPassTheImageEndAreNeitherWrittenNorRead) {
  // 6 + 77 + 424 = 507 bytes fit; a second Cpu V3 record would end at 931.
  IHwInfoRoot root;
  IHwInfoBase base(root);
  IHwInfoTest_Common_V2 common(base);
  IHwInfoTestDetail_Cpu_V3 first(common);
  IHwInfoTestDetail_Cpu_V3 second(static_cast<IHwInfo&>(first));
  EXPECT_EQ(first.UsedBytes(), 507);
  EXPECT_EQ(second.UsedBytes(), 931);
  ASSERT_EQ(second.SetSystemFrequency(0x01020304), 0);
  Image out;
  second.Write(out.data());
  EXPECT_EQ(out[507], 0xAB);  // nothing beyond the first Cpu record
  EXPECT_FALSE(second.Read(out.data()));
  EXPECT_EQ(second.GetSystemFrequency(), 0x01020304u);  // not decoded
}

TEST(ChainLifetime, NullBuffersAreIgnored) {
  HmiChain chain;
  chain.hmi.SetContrastOffset(5);
  chain.hmi.Write(nullptr);  // the image is still encoded
  EXPECT_TRUE(chain.hmi.Read(nullptr));
  EXPECT_EQ(chain.hmi.GetContrastOffset(), 5);
}

}  // namespace
