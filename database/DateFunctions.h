#pragma once
// YEAR, MONTH, DAY and HOUR over the stored STRT text, registered on every
// connection so the report queries run as they were designed.

#include <cstddef>

struct sqlite3;

namespace corvina {

struct TStoredHour {
  int Year = 0;
  int Month = 0;
  int Day = 0;
  int Hour = 0;
};

// Reads the date and hour of a stored date-time text ("YYYY-MM-DD", then
// optionally " HH" or "THH" and anything after it). False for any other text.
bool ParseStoredHour(const char* text, std::size_t size, TStoredHour& out);

// Each function gives NULL for a value that is no stored date-time text.
void RegisterDateFunctions(sqlite3* db);

}  // namespace corvina
