#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/FormatSettings.h"

using namespace corvina;

namespace {
const TFormatSettings ru = TFormatSettings::Russian();
const TDateTime kSample = EncodeDateTime({2007, 1, 5, 14, 3, 22, 45});
}  // namespace

TEST(FormatDateTime, PatternLetters) {
  EXPECT_EQ(FormatDateTime(ru.ShortDateFormat, kSample, ru), "05.01.2007");
  EXPECT_EQ(FormatDateTime(ru.LongTimeFormat, kSample, ru), "14:03:22");
  EXPECT_EQ(FormatDateTime("d/m/yy h:n:s.zzz", kSample, ru), "5.1.07 14:3:22.045");
  EXPECT_EQ(FormatDateTime("mmmm yyyy", kSample, ru), "Январь 2007");
  EXPECT_EQ(FormatDateTime("hh:mm", kSample, ru), "14:03");  // minutes after an hour
  EXPECT_EQ(FormatDateTime("\"at\" hh", kSample, ru), "at 14");
  TFormatSettings dots = ru;
  dots.TimeSeparator = ".";
  EXPECT_EQ(FormatDateTime("hh:nn:ss", kSample, dots), "14.03.22");
}

TEST(DateTimeToStr, LeavesOutMidnight) {
  EXPECT_EQ(DateTimeToStr(kSample, ru), "05.01.2007 14:03:22");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2007, 1, 5), ru), "05.01.2007");
}

TEST(TryStrToDateTime, ReadsWhatItWrites) {
  for (TDateTime v : {EncodeDate(2007, 1, 5), EncodeDateTime({2026, 12, 31, 23, 59, 59, 0})}) {
    auto back = TryStrToDateTime(DateTimeToStr(v, ru), ru);
    ASSERT_TRUE(back);
    EXPECT_NEAR(*back, v, 1e-9);
  }
  TFormatSettings us = ru;
  us.ShortDateFormat = "mm/dd/yyyy";
  us.DateSeparator = "/";
  auto us5 = TryStrToDateTime("01/05/2007", us);
  ASSERT_TRUE(us5);
  EXPECT_EQ(*us5, EncodeDate(2007, 1, 5));
}

TEST(TryStrToDateTime, RejectsForeignOrBrokenTexts) {
  for (const char* bad : {"", "abc", "31.02.2007", "05/01/2007", "05.01.2007 25:00:00",
                          "05.01.2007 14-03", "2007-01-05"})
    EXPECT_FALSE(TryStrToDateTime(bad, ru)) << bad;
}

TEST(FloatText, GeneralFormatWithLocaleSeparator) {
  EXPECT_EQ(FloatToStr(1.5, ru), "1,5");
  EXPECT_EQ(FloatToStr(-0.25, ru), "-0,25");
  EXPECT_EQ(FloatToStr(100, ru), "100");
  EXPECT_EQ(FloatToStr(0.1 + 0.2, ru), "0,3");  // 15 significant digits
  EXPECT_EQ(FloatToStr(1.5e20, ru), "1,5E20");
  EXPECT_EQ(FloatToStr(2e-7, ru), "2E-7");
  for (double v : {1.5, -123456.789, 1e300, 3.14159265358979})
    EXPECT_DOUBLE_EQ(*TryStrToFloat(FloatToStr(v, ru), ru), v);
  EXPECT_FALSE(TryStrToFloat("1.5", ru));  // a dot is not this locale's separator
  EXPECT_FALSE(TryStrToFloat("1,5x", ru));
}

TEST(FormatGrouped, GroupsAndRounds) {
  EXPECT_EQ(FormatGrouped(1024, 0, ru), "1 024");
  EXPECT_EQ(FormatGrouped(10240, 1, ru), "10 240,0");
  EXPECT_EQ(FormatGrouped(1.0009765625, 1, ru), "1,0");
  EXPECT_EQ(FormatGrouped(999.96, 1, ru), "1 000,0");
  EXPECT_EQ(FormatGrouped(1234567890, 0, ru), "1 234 567 890");
  EXPECT_EQ(FormatGrouped(-1.25, 1, ru), "-1,3");  // halves away from zero, either sign
  EXPECT_EQ(FormatGrouped(2.5, 0, ru), "3");
}

TEST(FromLocale, CLocaleGivesUsableSettings) {
  setenv("LC_ALL", "C", 1);
  const TFormatSettings fs = TFormatSettings::FromLocale();
  unsetenv("LC_ALL");
  EXPECT_EQ(fs.DecimalSeparator, ".");
  EXPECT_FALSE(fs.ThousandSeparator.empty());
  EXPECT_EQ(fs.LongMonthNames[0], "January");
  const TDateTime v = EncodeDateTime({2026, 6, 7, 8, 9, 10, 0});
  auto back = TryStrToDateTime(DateTimeToStr(v, fs), fs);
  ASSERT_TRUE(back) << DateTimeToStr(v, fs);
  EXPECT_NEAR(*back, v, 1e-9);
}
