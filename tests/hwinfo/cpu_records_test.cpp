// CPU detail records of versions 1 to 4: exact bytes of every field and group,
// round trips through fresh reading-side chains, module selectors, variant keys,
// MAC addresses and the delivery item rules.
#include <gtest/gtest.h>

#include <string>

#include "hwinfo/handles_cpu.h"
#include "tests/hwinfo/chain_fixture.h"

namespace {

using hwinfo_test::ExpectedImage;
using hwinfo_test::FullChain;
using hwinfo_test::Image;
using hwinfo_test::SameImage;

// --- version 1 (after common V1: image offset 71) -------------------------------

using CpuV1Writer = FullChain<IHwInfoTest_Common, IHwInfoTestDetail_Cpu>;
using CpuV1Reader = FullChain<IHwInfoDev_Common, IHwInfoDevDetail_Cpu>;

void FillCpuV1(IHwInfoTestDetail_Cpu& d) {
  ASSERT_EQ(d.SetFaNumber("CPU-FA-00001"), 0);
  ASSERT_EQ(d.SetModuleName("CPU-MODULE-NAME-0020"), 0);
  ASSERT_EQ(d.SetModuleIndex("C"), 0);
  ASSERT_EQ(d.SetModuleSubIndex(3), 0);
  ASSERT_EQ(d.SetReserve(0x01020304), 0);
  ASSERT_EQ(d.SetCheckDate("2023-01-31"), 0);
  ASSERT_EQ(d.SetHwComponentName("CPUHW1"), 0);
  ASSERT_EQ(d.SetHwComponentRevision(7), 0);
}

TEST(CpuV1, GoldenBytes) {
  CpuV1Writer chain;
  FillCpuV1(chain.detail);
  const Image out = chain.Write();
  ExpectedImage expected;
  expected.U16(4, 1)
      .U16(6, 0x0201)
      .Zero(8, 63)  // common V1 fields, never set
      .Text(71, 13, "CPU-FA-00001")
      .Text(84, 21, "CPU-MODULE-NAME-0020")
      .Text(105, 2, "C")
      .U8(107, 3)
      .Bytes(108, {0x04, 0x03, 0x02, 0x01})
      .Text(112, 12, "2023-01-31")
      .Text(124, 8, "CPUHW1")
      .Bytes(132, {7, 0})
      .Seal();
  EXPECT_TRUE(SameImage(out.data(), expected));
}

TEST(CpuV1, RoundTripAndLimits) {
  CpuV1Writer writer;
  FillCpuV1(writer.detail);
  EXPECT_EQ(writer.detail.SetFaNumber("CPU-FA-000012"), -1);
  EXPECT_EQ(writer.detail.SetModuleSubIndex(256), -1);
  EXPECT_EQ(writer.detail.SetHwComponentName("CPUHW123"), -1);
  const Image out = writer.Write();
  CpuV1Reader reader;
  ASSERT_TRUE(reader.detail.Read(out.data()));
  EXPECT_EQ(reader.common.GetDetailID(), 0x0201);
  EXPECT_EQ(reader.detail.GetFaNumber(), "CPU-FA-00001");
  EXPECT_EQ(reader.detail.GetModuleName(), "CPU-MODULE-NAME-0020");
  EXPECT_EQ(reader.detail.GetModuleIndex(), "C");
  EXPECT_EQ(reader.detail.GetModuleSubIndex(), 3);
  EXPECT_EQ(reader.detail.GetReserve(), 0x01020304ul);
  EXPECT_EQ(reader.detail.GetCheckDate(), "2023-01-31");
  EXPECT_EQ(reader.detail.GetHwComponentName(), "CPUHW1");
  EXPECT_EQ(reader.detail.GetHwComponentRevision(), 7);
}

// --- versions 2 and 3 (after common V3: image offset 80) -----------------------

const char* const kV2Modules[] = {"UART-2", "UART-3", "Flash", "Ethernet", "Profibus"};

std::string Numbered(const char* stem, int g) { return stem + std::to_string(g); }

template <class Writer>
void FillCpuV2(Writer& d) {
  ASSERT_EQ(d.SetFaNumber("Device", "0+", "DEVICE-FA-12"), 0);
  ASSERT_EQ(d.SetModuleName("Device", "0+", "DEVICE-WHOLE-NAME-20"), 0);
  ASSERT_EQ(d.SetCheckDate("Device", "240229:2359"), 0);
  ASSERT_EQ(d.SetHwComponentName("Device", "DEV-HW"), 0);
  ASSERT_EQ(d.SetHwComponentRevision("Device", 0x1234), 0);
  for (int g = 1; g <= 5; ++g) {
    const char* m = kV2Modules[g - 1];
    ASSERT_EQ(d.SetFaNumber(m, "0+", Numbered("FA-S0-G", g).c_str()), 0);
    ASSERT_EQ(d.SetModuleName(m, "0+", Numbered("0+NAME-S0-G", g).c_str()), 0);
    ASSERT_EQ(d.SetModuleSubIndex(m, "0+", 10 + g), 0);
    ASSERT_EQ(d.SetFaNumber(m, "0<", Numbered("FA-S1-G", g).c_str()), 0);
    ASSERT_EQ(d.SetModuleName(m, "0<", Numbered("0<NAME-S1-G", g).c_str()), 0);
    ASSERT_EQ(d.SetModuleSubIndex(m, "0<", 20 + g), 0);
    ASSERT_EQ(d.SetCheckDate(m, ("2301" + std::to_string(10 + g) + ":12" + std::to_string(30 + g)).c_str()), 0);
    ASSERT_EQ(d.SetHwComponentName(m, Numbered("HW-G", g).c_str()), 0);
    ASSERT_EQ(d.SetHwComponentRevision(m, 100 * g), 0);
  }
}

// The bytes of versions 2 and 3 up to the end of the module groups (offset 500).
ExpectedImage CpuV2Bytes(std::uint16_t detailId) {
  ExpectedImage e;
  e.U16(4, 3).U16(6, detailId).Zero(8, 72);
  e.Text(80, 12, "DEVICE-FA-12")
      .Text(92, 20, "DEVICE-WHOLE-NAME-20")
      .Bytes(112, {24, 2, 29, 23, 59})
      .Text(117, 6, "DEV-HW")
      .Bytes(123, {0x34, 0x12});
  for (int g = 1; g <= 5; ++g) {
    const std::size_t at = 125 + 75 * (g - 1);
    e.Text(at, 12, Numbered("FA-S0-G", g))
        .Text(at + 12, 18, Numbered("NAME-S0-G", g))
        .U8(at + 30, 10 + g)
        .Text(at + 31, 12, Numbered("FA-S1-G", g))
        .Text(at + 43, 18, Numbered("NAME-S1-G", g))
        .U8(at + 61, 20 + g)
        .Bytes(at + 62, {23, 1, static_cast<std::uint8_t>(10 + g), 12, static_cast<std::uint8_t>(30 + g)})
        .Text(at + 67, 6, Numbered("HW-G", g))
        .U16(at + 73, 100 * g);
  }
  return e;
}

template <class Reader>
void ExpectCpuV2Values(Reader& d) {
  EXPECT_EQ(d.GetFaNumber("Device", "0+"), "DEVICE-FA-12");
  EXPECT_EQ(d.GetModuleName("Device", "0+"), "DEVICE-WHOLE-NAME-20");
  EXPECT_EQ(d.GetModuleName("Device", "Dev"), "DEVICE-WHOLE-NAME-20");  // the device group keeps the whole name
  EXPECT_EQ(d.GetCheckDate("Device"), "240229:2359");
  EXPECT_EQ(d.GetHwComponentName("Device"), "DEV-HW");
  EXPECT_EQ(d.GetHwComponentRevision("Device"), 0x1234);
  for (int g = 1; g <= 5; ++g) {
    const char* m = kV2Modules[g - 1];
    EXPECT_EQ(d.GetFaNumber(m, "0+"), Numbered("FA-S0-G", g));
    EXPECT_EQ(d.GetModuleName(m, "0+"), Numbered("0+NAME-S0-G", g));
    EXPECT_EQ(d.GetModuleName(m, "Dev"), Numbered("DeNAME-S0-G", g));
    EXPECT_EQ(d.GetModuleSubIndex(m, "0+"), 10 + g);
    EXPECT_EQ(d.GetFaNumber(m, "0<"), Numbered("FA-S1-G", g));
    EXPECT_EQ(d.GetModuleName(m, "0<"), Numbered("0<NAME-S1-G", g));
    EXPECT_EQ(d.GetModuleSubIndex(m, "0<"), 20 + g);
    EXPECT_EQ(d.GetCheckDate(m), "2301" + std::to_string(10 + g) + ":12" + std::to_string(30 + g));
    EXPECT_EQ(d.GetHwComponentName(m), Numbered("HW-G", g));
    EXPECT_EQ(d.GetHwComponentRevision(m), 100 * g);
  }
}

using CpuV2Writer = FullChain<IHwInfoTest_Common_V3, IHwInfoTestDetail_Cpu_V2>;
using CpuV2Reader = FullChain<IHwInfoDev_Common_V3, IHwInfoDevDetail_Cpu_V2>;
using CpuV3Writer = FullChain<IHwInfoTest_Common_V3, IHwInfoTestDetail_Cpu_V3>;
using CpuV3Reader = FullChain<IHwInfoDev_Common_V3, IHwInfoDevDetail_Cpu_V3>;

TEST(CpuV2, GoldenBytes) {
  CpuV2Writer chain;
  FillCpuV2(chain.detail);
  const Image out = chain.Write();
  EXPECT_TRUE(SameImage(out.data(), CpuV2Bytes(0x0202).Seal()));  // 500..511 stay 0xAB
}

TEST(CpuV2, RoundTrip) {
  CpuV2Writer writer;
  FillCpuV2(writer.detail);
  const Image out = writer.Write();
  CpuV2Reader reader;
  ASSERT_TRUE(reader.detail.Read(out.data()));
  ExpectCpuV2Values(reader.detail);
}

TEST(CpuV2, UnknownSelectorAddressesTheDeviceGroup) {
  CpuV2Writer chain;
  IHwInfoTestDetail_Cpu_V2& d = chain.detail;
  ASSERT_EQ(d.SetHwComponentName("device", "LOWER"), 0);  // compared case-sensitively
  EXPECT_EQ(d.GetHwComponentName("Device"), "LOWER");
  EXPECT_EQ(d.GetHwComponentName("UART-2"), "");
  ASSERT_EQ(d.SetFaNumber("CAN", "0+", "ANY"), 0);
  EXPECT_EQ(d.GetFaNumber("Device", "0+"), "ANY");
  EXPECT_EQ(d.GetFaNumber("", "0+"), "ANY");
}

TEST(CpuV2, DeviceGroupSecondSlotAndSubIndexLiveInStorageOnly) {
  CpuV2Writer writer;
  IHwInfoTestDetail_Cpu_V2& d = writer.detail;
  ASSERT_EQ(d.SetFaNumber("Device", "0<", "SLOT-ONE"), 0);
  ASSERT_EQ(d.SetModuleName("Device", "0<", "SECOND-DEVICE-NAME"), 0);
  ASSERT_EQ(d.SetModuleSubIndex("Device", "0+", 9), 0);
  EXPECT_EQ(d.GetFaNumber("Device", "0<"), "SLOT-ONE");
  EXPECT_EQ(d.GetModuleName("Device", "0<"), "SECOND-DEVICE-NAME");
  EXPECT_EQ(d.GetModuleSubIndex("Device", "0+"), 9);
  const Image out = writer.Write();
  ExpectedImage expected;
  expected.U16(4, 3).U16(6, 0x0202).Zero(8, 72).Zero(80, 420).Seal();
  EXPECT_TRUE(SameImage(out.data(), expected));
  CpuV2Reader reader;
  ASSERT_TRUE(reader.detail.Read(out.data()));
  EXPECT_EQ(reader.detail.GetFaNumber("Device", "0<"), "");
  EXPECT_EQ(reader.detail.GetModuleSubIndex("Device", "0+"), 0);
}

TEST(CpuV2, NullSelectorsAndKeysAndLimits) {
  CpuV2Writer chain;
  IHwInfoTestDetail_Cpu_V2& d = chain.detail;
  FillCpuV2(d);
  EXPECT_EQ(d.SetFaNumber(nullptr, "0+", "X"), -1);
  EXPECT_EQ(d.SetFaNumber("Flash", nullptr, "X"), -1);
  EXPECT_EQ(d.SetFaNumber("Flash", "0+", nullptr), -1);
  EXPECT_EQ(d.SetModuleName(nullptr, "0+", "X"), -1);
  EXPECT_EQ(d.SetModuleSubIndex("Flash", nullptr, 1), -1);
  EXPECT_EQ(d.SetCheckDate(nullptr, "240229:2359"), -1);
  EXPECT_EQ(d.SetHwComponentName(nullptr, "X"), -1);
  EXPECT_EQ(d.SetHwComponentRevision(nullptr, 1), -1);
  EXPECT_EQ(d.GetFaNumber(nullptr, "0+"), "");
  EXPECT_EQ(d.GetModuleName("Flash", nullptr), "");
  EXPECT_EQ(d.GetModuleSubIndex(nullptr, "0+"), 0);
  EXPECT_EQ(d.GetCheckDate(nullptr), "");
  EXPECT_EQ(d.GetHwComponentName(nullptr), "");
  EXPECT_EQ(d.GetHwComponentRevision(nullptr), 0);
  EXPECT_EQ(d.SetFaNumber("Flash", "0+", "FA-345678901X"), -1);
  EXPECT_EQ(d.SetModuleName("Flash", "0+", "0+NAME-WITH-21-CHARS!"), -1);
  EXPECT_EQ(d.SetModuleName("Device", "0+", "DEVICE-NAME-21-CHARS!"), -1);
  EXPECT_EQ(d.SetModuleSubIndex("Flash", "0<", 256), -1);
  EXPECT_EQ(d.SetCheckDate("Flash", "230113:12333"), -1);
  EXPECT_EQ(d.SetHwComponentName("Flash", "HW-G3XY"), -1);
  ExpectCpuV2Values(d);  // nothing changed
}

TEST(CpuV3, GoldenBytes) {
  CpuV3Writer chain;
  FillCpuV2(chain.detail);
  ASSERT_EQ(chain.detail.SetSystemFrequency(0xCAFEF00D), 0);
  const Image out = chain.Write();
  ExpectedImage expected = CpuV2Bytes(0x0203);
  expected.Bytes(500, {0x0D, 0xF0, 0xFE, 0xCA}).Seal();  // 504..511 stay 0xAB
  EXPECT_TRUE(SameImage(out.data(), expected));
}

TEST(CpuV3, RoundTrip) {
  CpuV3Writer writer;
  FillCpuV2(writer.detail);
  ASSERT_EQ(writer.detail.SetSystemFrequency(0xCAFEF00D), 0);
  const Image out = writer.Write();
  CpuV3Reader reader;
  ASSERT_TRUE(reader.detail.Read(out.data()));
  ExpectCpuV2Values(reader.detail);
  EXPECT_EQ(reader.detail.GetSystemFrequency(), 0xCAFEF00Dul);
  // A Cpu V2 reader refuses the V3 image.
  CpuV2Reader v2;
  EXPECT_FALSE(v2.detail.Read(out.data()));
}

// --- version 4 (after common V3: image offset 80) -------------------------------

using CpuV4Writer = FullChain<IHwInfoTest_Common_V3, IHwInfoTestDetail_Cpu_V4>;
using CpuV4Reader = FullChain<IHwInfoDev_Common_V3, IHwInfoDevDetail_Cpu_V4>;

void FillCpuV4(IHwInfoTestDetail_Cpu_V4& d) {
  ASSERT_EQ(d.SetSerialNumber("SN123456"), 0);                    // 8
  ASSERT_EQ(d.SetDeliveryItem("DELIVERY-ITEM15+Z9"), 0);          // 15 + ID
  ASSERT_EQ(d.SetDeliveryRevision("R07"), 0);
  ASSERT_EQ(d.SetMacId("00-1a-2B-3c-4D-ff"), 0);
  ASSERT_EQ(d.SetMacId2("10-20-30-40-50-60"), 0);
  ASSERT_EQ(d.SetSystemFrequency(100000000), 0);
  ASSERT_EQ(d.SetCheckDate("31-12-99"), 0);
  for (int g = 0; g < 5; ++g) {
    const char* m = kV2Modules[g];
    ASSERT_EQ(d.SetThWorkorder(m, Numbered("THWO-", g).c_str()), 0);
    ASSERT_EQ(d.SetThItem(m, Numbered("TH-ITEM-GROUP-", g).c_str()), 0);  // 15
    ASSERT_EQ(d.SetThRevision(m, Numbered("T", g).c_str()), 0);
    ASSERT_EQ(d.SetSmtSerialNumber(m, Numbered("SMT-SERIAL-", g).c_str()), 0);
    ASSERT_EQ(d.SetSmtItem(m, Numbered("SMT-ITEM-", g).c_str()), 0);
    ASSERT_EQ(d.SetSmtRevision(m, Numbered("SR", g).c_str()), 0);
    ASSERT_EQ(d.SetCheckDate(m, ("0" + std::to_string(g + 1) + "-02-23").c_str()), 0);
    ASSERT_EQ(d.SetHwComponentName(m, Numbered("HWCOMP-", g).c_str()), 0);
    ASSERT_EQ(d.SetHwComponentRevision(m, 0x0A00 + g), 0);
  }
}

TEST(CpuV4, GoldenBytes) {
  CpuV4Writer chain;
  FillCpuV4(chain.detail);
  const Image out = chain.Write();
  ExpectedImage e;
  e.U16(4, 3).U16(6, 0x0204).Zero(8, 72);
  e.Text(80, 8, "SN123456")
      .Text(88, 15, "DELIVERY-ITEM15")
      .Text(103, 3, "R07")
      .Bytes(106, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFF})
      .Bytes(112, {0x00, 0xE1, 0xF5, 0x05})  // 100000000
      .Bytes(116, {31, 12, 99});
  for (int g = 0; g < 5; ++g) {
    const std::size_t at = 119 + 72 * g;
    e.Text(at, 11, Numbered("THWO-", g))
        .Text(at + 11, 15, Numbered("TH-ITEM-GROUP-", g))
        .Text(at + 26, 3, Numbered("T", g))
        .Text(at + 29, 12, Numbered("SMT-SERIAL-", g))
        .Text(at + 41, 15, Numbered("SMT-ITEM-", g))
        .Text(at + 56, 3, Numbered("SR", g))
        .Bytes(at + 59, {static_cast<std::uint8_t>(g + 1), 2, 23})
        .Text(at + 62, 8, Numbered("HWCOMP-", g))
        .Bytes(at + 70, {static_cast<std::uint8_t>(g), 0x0A});
  }
  e.U8(479, 2)  // the subversion every Cpu V4 image carries
      .Text(480, 2, "Z9")
      .Bytes(482, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60})
      .Seal();  // 488..511 stay 0xAB
  EXPECT_TRUE(SameImage(out.data(), e));
}

TEST(CpuV4, RoundTrip) {
  CpuV4Writer writer;
  FillCpuV4(writer.detail);
  const Image out = writer.Write();
  CpuV4Reader reader;
  ASSERT_TRUE(reader.detail.Read(out.data()));
  IHwInfoDevDetail_Cpu_V4& d = reader.detail;
  EXPECT_EQ(d.GetSerialNumber(), "SN123456");
  EXPECT_EQ(d.GetDeliveryItem(), "DELIVERY-ITEM15");
  EXPECT_EQ(d.GetDeliveryRevision(), "R07");
  EXPECT_EQ(d.GetMacId(), "00-1A-2B-3C-4D-FF");
  EXPECT_EQ(d.GetMacId2(), "10-20-30-40-50-60");
  EXPECT_EQ((*d.GetMacIdValue())[5], 0xFF);
  EXPECT_EQ((*d.GetMacId2Value())[0], 0x10);
  EXPECT_EQ(d.GetSystemFrequency(), 100000000ul);
  EXPECT_EQ(d.GetCheckDate(), "31-12-99");
  EXPECT_EQ(d.GetDeliveryFwOrderId(), "Z9");
  EXPECT_EQ(d.GetCpuDetailSubversionId(), 2);
  EXPECT_EQ(d.GetDeliveryItemExtended(), "DELIVERY-ITEM15+Z9");
  for (int g = 0; g < 5; ++g) {
    const char* m = kV2Modules[g];
    EXPECT_EQ(d.GetThWorkorder(m), Numbered("THWO-", g));
    EXPECT_EQ(d.GetThItem(m), Numbered("TH-ITEM-GROUP-", g));
    EXPECT_EQ(d.GetThRevision(m), Numbered("T", g));
    EXPECT_EQ(d.GetSmtSerialNumber(m), Numbered("SMT-SERIAL-", g));
    EXPECT_EQ(d.GetSmtItem(m), Numbered("SMT-ITEM-", g));
    EXPECT_EQ(d.GetSmtRevision(m), Numbered("SR", g));
    EXPECT_EQ(d.GetCheckDate(m), "0" + std::to_string(g + 1) + "-02-23");
    EXPECT_EQ(d.GetHwComponentName(m), Numbered("HWCOMP-", g));
    EXPECT_EQ(d.GetHwComponentRevision(m), 0x0A00 + g);
  }
}

TEST(CpuV4, SubversionIsWrittenAsTwoSoTheExtendedItemShowsTheOrderId) {
  CpuV4Writer writer;
  ASSERT_EQ(writer.detail.SetDeliveryItem("ITEM+A1"), 0);
  EXPECT_EQ(writer.detail.GetCpuDetailSubversionId(), 0);
  EXPECT_EQ(writer.detail.GetDeliveryItemExtended(), "ITEM");  // not yet written
  const Image out = writer.Write();
  EXPECT_EQ(out[479], 2);
  EXPECT_EQ(writer.detail.GetDeliveryItemExtended(), "ITEM+A1");
  CpuV4Reader reader;
  ASSERT_TRUE(reader.detail.Read(out.data()));
  EXPECT_EQ(reader.detail.GetCpuDetailSubversionId(), 2);
  EXPECT_EQ(reader.detail.GetDeliveryItemExtended(), "ITEM+A1");
}

TEST(CpuV4, DeliveryItemRules) {
  CpuV4Writer chain;
  IHwInfoTestDetail_Cpu_V4& d = chain.detail;
  EXPECT_EQ(d.SetDeliveryItem("ABCDEFGHIJKLMNO+X7"), 0);
  EXPECT_EQ(d.GetDeliveryItem(), "ABCDEFGHIJKLMNO");
  EXPECT_EQ(d.GetDeliveryFwOrderId(), "X7");
  // A valid ID of three characters: refused, the item is stored, the ID kept.
  EXPECT_EQ(d.SetDeliveryItem("NEXT-ITEM+ABC"), -1);
  EXPECT_EQ(d.GetDeliveryItem(), "NEXT-ITEM");
  EXPECT_EQ(d.GetDeliveryFwOrderId(), "X7");
  // A lower-case letter: refused and the ID cleared.
  EXPECT_EQ(d.SetDeliveryItem("LOWER+a1"), -1);
  EXPECT_EQ(d.GetDeliveryItem(), "LOWER");
  EXPECT_EQ(d.GetDeliveryFwOrderId(), "");
  // Nothing after "+": refused and cleared.
  ASSERT_EQ(d.SetDeliveryItem("ITEM+Q"), 0);
  EXPECT_EQ(d.SetDeliveryItem("EMPTY+"), -1);
  EXPECT_EQ(d.GetDeliveryItem(), "EMPTY");
  EXPECT_EQ(d.GetDeliveryFwOrderId(), "");
  // A second "+" belongs to the ID and is not an ID character.
  ASSERT_EQ(d.SetDeliveryItem("ITEM+Q"), 0);
  EXPECT_EQ(d.SetDeliveryItem("A+B+C"), -1);
  EXPECT_EQ(d.GetDeliveryItem(), "A");
  EXPECT_EQ(d.GetDeliveryFwOrderId(), "");
  // Without "+": the whole text is the item and the ID is cleared.
  ASSERT_EQ(d.SetDeliveryItem("ITEM+Q"), 0);
  EXPECT_EQ(d.SetDeliveryItem("PLAIN"), 0);
  EXPECT_EQ(d.GetDeliveryItem(), "PLAIN");
  EXPECT_EQ(d.GetDeliveryFwOrderId(), "");
  // An item of 16 characters is refused and kept; the ID part still applies.
  EXPECT_EQ(d.SetDeliveryItem("SIXTEEN-CHARS-16+K"), -1);
  EXPECT_EQ(d.GetDeliveryItem(), "PLAIN");
  EXPECT_EQ(d.GetDeliveryFwOrderId(), "K");
  EXPECT_EQ(d.SetDeliveryItem(nullptr), -1);
  EXPECT_EQ(d.GetDeliveryItem(), "PLAIN");
  EXPECT_EQ(d.SetDeliveryItem("+77"), 0);
  EXPECT_EQ(d.GetDeliveryItem(), "");
  EXPECT_EQ(d.GetDeliveryFwOrderId(), "77");
}

TEST(CpuV4, DecodedOrderIdAndSubversionAreJudgedWhenRead) {
  auto image = [](std::uint8_t subversion, std::uint8_t id0, std::uint8_t id1) {
    ExpectedImage e;
    e.U16(4, 3).U16(6, 0x0204).Zero(8, 72).Zero(80, 408).Text(88, 15, "ITEM");
    e.U8(479, subversion).Bytes(480, {id0, id1});
    return e.Seal();
  };
  CpuV4Reader r;
  ASSERT_TRUE(r.detail.Read(image(1, 'B', '2').data()));
  EXPECT_EQ(r.detail.GetCpuDetailSubversionId(), 1);
  EXPECT_EQ(r.detail.GetDeliveryItemExtended(), "ITEM+B2");
  ASSERT_TRUE(r.detail.Read(image(0, 'B', '2').data()));
  EXPECT_EQ(r.detail.GetDeliveryItemExtended(), "ITEM");
  ASSERT_TRUE(r.detail.Read(image(3, 'B', '2').data()));
  EXPECT_EQ(r.detail.GetCpuDetailSubversionId(), 0);
  EXPECT_EQ(r.detail.GetDeliveryItemExtended(), "ITEM");
  ASSERT_TRUE(r.detail.Read(image(2, 'b', '2').data()));
  EXPECT_EQ(r.detail.GetDeliveryFwOrderId(), "");
  EXPECT_EQ(r.detail.GetDeliveryItemExtended(), "ITEM");
  ASSERT_TRUE(r.detail.Read(image(2, '9', 0xAB).data()));  // only the first character is judged
  EXPECT_EQ(r.detail.GetDeliveryFwOrderId(), "9\xAB");
}

TEST(CpuV4, MacAddressTexts) {
  CpuV4Writer chain;
  IHwInfoTestDetail_Cpu_V4& d = chain.detail;
  ASSERT_EQ(d.SetMacId("0a-1B-2c-3D-4e-5F"), 0);
  EXPECT_EQ(d.GetMacId(), "0A-1B-2C-3D-4E-5F");
  ASSERT_EQ(d.SetMacId("1-2"), 0);  // numbers not supplied are 0
  EXPECT_EQ(d.GetMacId(), "01-02-00-00-00-00");
  ASSERT_EQ(d.SetMacId("1ff-0x10-7"), 0);  // low 8 bits; a 0x prefix is allowed
  EXPECT_EQ(d.GetMacId(), "FF-10-07-00-00-00");
  ASSERT_EQ(d.SetMacId("zz"), 0);
  EXPECT_EQ(d.GetMacId(), "00-00-00-00-00-00");
  ASSERT_EQ(d.SetMacId("AA-BB-CC-DD-EE-FF"), 0);
  EXPECT_EQ(d.SetMacId("000AA-BB-CC-DD-EE-FF-001"), -1);  // 24 characters
  EXPECT_EQ(d.SetMacId(nullptr), -1);
  EXPECT_EQ(d.GetMacId(), "AA-BB-CC-DD-EE-FF");
  EXPECT_EQ(d.SetMacId("00AA-BB-CC-DD-EE-FF-001"), 0);  // 23 characters
  EXPECT_EQ(d.GetMacId(), "AA-BB-CC-DD-EE-FF");
  ASSERT_EQ(d.SetMacId(""), 0);
  EXPECT_EQ(d.GetMacId(), "00-00-00-00-00-00");
  ASSERT_EQ(d.SetMacId2("de-ad-be-ef-00-01"), 0);
  EXPECT_EQ(d.GetMacId2(), "DE-AD-BE-EF-00-01");
  t_mac value = d.GetMacId2Value();
  EXPECT_EQ((*value)[0], 0xDE);
  EXPECT_EQ((*value)[5], 0x01);
}

TEST(CpuV4, ModuleSelectorsNullArgumentsAndLimits) {
  CpuV4Writer chain;
  IHwInfoTestDetail_Cpu_V4& d = chain.detail;
  ASSERT_EQ(d.SetThItem("Unknown", "GROUP-ZERO"), 0);
  EXPECT_EQ(d.GetThItem("UART-2"), "GROUP-ZERO");
  EXPECT_EQ(d.GetThItem("Device"), "GROUP-ZERO");  // no device group in version 4
  EXPECT_EQ(d.GetThItem("Profibus"), "");
  EXPECT_EQ(d.SetThItem(nullptr, "X"), -1);
  EXPECT_EQ(d.SetThItem("Flash", nullptr), -1);
  EXPECT_EQ(d.SetHwComponentRevision(nullptr, 1), -1);
  EXPECT_EQ(d.SetCheckDate(nullptr, "01-01-01"), -1);
  EXPECT_EQ(d.SetCheckDate(nullptr), -1);
  EXPECT_EQ(d.GetThItem(nullptr), "");
  EXPECT_EQ(d.GetCheckDate(nullptr), "");
  EXPECT_EQ(d.GetHwComponentRevision(nullptr), 0);
  EXPECT_EQ(d.SetSerialNumber("SN1234567"), -1);
  EXPECT_EQ(d.SetDeliveryRevision("R123"), -1);
  EXPECT_EQ(d.SetThWorkorder("Flash", "THWO-123456"), 0);
  EXPECT_EQ(d.SetThWorkorder("Flash", "THWO-1234567"), -1);
  EXPECT_EQ(d.SetSmtSerialNumber("Flash", "SMT-SERIAL-12"), -1);
  EXPECT_EQ(d.SetHwComponentName("Flash", "HWCOMP-12"), -1);
  EXPECT_EQ(d.SetCheckDate("Flash", "01-02-234"), -1);
  EXPECT_EQ(d.SetCheckDate("Flash", "01-02-23"), 0);
  EXPECT_EQ(d.SetCheckDate("22-11-15"), 0);
  EXPECT_EQ(d.GetCheckDate("Flash"), "01-02-23");  // module date and head date are separate
  EXPECT_EQ(d.GetCheckDate(), "22-11-15");
  EXPECT_EQ(d.GetThWorkorder("Flash"), "THWO-123456");
}

}  // namespace
