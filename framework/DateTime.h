#pragma once
// Date-time values as the program keeps them: local time, whole days since
// 30 December 1899 as a double, the fraction being the time of day.

#include <cstdint>
#include <functional>

namespace corvina {

using TDateTime = double;

struct TCalendarDateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  bool operator==(const TCalendarDateTime&) const = default;
};

bool IsValidDate(int year, int month, int day);
bool IsValidTime(int hour, int minute, int second, int millisecond);
// Arguments out of range are the caller's fault; they are not checked here.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
TDateTime EncodeDateTime(const TCalendarDateTime& value);
// Rounds to the nearest millisecond.
TCalendarDateTime DecodeDateTime(TDateTime value);

// The day part (midnight of the same day) and the time-of-day part.
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);
int DayOfWeek(TDateTime value);  // 1 = Sunday .. 7 = Saturday
int DaysInMonth(int year, int month);

// Conversions to and from Unix time (seconds since 1970 UTC) through the
// local time zone.
TDateTime UnixToLocalDateTime(std::int64_t seconds, int milliseconds = 0);
std::int64_t LocalDateTimeToUnix(TDateTime value);

// "Now" for the whole program. Tests set a clock to reach midnights and month
// ends without waiting for them; an empty function restores the real clock.
TDateTime Now();
void SetNowFunction(std::function<TDateTime()> clock);

}  // namespace corvina
