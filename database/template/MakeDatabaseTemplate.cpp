// Build-time tool: writes the empty traffic database that the program
// carries inside itself and copies to a missing ".dat" file.
// Usage: MakeDatabaseTemplate <output file>

#include <sqlite3.h>

#include <cstdio>
#include <string>

#include "database/TrafficTotals.h"

namespace {

// WAL is recorded in the file header, so opening a fresh copy later needs no
// write to switch it on. The totals table is there from the start, so a new
// file is never written to when it is first opened.
const std::string kSchemaSql =
    std::string(
        "PRAGMA journal_mode=WAL;"
        "CREATE TABLE INETTRAFFIC (IP VARCHAR(15), STRT DATETIME, DURATION INTEGER, "
        "INCOMING INTEGER, OUTGOING INTEGER);") +
    corvina::kTrafficTotalsSchema + ";";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
    return 2;
  }
  const std::string path = argv[1];
  // A run that failed half-way may have left a file; start from nothing.
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((path + suffix).c_str());
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, kSchemaSql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) std::fprintf(stderr, "%s: %s\n", path.c_str(), sqlite3_errmsg(db));
  if (sqlite3_close(db) != SQLITE_OK && rc == SQLITE_OK) rc = SQLITE_ERROR;
  if (rc != SQLITE_OK) std::remove(path.c_str());
  return rc == SQLITE_OK ? 0 : 1;
}
