// Power supply, HMI, FADC and MKAIR detail records: exact bytes, round trips,
// component selectors, the contrast offset read back unsigned, the FADC mark
// word and the calibration index ranges.
#include <gtest/gtest.h>

#include <string>

#include "hwinfo/handles_detail.h"
#include "tests/hwinfo/chain_fixture.h"

namespace {

using hwinfo_test::ExpectedImage;
using hwinfo_test::FullChain;
using hwinfo_test::Image;
using hwinfo_test::SameImage;

// --- Netzteil version 1 (after common V2: image offset 83) ---------------------

using NetzteilWriter = FullChain<IHwInfoTest_Common_V2, IHwInfoTestDetail_Netzteil>;
using NetzteilReader = FullChain<IHwInfoDev_Common_V2, IHwInfoDevDetail_Netzteil>;
const char* const kNetzteilV1[] = {"Kondensator", "Kuehlkoerper"};

void FillNetzteil(IHwInfoTestDetail_Netzteil& d) {
  for (int c = 0; c < 2; ++c) {
    const char* comp = kNetzteilV1[c];
    const std::string n = std::to_string(c);
    ASSERT_EQ(d.SetFaNumber(comp, ("NT-FA-00000" + n).c_str()), 0);              // 12
    ASSERT_EQ(d.SetModuleName(comp, ("XYNETZTEIL-MODULE-" + n).c_str()), 0);     // 19: 17 kept
    ASSERT_EQ(d.SetModuleSubIndex(comp, 40 + c), 0);
    ASSERT_EQ(d.SetCheckDate(comp, ("2105" + std::to_string(10 + c) + ":0809").c_str()), 0);
    ASSERT_EQ(d.SetHwComponentName(comp, ("NT-HW" + n).c_str()), 0);
    ASSERT_EQ(d.SetHwComponentRevision(comp, 0x0300 + c), 0);
  }
}

TEST(Netzteil, GoldenBytes) {
  NetzteilWriter chain;
  FillNetzteil(chain.detail);
  const Image out = chain.Write();
  ExpectedImage e;
  e.U16(4, 2).U16(6, 0x0301).Zero(8, 75);
  for (int c = 0; c < 2; ++c) {
    const std::size_t at = 83 + 44 * c;
    const std::string n = std::to_string(c);
    e.Text(at, 12, "NT-FA-00000" + n)
        .Text(at + 12, 18, "NETZTEIL-MODULE-" + n)
        .U8(at + 30, 40 + c)
        .Bytes(at + 31, {21, 5, static_cast<std::uint8_t>(10 + c), 8, 9})
        .Text(at + 36, 6, "NT-HW" + n)
        .Bytes(at + 42, {static_cast<std::uint8_t>(c), 0x03});
  }
  e.Seal();  // 171..511 stay 0xAB
  EXPECT_TRUE(SameImage(out.data(), e));
}

TEST(Netzteil, RoundTrip) {
  NetzteilWriter writer;
  FillNetzteil(writer.detail);
  const Image out = writer.Write();
  NetzteilReader reader;
  ASSERT_TRUE(reader.detail.Read(out.data()));
  for (int c = 0; c < 2; ++c) {
    const char* comp = kNetzteilV1[c];
    const std::string n = std::to_string(c);
    EXPECT_EQ(reader.detail.GetFaNumber(comp), "NT-FA-00000" + n);
    EXPECT_EQ(reader.detail.GetModuleName(comp), "0+NETZTEIL-MODULE-" + n);  // always behind "0+"
    EXPECT_EQ(reader.detail.GetModuleSubIndex(comp), 40 + c);
    EXPECT_EQ(reader.detail.GetCheckDate(comp), "2105" + std::to_string(10 + c) + ":0809");
    EXPECT_EQ(reader.detail.GetHwComponentName(comp), "NT-HW" + n);
    EXPECT_EQ(reader.detail.GetHwComponentRevision(comp), 0x0300 + c);
  }
}

TEST(Netzteil, SelectorsNullArgumentsAndLimits) {
  NetzteilWriter chain;
  IHwInfoTestDetail_Netzteil& d = chain.detail;
  ASSERT_EQ(d.SetFaNumber("Capacitor", "GROUP-ZERO"), 0);  // a version-2 name: group 0
  EXPECT_EQ(d.GetFaNumber("Kondensator"), "GROUP-ZERO");
  EXPECT_EQ(d.GetFaNumber("Kuehlkoerper"), "");
  EXPECT_EQ(d.SetFaNumber(nullptr, "X"), -1);
  EXPECT_EQ(d.SetModuleName("Kuehlkoerper", nullptr), -1);
  EXPECT_EQ(d.SetModuleSubIndex("Kuehlkoerper", 256), -1);
  EXPECT_EQ(d.SetModuleSubIndex(nullptr, 1), -1);
  EXPECT_EQ(d.SetCheckDate(nullptr, "x"), -1);
  EXPECT_EQ(d.SetHwComponentName("Kuehlkoerper", "NT-HW12"), -1);
  EXPECT_EQ(d.SetHwComponentRevision(nullptr, 1), -1);
  EXPECT_EQ(d.SetFaNumber("Kuehlkoerper", "NT-FA-0000012"), -1);
  EXPECT_EQ(d.SetModuleName("Kuehlkoerper", "0+NAME-WITH-21-CHARS!"), -1);
  EXPECT_EQ(d.GetModuleName(nullptr), "");
  EXPECT_EQ(d.GetModuleSubIndex(nullptr), 0);
  EXPECT_EQ(d.GetHwComponentRevision(nullptr), 0);
  EXPECT_EQ(d.GetModuleName("Kuehlkoerper"), "0+");
}

// --- Netzteil version 2 (after common V3: image offset 80) ---------------------

using NetzteilV2Writer = FullChain<IHwInfoTest_Common_V3, IHwInfoTestDetail_Netzteil_V2>;
using NetzteilV2Reader = FullChain<IHwInfoDev_Common_V3, IHwInfoDevDetail_Netzteil_V2>;
const char* const kNetzteilV2[] = {"Capacitor", "HeatSink"};

void FillNetzteilV2(IHwInfoTestDetail_Netzteil_V2& d) {
  for (int c = 0; c < 2; ++c) {
    const std::string n = std::to_string(c);
    ASSERT_EQ(d.SetThWorkorder(kNetzteilV2[c], ("WO-NT2-000" + n).c_str()), 0);  // 11
    ASSERT_EQ(d.SetThItem(kNetzteilV2[c], ("NT2-ITEM-" + n).c_str()), 0);
    ASSERT_EQ(d.SetThRevision(kNetzteilV2[c], ("RV" + n).c_str()), 0);
    ASSERT_EQ(d.SetCheckDate(kNetzteilV2[c], ("0" + n + "-06-30").c_str()), 0);
  }
}

TEST(NetzteilV2, GoldenBytes) {
  NetzteilV2Writer chain;
  FillNetzteilV2(chain.detail);
  const Image out = chain.Write();
  ExpectedImage e;
  e.U16(4, 3).U16(6, 0x0302).Zero(8, 72);
  for (int c = 0; c < 2; ++c) {
    const std::size_t at = 80 + 32 * c;
    const std::string n = std::to_string(c);
    e.Text(at, 11, "WO-NT2-000" + n)
        .Text(at + 11, 15, "NT2-ITEM-" + n)
        .Text(at + 26, 3, "RV" + n)
        .Bytes(at + 29, {static_cast<std::uint8_t>(c), 6, 30});
  }
  e.Seal();  // 144..511 stay 0xAB
  EXPECT_TRUE(SameImage(out.data(), e));
}

TEST(NetzteilV2, RoundTripSelectorsAndLimits) {
  NetzteilV2Writer writer;
  FillNetzteilV2(writer.detail);
  EXPECT_EQ(writer.detail.SetThWorkorder("HeatSink", "WO-NT2-0001X"), -1);
  EXPECT_EQ(writer.detail.SetThItem("HeatSink", "NT2-ITEM-SIXTEEN"), -1);
  EXPECT_EQ(writer.detail.SetThRevision("HeatSink", "RV12"), -1);
  EXPECT_EQ(writer.detail.SetCheckDate("HeatSink", "01-06-300"), -1);
  EXPECT_EQ(writer.detail.SetThItem(nullptr, "X"), -1);
  const Image out = writer.Write();
  NetzteilV2Reader reader;
  ASSERT_TRUE(reader.detail.Read(out.data()));
  for (int c = 0; c < 2; ++c) {
    const std::string n = std::to_string(c);
    EXPECT_EQ(reader.detail.GetThWorkorder(kNetzteilV2[c]), "WO-NT2-000" + n);
    EXPECT_EQ(reader.detail.GetThItem(kNetzteilV2[c]), "NT2-ITEM-" + n);
    EXPECT_EQ(reader.detail.GetThRevision(kNetzteilV2[c]), "RV" + n);
    EXPECT_EQ(reader.detail.GetCheckDate(kNetzteilV2[c]), "0" + n + "-06-30");
  }
  EXPECT_EQ(reader.detail.GetThItem("Kuehlkoerper"), "NT2-ITEM-0");  // a version-1 name: group 0
  EXPECT_EQ(reader.detail.GetThItem(nullptr), "");
}

// --- HMI versions 1 and 2 (after common V1: image offset 71) ------------------

TEST(Hmi, GoldenBytesAndNegativeOffsetReadsBackUnsigned) {
  FullChain<IHwInfoTest_Common, IHwInfoTestDetail_HMI> writer;
  ASSERT_EQ(writer.detail.SetContrastOffset(-5), 0);
  EXPECT_EQ(writer.detail.GetContrastOffset(), -5);
  const Image out = writer.Write();
  ExpectedImage e;
  e.U16(4, 1).U16(6, 0x0401).Zero(8, 63).Bytes(71, {0xFB, 0xFF}).Seal();
  EXPECT_TRUE(SameImage(out.data(), e));
  FullChain<IHwInfoDev_Common, IHwInfoDevDetail_HMI> reader;
  ASSERT_TRUE(reader.detail.Read(out.data()));
  EXPECT_EQ(reader.detail.GetContrastOffset(), 65531);
}

TEST(HmiV2, GoldenBytesAndRoundTrip) {
  FullChain<IHwInfoTest_Common, IHwInfoTestDetail_HMI_V2> writer;
  ASSERT_EQ(writer.detail.SetContrastOffset(32767), 0);
  const Image out = writer.Write();
  ExpectedImage e;
  e.U16(4, 1).U16(6, 0x0402).Zero(8, 63).Bytes(71, {0xFF, 0x7F}).Seal();
  EXPECT_TRUE(SameImage(out.data(), e));
  FullChain<IHwInfoDev_Common, IHwInfoDevDetail_HMI_V2> reader;
  ASSERT_TRUE(reader.detail.Read(out.data()));
  EXPECT_EQ(reader.detail.GetContrastOffset(), 32767);
  // An HMI version 1 reader refuses it and keeps its value.
  FullChain<IHwInfoDev_Common, IHwInfoTestDetail_HMI> v1;
  v1.detail.SetContrastOffset(-1);
  EXPECT_FALSE(v1.detail.Read(out.data()));
  EXPECT_EQ(v1.detail.GetContrastOffset(), -1);
}

// --- FADC (after common V1: image offset 71) ----------------------------------

using FadcWriter = FullChain<IHwInfoTest_Common, IHwInfoTestDetail_FADC>;
using FadcReader = FullChain<IHwInfoDev_Common, IHwInfoDevDetail_FADC>;

float FadcValue(int e, int k) { return static_cast<float>(e) * 1.5f + static_cast<float>(k) * 0.25f - 7.0f; }

void FillFadc(IHwInfoTestDetail_FADC& d) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      const int e = 4 * i + j;
      ASSERT_EQ(d.SetCalibData(i, j, FadcValue(e, 0), FadcValue(e, 1), FadcValue(e, 2)), 0);
    }
}

TEST(Fadc, GoldenBytesWithMarkWordAndNothingPastTheRecord) {
  FadcWriter chain;
  FillFadc(chain.detail);
  const Image out = chain.Write();
  ExpectedImage e;
  e.U16(4, 1).U16(6, 0x0101).Zero(8, 63);
  for (int entry = 0; entry < 16; ++entry)
    for (int k = 0; k < 3; ++k) e.F32(71 + 12 * entry + 4 * k, FadcValue(entry, k));
  e.Bytes(263, {0x59, 0x52})  // 0x5259
      .U16(265, 0)
      .Seal();  // 267..511 stay 0xAB: the 4 bytes after the record are not written
  EXPECT_TRUE(SameImage(out.data(), e));
  // Entry 0 starts with -7.0f = 0xC0E00000.
  EXPECT_EQ(out[71], 0x00);
  EXPECT_EQ(out[73], 0xE0);
  EXPECT_EQ(out[74], 0xC0);
}

TEST(Fadc, RoundTripAndIndexRange) {
  FadcWriter writer;
  FillFadc(writer.detail);
  EXPECT_EQ(writer.detail.SetCalibData(4, 0, 1, 2, 3), -1);
  EXPECT_EQ(writer.detail.SetCalibData(0, 4, 1, 2, 3), -1);
  EXPECT_EQ(writer.detail.SetCalibData(-1, 0, 1, 2, 3), -1);
  const Image out = writer.Write();
  FadcReader reader;
  ASSERT_TRUE(reader.detail.Read(out.data()));
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float a = 0, b = 0, c = 0;
      ASSERT_EQ(reader.detail.GetCalibData(i, j, a, b, c), 0);
      EXPECT_EQ(a, FadcValue(4 * i + j, 0));
      EXPECT_EQ(b, FadcValue(4 * i + j, 1));
      EXPECT_EQ(c, FadcValue(4 * i + j, 2));
    }
  float a = 9, b = 9, c = 9;
  EXPECT_EQ(reader.detail.GetCalibData(4, 0, a, b, c), -1);
  EXPECT_EQ(reader.detail.GetCalibData(0, -1, a, b, c), -1);
  EXPECT_EQ(a, 9);
}

TEST(Fadc, MarkWordIsStampedOnEveryWriteAndTheFreeWordKeepsItsValue) {
  ExpectedImage loaded;
  loaded.U16(4, 1).U16(6, 0x0101).Zero(8, 63).Zero(71, 192).U16(263, 0x1111).U16(265, 0x2222).Seal();
  FadcWriter chain;
  ASSERT_TRUE(chain.detail.Read(loaded.data()));
  const Image out = chain.Write();
  EXPECT_EQ(out[263], 0x59);
  EXPECT_EQ(out[264], 0x52);
  EXPECT_EQ(out[265], 0x22);
  EXPECT_EQ(out[266], 0x22);
  EXPECT_EQ(out[267], 0xAB);
}

// --- MKAIR (after common V2: image offset 83) ---------------------------------

using MkairWriter = FullChain<IHwInfoTest_Common_V2, IHwInfoTestDetail_MKAIR>;
using MkairReader = FullChain<IHwInfoDev_Common_V2, IHwInfoDevDetail_MKAIR>;

float MkairValue(int e, int k) { return static_cast<float>(e) * -0.5f + static_cast<float>(k) * 100.0f + 0.125f; }

void FillMkair(IHwInfoTestDetail_MKAIR& d) {
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 4; ++j) ASSERT_EQ(d.SetCalibData(i, j, MkairValue(4 * i + j, 0), MkairValue(4 * i + j, 1)), 0);
}

TEST(Mkair, GoldenBytes) {
  MkairWriter chain;
  FillMkair(chain.detail);
  const Image out = chain.Write();
  ExpectedImage e;
  e.U16(4, 2).U16(6, 0x0501).Zero(8, 75);
  for (int entry = 0; entry < 32; ++entry)
    for (int k = 0; k < 2; ++k) e.F32(83 + 8 * entry + 4 * k, MkairValue(entry, k));
  e.U16(339, 0).U16(341, 0).Seal();  // 343..511 stay 0xAB
  EXPECT_TRUE(SameImage(out.data(), e));
  // Entry 0 is 0.125f = 0x3E000000, then 100.125f = 0x42C84000.
  EXPECT_EQ(out[86], 0x3E);
  EXPECT_EQ(out[88], 0x40);
  EXPECT_EQ(out[89], 0xC8);
  EXPECT_EQ(out[90], 0x42);
}

TEST(Mkair, RoundTripIndexRangeAndFreeWords) {
  MkairWriter writer;
  FillMkair(writer.detail);
  EXPECT_EQ(writer.detail.SetCalibData(7, 3, 1.0f, 2.0f), 0);
  EXPECT_EQ(writer.detail.SetCalibData(8, 0, 1.0f, 2.0f), -1);
  EXPECT_EQ(writer.detail.SetCalibData(0, 4, 1.0f, 2.0f), -1);
  Image out = writer.Write();
  MkairReader reader;
  ASSERT_TRUE(reader.detail.Read(out.data()));
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 4; ++j) {
      float a = 0, b = 0;
      ASSERT_EQ(reader.detail.GetCalibData(i, j, a, b), 0);
      if (i == 7 && j == 3) {
        EXPECT_EQ(a, 1.0f);
        EXPECT_EQ(b, 2.0f);
      } else {
        EXPECT_EQ(a, MkairValue(4 * i + j, 0));
        EXPECT_EQ(b, MkairValue(4 * i + j, 1));
      }
    }
  float a = 0, b = 0;
  EXPECT_EQ(reader.detail.GetCalibData(8, 0, a, b), -1);
  // The two words keep what the last decode left.
  ExpectedImage loaded;
  loaded.U16(4, 2).U16(6, 0x0501).Zero(8, 75).Zero(83, 256).U16(339, 0xA1A2).U16(341, 0xB1B2).Seal();
  MkairWriter again;
  ASSERT_TRUE(again.detail.Read(loaded.data()));
  out = again.Write();
  EXPECT_TRUE(SameImage(out.data(), loaded));
}

}  // namespace
