#include <gtest/gtest.h>

#include "framework/DateTime.h"

using namespace corvina;

TEST(DateTime, KnownDayNumbers) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(1970, 1, 1), 25569.0);
  EXPECT_EQ(EncodeDate(2000, 3, 1), 36586.0);
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0), 0.25);
}

TEST(DateTime, RoundTripsToTheMillisecond) {
  const TCalendarDateTime cases[] = {
      {2007, 1, 5, 14, 3, 22, 0}, {2024, 2, 29, 23, 59, 59, 999},  {1900, 1, 1, 0, 0, 0, 0},
      {2026, 12, 31, 0, 0, 0, 1}, {9999, 12, 31, 23, 59, 59, 700}, {1899, 12, 29, 6, 0, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DecodeDateTime(EncodeDateTime(c)), c) << c.year << "-" << c.month;
}

TEST(DateTime, NearMidnightDoesNotRoundIntoAWrongDay) {
  const TDateTime almost = EncodeDate(2026, 3, 31) + EncodeTime(23, 59, 59, 999);
  EXPECT_EQ(DecodeDateTime(almost).day, 31);
  EXPECT_EQ(DateOf(almost), EncodeDate(2026, 3, 31));
  EXPECT_NEAR(TimeOf(almost), EncodeTime(23, 59, 59, 999), 1e-9);
}

TEST(DateTime, CalendarRules) {
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_FALSE(IsValidDate(2023, 2, 29));
  EXPECT_FALSE(IsValidTime(24, 0, 0, 0));
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 9)), 4);  // a Wednesday
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);
}

TEST(DateTime, UnixConversionFollowsLocalTime) {
  setenv("TZ", "Europe/Moscow", 1);
  tzset();
  // 2007-01-05 11:03:22 UTC is 14:03:22 in Moscow (UTC+3).
  const TDateTime local = UnixToLocalDateTime(1167995002, 250);
  EXPECT_EQ(DecodeDateTime(local), (TCalendarDateTime{2007, 1, 5, 14, 3, 22, 250}));
  EXPECT_EQ(LocalDateTimeToUnix(local), 1167995002);
  unsetenv("TZ");
  tzset();
}

TEST(DateTime, NowFollowsTheSettableClock) {
  SetNowFunction([] { return EncodeDate(2026, 1, 1); });
  EXPECT_EQ(Now(), EncodeDate(2026, 1, 1));
  SetNowFunction(nullptr);
  EXPECT_GT(Now(), EncodeDate(2020, 1, 1));
}
