// Common records of versions 1 to 3: exact bytes of every field, round trips
// through a fresh reading-side chain, setter limits, variant keys and the check
// date conversions.
#include <gtest/gtest.h>

#include <string>

#include "hwinfo/handles_common.h"
#include "tests/hwinfo/expected_image.h"

namespace {

using hwinfo_test::ExpectedImage;
using hwinfo_test::Image;
using hwinfo_test::SameImage;

template <class Common>
struct Chain {
  IHwInfoRoot root;
  IHwInfoBase base{root};
  Common common{base};

  Image Write() {
    Image out;
    common.Write(out.data());
    return out;
  }
};

// --- version 1 ----------------------------------------------------------------

void FillCommonV1(IHwInfoTest_Common& c) {
  ASSERT_EQ(c.SetFaNumber("FA1234567890"), 0);          // 12 characters: the maximum
  ASSERT_EQ(c.SetModuleName("MODULE-NAME-20-CHARS"), 0);  // 20
  ASSERT_EQ(c.SetModuleIndex("B"), 0);
  ASSERT_EQ(c.SetModuleSubIndex(200), 0);
  ASSERT_EQ(c.SetReserve(0xDEADBEEF), 0);
  ASSERT_EQ(c.SetCheckDate("22.11.15 11"), 0);  // 11 characters, kept as text
  ASSERT_EQ(c.SetHwComponentName("HWC-007"), 0);
  ASSERT_EQ(c.SetHwComponentRevision(0xBEEF), 0);
}

TEST(CommonV1, GoldenBytes) {
  Chain<IHwInfoTest_Common> chain;
  FillCommonV1(chain.common);
  const Image out = chain.Write();
  ExpectedImage expected;
  expected.U16(4, 1)
      .U16(6, 0)  // no detail record in this chain
      .Text(8, 13, "FA1234567890")
      .Text(21, 21, "MODULE-NAME-20-CHARS")
      .Text(42, 2, "B")
      .U8(44, 200)
      .Bytes(45, {0xEF, 0xBE, 0xAD, 0xDE})
      .Text(49, 12, "22.11.15 11")
      .Text(61, 8, "HWC-007")
      .Bytes(69, {0xEF, 0xBE})
      .Seal();  // 71..511 stay 0xAB
  EXPECT_TRUE(SameImage(out.data(), expected));
  EXPECT_EQ(out[20], 0);  // the 13th FaNumber byte carries the terminator
}

TEST(CommonV1, RoundTrip) {
  Chain<IHwInfoTest_Common> writer;
  FillCommonV1(writer.common);
  const Image out = writer.Write();
  Chain<IHwInfoDev_Common> reader;
  ASSERT_TRUE(reader.common.Read(out.data()));
  EXPECT_EQ(reader.base.GetCommonID(), 1);
  EXPECT_EQ(reader.common.GetDetailID(), 0);
  EXPECT_EQ(reader.common.GetFaNumber(), "FA1234567890");
  EXPECT_EQ(reader.common.GetModuleName(), "MODULE-NAME-20-CHARS");
  EXPECT_EQ(reader.common.GetModuleIndex(), "B");
  EXPECT_EQ(reader.common.GetModuleSubIndex(), 200);
  EXPECT_EQ(reader.common.GetReserve(), 0xDEADBEEFul);
  EXPECT_EQ(reader.common.GetCheckDate(), "22.11.15 11");
  EXPECT_EQ(reader.common.GetHwComponentName(), "HWC-007");
  EXPECT_EQ(reader.common.GetHwComponentRevision(), 0xBEEF);
}

TEST(CommonV1, SetterLimitsRefuseAndKeepTheField) {
  Chain<IHwInfoTest_Common> chain;
  IHwInfoTest_Common& c = chain.common;
  FillCommonV1(c);
  EXPECT_EQ(c.SetFaNumber("FA12345678901"), -1);  // 13
  EXPECT_EQ(c.SetModuleName("MODULE-NAME-21-CHARS!"), -1);
  EXPECT_EQ(c.SetModuleIndex("BC"), -1);
  EXPECT_EQ(c.SetModuleSubIndex(256), -1);
  EXPECT_EQ(c.SetCheckDate("22.11.15 11x"), -1);
  EXPECT_EQ(c.SetHwComponentName("HWC-0078"), -1);
  EXPECT_EQ(c.SetFaNumber(nullptr), -1);
  EXPECT_EQ(c.GetFaNumber(), "FA1234567890");
  EXPECT_EQ(c.GetModuleName(), "MODULE-NAME-20-CHARS");
  EXPECT_EQ(c.GetModuleIndex(), "B");
  EXPECT_EQ(c.GetModuleSubIndex(), 200);
  EXPECT_EQ(c.GetCheckDate(), "22.11.15 11");
  EXPECT_EQ(c.GetHwComponentName(), "HWC-007");
  EXPECT_EQ(c.SetModuleSubIndex(255), 0);
  EXPECT_EQ(c.GetModuleSubIndex(), 255);
  EXPECT_EQ(c.SetFaNumber(""), 0);
  EXPECT_EQ(c.GetFaNumber(), "");
}

TEST(CommonV1, ShorterTextOverwritesALongerOneCompletely) {
  Chain<IHwInfoTest_Common> chain;
  ASSERT_EQ(chain.common.SetModuleName("MODULE-NAME-20-CHARS"), 0);
  ASSERT_EQ(chain.common.SetModuleName("AB"), 0);
  const Image out = chain.Write();
  for (int i = 23; i < 42; ++i) EXPECT_EQ(out[i], 0) << i;
}

TEST(CommonV1, GettersNeverReadPastTheFieldWidth) {
  ExpectedImage image(0x41);  // 'A' everywhere: no terminator in any field
  image.U16(4, 1).Seal();
  Chain<IHwInfoDev_Common> reader;
  ASSERT_TRUE(reader.common.Read(image.data()));
  EXPECT_EQ(reader.common.GetFaNumber(), std::string(13, 'A'));
  EXPECT_EQ(reader.common.GetModuleName(), std::string(21, 'A'));
  EXPECT_EQ(reader.common.GetModuleIndex(), "AA");
  EXPECT_EQ(reader.common.GetCheckDate(), std::string(12, 'A'));
  EXPECT_EQ(reader.common.GetHwComponentName(), std::string(8, 'A'));
  EXPECT_EQ(reader.common.GetDetailID(), 0x4141);
}

// --- version 2 ----------------------------------------------------------------

void FillCommonV2(IHwInfoTest_Common_V2& c) {
  ASSERT_EQ(c.SetFaNumber("0+", "FA0000000012"), 0);  // 12 characters, no terminator in the image
  ASSERT_EQ(c.SetModuleName("0+", "0+ABCDEFGHIJKLMNOPQR"), 0);  // 20: characters 3..20 kept
  ASSERT_EQ(c.SetModuleSubIndex("0+", 17), 0);
  ASSERT_EQ(c.SetFaNumber("0<", "FA-SLOT-1"), 0);
  ASSERT_EQ(c.SetModuleName("0<", "0<NAME-ONE"), 0);
  ASSERT_EQ(c.SetModuleSubIndex("0<", 255), 0);
  ASSERT_EQ(c.SetCheckDate("221115:1103"), 0);
  ASSERT_EQ(c.SetHwComponentName("HWV2-6"), 0);
  ASSERT_EQ(c.SetHwComponentRevision(513), 0);
}

TEST(CommonV2, GoldenBytes) {
  Chain<IHwInfoTest_Common_V2> chain;
  FillCommonV2(chain.common);
  const Image out = chain.Write();
  ExpectedImage expected;
  expected.U16(4, 2)
      .U16(6, 0)
      .Text(8, 12, "FA0000000012")
      .Text(20, 18, "ABCDEFGHIJKLMNOPQR")
      .U8(38, 17)
      .Text(39, 12, "FA-SLOT-1")
      .Text(51, 18, "NAME-ONE")
      .U8(69, 255)
      .Bytes(70, {22, 11, 15, 11, 3})
      .Text(75, 6, "HWV2-6")
      .Bytes(81, {0x01, 0x02})
      .Seal();  // 83..511 stay 0xAB
  EXPECT_TRUE(SameImage(out.data(), expected));
}

TEST(CommonV2, RoundTrip) {
  Chain<IHwInfoTest_Common_V2> writer;
  FillCommonV2(writer.common);
  const Image out = writer.Write();
  Chain<IHwInfoDev_Common_V2> reader;
  ASSERT_TRUE(reader.common.Read(out.data()));
  EXPECT_EQ(reader.base.GetCommonID(), 2);
  EXPECT_EQ(reader.common.GetDetailID(), 0);
  EXPECT_EQ(reader.common.GetFaNumber("0+"), "FA0000000012");
  EXPECT_EQ(reader.common.GetModuleName("0+"), "0+ABCDEFGHIJKLMNOPQR");
  EXPECT_EQ(reader.common.GetModuleSubIndex("0+"), 17);
  EXPECT_EQ(reader.common.GetFaNumber("0<"), "FA-SLOT-1");
  EXPECT_EQ(reader.common.GetModuleName("0<"), "0<NAME-ONE");
  EXPECT_EQ(reader.common.GetModuleSubIndex("0<"), 255);
  EXPECT_EQ(reader.common.GetCheckDate(), "221115:1103");
  EXPECT_EQ(reader.common.GetHwComponentName(), "HWV2-6");
  EXPECT_EQ(reader.common.GetHwComponentRevision(), 513);
}

TEST(CommonV2, ModuleNameTakesItsFirstTwoCharactersFromTheKey) {
  Chain<IHwInfoTest_Common_V2> writer;
  ASSERT_EQ(writer.common.SetModuleName("0<", "0<TWENTY-CHARS-NAME!"), 0);
  ASSERT_EQ(writer.common.SetModuleName("Dev", "XXslot-zero"), 0);
  const Image out = writer.Write();
  Chain<IHwInfoDev_Common_V2> reader;
  ASSERT_TRUE(reader.common.Read(out.data()));
  EXPECT_EQ(reader.common.GetModuleName("0<"), "0<TWENTY-CHARS-NAME!");
  EXPECT_EQ(reader.common.GetModuleName("Dev"), "Deslot-zero");
  EXPECT_EQ(reader.common.GetModuleName("0+"), "0+slot-zero");
  EXPECT_EQ(reader.common.GetModuleName("Q"), "Qslot-zero");
  EXPECT_EQ(reader.common.GetModuleName(""), "slot-zero");
  EXPECT_EQ(reader.common.GetModuleName(nullptr), "");
}

TEST(CommonV2, UnknownKeysAddressSlotZeroAndKeysAreComparedWhole) {
  Chain<IHwInfoTest_Common_V2> chain;
  IHwInfoTest_Common_V2& c = chain.common;
  ASSERT_EQ(c.SetFaNumber("0+", "ZERO"), 0);
  ASSERT_EQ(c.SetFaNumber("0<", "ONE"), 0);
  EXPECT_EQ(c.GetFaNumber("anything"), "ZERO");
  EXPECT_EQ(c.GetFaNumber("0<x"), "ZERO");
  EXPECT_EQ(c.GetFaNumber("0"), "ZERO");
  EXPECT_EQ(c.GetFaNumber("dev"), "ZERO");
  EXPECT_EQ(c.SetFaNumber("other", "OTHER"), 0);
  EXPECT_EQ(c.GetFaNumber("0+"), "OTHER");
  EXPECT_EQ(c.GetFaNumber("0<"), "ONE");
}

TEST(CommonV2, SetterLimitsAndNullKeys) {
  Chain<IHwInfoTest_Common_V2> chain;
  IHwInfoTest_Common_V2& c = chain.common;
  FillCommonV2(c);
  EXPECT_EQ(c.SetFaNumber("0+", "FA00000000123"), -1);
  EXPECT_EQ(c.SetModuleName("0+", "0+ABCDEFGHIJKLMNOPQRS"), -1);  // 21
  EXPECT_EQ(c.SetModuleSubIndex("0+", 256), -1);
  EXPECT_EQ(c.SetCheckDate("221115:11030"), -1);
  EXPECT_EQ(c.SetHwComponentName("HWV2-67"), -1);
  EXPECT_EQ(c.SetFaNumber(nullptr, "X"), -1);
  EXPECT_EQ(c.SetModuleName(nullptr, "X"), -1);
  EXPECT_EQ(c.SetModuleSubIndex(nullptr, 1), -1);
  EXPECT_EQ(c.SetCheckDate(nullptr), -1);
  EXPECT_EQ(c.GetFaNumber(nullptr), "");
  EXPECT_EQ(c.GetModuleSubIndex(nullptr), 0);
  EXPECT_EQ(c.GetFaNumber("0+"), "FA0000000012");
  EXPECT_EQ(c.GetModuleName("0+"), "0+ABCDEFGHIJKLMNOPQR");
  EXPECT_EQ(c.GetModuleSubIndex("0+"), 17);
  EXPECT_EQ(c.GetCheckDate(), "221115:1103");
  EXPECT_EQ(c.GetHwComponentName(), "HWV2-6");
  // A name of up to two characters keeps nothing.
  EXPECT_EQ(c.SetModuleName("0+", "AB"), 0);
  EXPECT_EQ(c.GetModuleName("0+"), "0+");
}

TEST(CommonV2, CheckDateConversion) {
  Chain<IHwInfoTest_Common_V2> chain;
  IHwInfoTest_Common_V2& c = chain.common;
  ASSERT_EQ(c.SetCheckDate("221115:1103"), 0);
  EXPECT_EQ(c.GetCheckDate(), "221115:1103");
  ASSERT_EQ(c.SetCheckDate("221115-1103"), 0);  // the separator is not looked at
  EXPECT_EQ(c.GetCheckDate(), "221115:1103");
  ASSERT_EQ(c.SetCheckDate(" 1+2-3: 4x5"), 0);  // white space, signs, stop at other characters
  // " 1" 1, "+2" 2, "-3" -3 -> 253, " 4" 4, "x5" 0
  EXPECT_EQ(c.GetCheckDate(), "0102253:0400");
  ASSERT_EQ(c.SetCheckDate("2211"), 0);  // positions past the end read as nothing
  EXPECT_EQ(c.GetCheckDate(), "221100:0000");
  ASSERT_EQ(c.SetCheckDate(""), 0);
  EXPECT_EQ(c.GetCheckDate(), "000000:0000");
}

TEST(CommonV2, CheckDateWithBytesAbove99IsAnsweredWhole) {
  Chain<IHwInfoTest_Common_V2> writer;
  ASSERT_EQ(writer.common.SetCheckDate("-11115:1103"), 0);  // "-1": year byte 255
  EXPECT_EQ(writer.common.GetCheckDate(), "2551115:1103");
  const Image out = writer.Write();
  EXPECT_EQ(out[70], 255);
  // Any decoded image can hold such bytes.
  ExpectedImage image;
  image.U16(4, 2).Zero(6, 77).Bytes(70, {255, 200, 199, 100, 255}).Seal();
  Chain<IHwInfoDev_Common_V2> reader;
  ASSERT_TRUE(reader.common.Read(image.data()));
  EXPECT_EQ(reader.common.GetCheckDate(), "255200199:100255");
}

TEST(CommonV2, DecodeClearsStorageFirst) {
  ExpectedImage image(0x42);  // 'B' everywhere
  image.U16(4, 2).Seal();
  Chain<IHwInfoDev_Common_V2> reader;
  ASSERT_TRUE(reader.common.Read(image.data()));
  EXPECT_EQ(reader.common.GetFaNumber("0<"), std::string(12, 'B'));
  EXPECT_EQ(reader.common.GetModuleName("0<"), "0<" + std::string(18, 'B'));
  EXPECT_EQ(reader.common.GetHwComponentName(), std::string(6, 'B'));
}

// --- version 3 ----------------------------------------------------------------

void FillCommonV3(IHwInfoTest_Common_V3& c) {
  ASSERT_EQ(c.SetThWorkorder("WO-12345678"), 0);   // 11
  ASSERT_EQ(c.SetThItem("THITEM-15-CHARS"), 0);    // 15
  ASSERT_EQ(c.SetThRevision("A01"), 0);            // 3: no terminator
  ASSERT_EQ(c.SetSmtSerialNumber("SMT-SN-00012"), 0);  // 12
  ASSERT_EQ(c.SetSmtItem("SMTITEM-FIFTEEN"), 0);   // 15
  ASSERT_EQ(c.SetSmtRevision("B2"), 0);
  ASSERT_EQ(c.SetCheckDate("15-11-22"), 0);
  ASSERT_EQ(c.SetHwComponentName("HWNAME08"), 0);  // 8
  ASSERT_EQ(c.SetHwComponentRevision(0x0102), 0);
}

TEST(CommonV3, GoldenBytes) {
  Chain<IHwInfoTest_Common_V3> chain;
  FillCommonV3(chain.common);
  const Image out = chain.Write();
  ExpectedImage expected;
  expected.U16(4, 3)
      .U16(6, 0)
      .Text(8, 11, "WO-12345678")
      .Text(19, 15, "THITEM-15-CHARS")
      .Text(34, 3, "A01")
      .Text(37, 12, "SMT-SN-00012")
      .Text(49, 15, "SMTITEM-FIFTEEN")
      .Text(64, 3, "B2")
      .Bytes(67, {15, 11, 22})
      .Text(70, 8, "HWNAME08")
      .Bytes(78, {0x02, 0x01})
      .Seal();  // 80..511 stay 0xAB
  EXPECT_TRUE(SameImage(out.data(), expected));
}

TEST(CommonV3, RoundTrip) {
  Chain<IHwInfoTest_Common_V3> writer;
  FillCommonV3(writer.common);
  const Image out = writer.Write();
  Chain<IHwInfoDev_Common_V3> reader;
  ASSERT_TRUE(reader.common.Read(out.data()));
  EXPECT_EQ(reader.base.GetCommonID(), 3);
  EXPECT_EQ(reader.common.GetDetailID(), 0);
  EXPECT_EQ(reader.common.GetThWorkorder(), "WO-12345678");
  EXPECT_EQ(reader.common.GetThItem(), "THITEM-15-CHARS");
  EXPECT_EQ(reader.common.GetThRevision(), "A01");
  EXPECT_EQ(reader.common.GetSmtSerialNumber(), "SMT-SN-00012");
  EXPECT_EQ(reader.common.GetSmtItem(), "SMTITEM-FIFTEEN");
  EXPECT_EQ(reader.common.GetSmtRevision(), "B2");
  EXPECT_EQ(reader.common.GetCheckDate(), "15-11-22");
  EXPECT_EQ(reader.common.GetHwComponentName(), "HWNAME08");
  EXPECT_EQ(reader.common.GetHwComponentRevision(), 0x0102);
}

TEST(CommonV3, SetterLimits) {
  Chain<IHwInfoTest_Common_V3> chain;
  IHwInfoTest_Common_V3& c = chain.common;
  FillCommonV3(c);
  EXPECT_EQ(c.SetThWorkorder("WO-123456789"), -1);
  EXPECT_EQ(c.SetThItem("THITEM-16-CHARS!"), -1);
  EXPECT_EQ(c.SetThRevision("A012"), -1);
  EXPECT_EQ(c.SetSmtSerialNumber("SMT-SN-000123"), -1);
  EXPECT_EQ(c.SetSmtItem("SMTITEM-SIXTEEN!"), -1);
  EXPECT_EQ(c.SetSmtRevision("B234"), -1);
  EXPECT_EQ(c.SetCheckDate("15-11-222"), -1);
  EXPECT_EQ(c.SetHwComponentName("HWNAME089"), -1);
  EXPECT_EQ(c.SetThItem(nullptr), -1);
  EXPECT_EQ(c.GetThWorkorder(), "WO-12345678");
  EXPECT_EQ(c.GetThItem(), "THITEM-15-CHARS");
  EXPECT_EQ(c.GetThRevision(), "A01");
  EXPECT_EQ(c.GetSmtSerialNumber(), "SMT-SN-00012");
  EXPECT_EQ(c.GetSmtItem(), "SMTITEM-FIFTEEN");
  EXPECT_EQ(c.GetSmtRevision(), "B2");
  EXPECT_EQ(c.GetCheckDate(), "15-11-22");
  EXPECT_EQ(c.GetHwComponentName(), "HWNAME08");
}

TEST(CommonV3, CheckDateIsReadAtFixedPositions) {
  Chain<IHwInfoTest_Common_V3> chain;
  IHwInfoTest_Common_V3& c = chain.common;
  ASSERT_EQ(c.SetCheckDate("1-2-3"), 0);  // "1-" 1, "-3" -3 -> 253, nothing 0
  EXPECT_EQ(c.GetCheckDate(), "01-253-00");
  ASSERT_EQ(c.SetCheckDate(" 7/+8/-1"), 0);  // white space and signs as in version 2
  EXPECT_EQ(c.GetCheckDate(), "07-08-255");
  const Image out = chain.Write();
  EXPECT_EQ(out[67], 7);
  EXPECT_EQ(out[68], 8);
  EXPECT_EQ(out[69], 255);
}

}  // namespace
