#include "framework/DateTime.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <ctime>
#include <mutex>

namespace corvina {
namespace {

constexpr std::int64_t kUnixEpochDays = 25569;  // 1970-01-01 as a day number
constexpr double kMsPerDay = 86400000.0;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

std::mutex& ClockMutex() {
  static std::mutex m;
  return m;
}
std::function<TDateTime()>& ClockFunction() {
  static std::function<TDateTime()> clock;
  return clock;
}

TDateTime SystemNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
  std::int64_t secs = ms / 1000;
  int rest = static_cast<int>(ms % 1000);
  if (rest < 0) {
    rest += 1000;
    --secs;
  }
  return UnixToLocalDateTime(secs, rest);
}

}  // namespace

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

bool IsValidTime(int hour, int minute, int second, int millisecond) {
  return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
         millisecond >= 0 && millisecond < 1000;
}

TDateTime EncodeDate(int year, int month, int day) {
  return static_cast<double>(
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
      kUnixEpochDays);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  return ((hour * 60.0 + minute) * 60.0 * 1000.0 + second * 1000.0 + millisecond) / kMsPerDay;
}

TDateTime EncodeDateTime(const TCalendarDateTime& v) {
  const double date = EncodeDate(v.year, v.month, v.day);
  const double time = EncodeTime(v.hour, v.minute, v.second, v.millisecond);
  // Before 30 December 1899 the time still counts forward from midnight.
  return date < 0 ? date - time : date + time;
}

TCalendarDateTime DecodeDateTime(TDateTime value) {
  TCalendarDateTime r;
  double days = std::trunc(value);
  std::int64_t ms = std::llround(std::fabs(value - days) * kMsPerDay);
  if (ms >= static_cast<std::int64_t>(kMsPerDay)) {  // rounded up into the next day
    ms -= static_cast<std::int64_t>(kMsPerDay);
    days += value < 0 ? -1 : 1;
  }
  CivilFromDays(static_cast<std::int64_t>(days) - kUnixEpochDays, r.year, r.month, r.day);
  r.millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  r.second = static_cast<int>(ms % 60);
  ms /= 60;
  r.minute = static_cast<int>(ms % 60);
  r.hour = static_cast<int>(ms / 60);
  return r;
}

TDateTime DateOf(TDateTime value) {
  const TCalendarDateTime c = DecodeDateTime(value);
  return EncodeDate(c.year, c.month, c.day);
}

TDateTime TimeOf(TDateTime value) {
  const TCalendarDateTime c = DecodeDateTime(value);
  return EncodeTime(c.hour, c.minute, c.second, c.millisecond);
}

int DayOfWeek(TDateTime value) {
  const std::int64_t days = static_cast<std::int64_t>(std::floor(DateOf(value)));
  // Day 0 (30 December 1899) was a Saturday.
  return static_cast<int>(((days % 7) + 7 + 6) % 7) + 1;
}

TDateTime UnixToLocalDateTime(std::int64_t seconds, int milliseconds) {
  // Every captured packet is stamped through here; the time zone look-up is
  // done once per second of time, not once per packet.
  thread_local std::int64_t cachedSeconds = INT64_MIN;
  thread_local TDateTime cachedValue = 0;
  if (seconds != cachedSeconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    cachedValue = EncodeDateTime({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                                  tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec, 0});
    cachedSeconds = seconds;
  }
  // Before 30 December 1899 the time of day counts backwards from the date.
  const TDateTime fraction = milliseconds / kMsPerDay;
  return cachedValue < 0 ? cachedValue - fraction : cachedValue + fraction;
}

std::int64_t LocalDateTimeToUnix(TDateTime value) {
  const TCalendarDateTime c = DecodeDateTime(value);
  std::tm tm{};
  tm.tm_year = c.year - 1900;
  tm.tm_mon = c.month - 1;
  tm.tm_mday = c.day;
  tm.tm_hour = c.hour;
  tm.tm_min = c.minute;
  tm.tm_sec = c.second;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&tm));
}

TDateTime Now() {
  std::function<TDateTime()> clock;
  {
    std::lock_guard lock(ClockMutex());
    clock = ClockFunction();
  }
  return clock ? clock() : SystemNow();
}

void SetNowFunction(std::function<TDateTime()> clock) {
  std::lock_guard lock(ClockMutex());
  ClockFunction() = std::move(clock);
}

}  // namespace corvina
