#pragma once
// Regional format settings: how numbers and dates are written for people and
// in the settings file. Read once from the process locale; tests pass their own.

#include <array>
#include <optional>
#include <string>

#include "framework/DateTime.h"

namespace corvina {

struct TFormatSettings {
  std::string DecimalSeparator = ".";
  std::string ThousandSeparator = ",";
  std::string DateSeparator = "/";
  std::string TimeSeparator = ":";
  // Pattern letters: d dd m mm mmmm yy yyyy h hh n nn s ss z zzz; "/" is the
  // date separator and ":" the time separator; text in quotes is copied.
  std::string ShortDateFormat = "dd/mm/yyyy";
  std::string LongTimeFormat = "hh:nn:ss";
  std::array<std::string, 12> LongMonthNames{};

  // The settings of the process locale (LC_ALL / LANG as the environment sets them).
  static TFormatSettings FromLocale();
  // A fixed Russian-style set: "," decimal, " " grouping, dd.mm.yyyy, hh:nn:ss.
  static TFormatSettings Russian();
};

// The process-wide settings, read from the locale on first use.
const TFormatSettings& DefaultFormatSettings();

// Formats value by a pattern of the letters above.
std::string FormatDateTime(const std::string& format, TDateTime value, const TFormatSettings& fs);
// Short date, then a blank and the long time unless the time is exactly midnight.
std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs);
// Reads a date, optionally followed by a time, in the order the short date
// format gives; fails on anything else.
std::optional<TDateTime> TryStrToDateTime(const std::string& text, const TFormatSettings& fs);

// General format, up to 15 significant digits, "E" exponent for very large or small values.
std::string FloatToStr(double value, const TFormatSettings& fs);
std::optional<double> TryStrToFloat(const std::string& text, const TFormatSettings& fs);
// Fixed number of decimals with digit grouping, as the patterns "#,##0.0" and "#,###" give;
// an exact half rounds away from zero.
std::string FormatGrouped(double value, int decimals, const TFormatSettings& fs);

}  // namespace corvina
