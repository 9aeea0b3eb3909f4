#include <gtest/gtest.h>

#include <set>

#include "settings/CfgKeys.h"
#include "support/TempFolder.h"

namespace corvina {
namespace {

TEST(CfgKeys, FilterPageWritesItsKeysWithTheirTypes) {
  TDynamicCfgIntf cfg;
  cfg.SetValue(kShowICMP, Variant::FromBoolean(false));
  cfg.SetValue(kShowTCP, Variant::FromBoolean(true));
  cfg.SetValue(kLocalIPRangeCount, Variant::FromInteger(2));
  cfg.SetValue(LocalIPRangeStartKey(1), Variant::FromString("010.000.000.001"));
  cfg.SetValue(LocalIPRangeEndKey(12), Variant::FromString("010.000.000.009"));
  EXPECT_EQ(cfg.GetValue(kShowICMP).Kind(), varBoolean);
  EXPECT_EQ(cfg.GetValue(kLocalIPRangeCount).Kind(), varInteger);
  EXPECT_EQ(ReadString(cfg, "localiprangestart1"), "010.000.000.001");
  EXPECT_EQ(ReadString(cfg, "LocalIPRangeEnd12"), "010.000.000.009");
  EXPECT_EQ(ReadBoolean(cfg, kShowTCP), true);
  EXPECT_EQ(ReadInteger(cfg, kLocalIPRangeCount), 2);
}

TEST(CfgKeys, ReadersConvertOtherKindsAndRefuseTextsThatDoNotConvert) {
  TDynamicCfgIntf cfg;
  cfg.SetValue(kShowUDP, Variant::FromInteger(5));
  cfg.SetValue(kFormLeft, Variant::FromString("$10"));
  cfg.SetValue(kFormTop, Variant::FromString("left"));
  cfg.SetValue(kAutoStart, Variant::FromString("maybe"));
  cfg.SetValue(kAlphaBlend, Variant::FromBoolean(true));
  cfg.SetValue(kFontColor, Variant::FromString("clNoSuchColour"));
  EXPECT_EQ(ReadBoolean(cfg, kShowUDP), true);
  EXPECT_EQ(ReadInteger(cfg, kFormLeft), 16);
  EXPECT_EQ(ReadString(cfg, kAlphaBlend), "True");
  EXPECT_THROW(ReadInteger(cfg, kFormTop), EVariantError);
  EXPECT_THROW(ReadBoolean(cfg, kAutoStart), EVariantError);
  EXPECT_THROW(ReadColor(cfg, kFontColor), EConvertError);
}

TEST(CfgKeys, AValueThatDoesNotConvertNamesItsSettingAndFile) {
  test::TTempFolder folder;
  const std::string file = folder.File("corvina.cfg");
  test::WriteFileBytes(file,
                       "[VAR_TYPES]\r\nAlphaBlend=256\r\nFontColor=256\r\n"
                       "[VAR_VALUES]\r\nAlphaBlend=half\r\nFontColor=dark\r\n");
  TLocalCfgIntf cfg(file);
  try {
    ReadInteger(cfg, kAlphaBlend);
    ADD_FAILURE() << "no error";
  } catch (const EVariantError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Invalid value of setting \"AlphaBlend\" in \"" + file +
                  "\": Could not convert variant of type (String) into type (Int64)");
  }
  try {
    ReadColor(cfg, kFontColor);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "Invalid value of setting \"FontColor\" in \"" + file +
                                         "\": 'dark' is not a valid colour");
  }
}

TEST(CfgKeys, StoredRangesSkipIncompletePairsAndAHugeCountStopsAtTheCap) {
  TDynamicCfgIntf cfg;
  EXPECT_FALSE(ReadLocalIPRanges(cfg));  // no count: the caller keeps its ranges
  cfg.SetValue(kLocalIPRangeCount, Variant::FromInteger(2147483647));
  cfg.SetValue("LocalIPRangeStart0", Variant::FromString("010.000.000.001"));
  cfg.SetValue("LocalIPRangeEnd0", Variant::FromString("010.000.000.009"));
  cfg.SetValue("LocalIPRangeStart1", Variant::FromString("010.000.000.002"));  // no end: skipped
  cfg.SetValue("LocalIPRangeStart7", Variant::FromString("192.168.000.000"));
  cfg.SetValue("LocalIPRangeEnd7", Variant::FromString("192.168.255.255"));
  for (int index : {kMaxLocalIPRanges - 1, kMaxLocalIPRanges}) {
    cfg.SetValue(LocalIPRangeStartKey(index), Variant::FromString("172.016.000.000"));
    cfg.SetValue(LocalIPRangeEndKey(index), Variant::FromString("172.031.255.255"));
  }
  const auto ranges = ReadLocalIPRanges(cfg);
  ASSERT_TRUE(ranges);
  ASSERT_EQ(ranges->size(), 3u);  // the pair past the cap is not read
  EXPECT_EQ((*ranges)[1].Start, "192.168.000.000");
  EXPECT_EQ((*ranges)[2].Start, "172.016.000.000");
  cfg.SetValue(kLocalIPRangeCount, Variant::FromInteger(-1));
  EXPECT_TRUE(ReadLocalIPRanges(cfg)->empty());  // an empty list, not "no count"
}

TEST(CfgColors, EveryNameReadsToItsValueAndWritesBackToTheSameName) {
  const auto names = ColorNames();
  ASSERT_EQ(names.size(), 52u);
  EXPECT_STREQ(names.front().Name, "clBlack");
  EXPECT_STREQ(names[16].Name, "clMoneyGreen");
  EXPECT_STREQ(names.back().Name, "clWindowText");
  std::set<TColor> values;
  for (const TColorName& entry : names) {
    values.insert(entry.Value);
    EXPECT_EQ(StringToColor(entry.Name), entry.Value) << entry.Name;
    EXPECT_EQ(ColorToString(entry.Value), entry.Name);
  }
  EXPECT_EQ(values.size(), 52u) << "two names share a value";
  EXPECT_EQ(StringToColor("clNone"), 0x1FFFFFFFu);
  EXPECT_EQ(StringToColor("clDefault"), 0x20000000u);
  EXPECT_EQ(StringToColor("clRed"), 0x0000FFu);
  EXPECT_EQ(StringToColor("clMedGray"), 0xA4A0A0u);
  EXPECT_EQ(StringToColor("clHotLight"), 0xFF00001Au);
}

TEST(CfgColors, TextsAndNumbersOfTheSameColourAgree) {
  EXPECT_EQ(StringToColor("$FF00000F"), StringToColor("clBtnFace"));
  EXPECT_EQ(ColorToString(StringToColor("$FF00000F")), "clBtnFace");
  EXPECT_EQ(StringToColor("CLBTNFACE"), clBtnFace);
  EXPECT_EQ(StringToColor("-16777201"), clBtnFace);
  EXPECT_EQ(StringToColor("255"), 0x0000FFu);
  EXPECT_EQ(ColorToString(0x123456), "$00123456");
  EXPECT_EQ(ColorToString(0xFF0000AB), "$FF0000AB");
  EXPECT_TRUE(IsSystemColor(clBtnFace));
  EXPECT_EQ(SystemColorIndex(clBtnFace), 15);
  EXPECT_FALSE(IsSystemColor(clNone));
}

TEST(CfgColors, UnknownTextsAreErrors) {
  for (const char* text : {"", "clBtnFace2", "red", "$", "$1FFFFFFFF", "4294967296", "12abc"}) {
    EXPECT_EQ(TryStringToColor(text), std::nullopt) << text;
    EXPECT_THROW(StringToColor(text), EConvertError) << text;
  }
}

}  // namespace
}  // namespace corvina
