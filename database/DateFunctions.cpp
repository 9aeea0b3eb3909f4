#include "database/DateFunctions.h"

#include <sqlite3.h>

#include "framework/DateTime.h"

namespace corvina {
namespace {

bool Digits(const char* text, int count, int& value) {
  value = 0;
  for (int i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

template <int TStoredHour::*Part>
void DatePart(sqlite3_context* context, int, sqlite3_value** args) {
  TStoredHour hour;
  const unsigned char* text =
      sqlite3_value_type(args[0]) == SQLITE_TEXT ? sqlite3_value_text(args[0]) : nullptr;
  if (!text || !ParseStoredHour(reinterpret_cast<const char*>(text),
                                static_cast<std::size_t>(sqlite3_value_bytes(args[0])), hour)) {
    sqlite3_result_null(context);
    return;
  }
  sqlite3_result_int(context, hour.*Part);
}

}  // namespace

bool ParseStoredHour(const char* text, std::size_t size, TStoredHour& out) {
  if (size < 10 || text[4] != '-' || text[7] != '-') return false;
  TStoredHour h;
  if (!Digits(text, 4, h.Year) || !Digits(text + 5, 2, h.Month) || !Digits(text + 8, 2, h.Day) ||
      !IsValidDate(h.Year, h.Month, h.Day))
    return false;
  if (size > 10) {
    if ((text[10] != ' ' && text[10] != 'T') || size < 13 || !Digits(text + 11, 2, h.Hour) ||
        h.Hour > 23)
      return false;
  }
  out = h;
  return true;
}

void RegisterDateFunctions(sqlite3* db) {
  constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  sqlite3_create_function(db, "YEAR", 1, flags, nullptr, DatePart<&TStoredHour::Year>, nullptr,
                          nullptr);
  sqlite3_create_function(db, "MONTH", 1, flags, nullptr, DatePart<&TStoredHour::Month>, nullptr,
                          nullptr);
  sqlite3_create_function(db, "DAY", 1, flags, nullptr, DatePart<&TStoredHour::Day>, nullptr,
                          nullptr);
  sqlite3_create_function(db, "HOUR", 1, flags, nullptr, DatePart<&TStoredHour::Hour>, nullptr,
                          nullptr);
}

}  // namespace corvina
