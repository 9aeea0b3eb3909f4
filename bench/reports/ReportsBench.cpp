// Prints how long the three built-in reports take on a large traffic
// database: from the hourly totals (as the program runs them) and with the
// designed queries on INETTRAFFIC, each query and layout without a preview;
// then the first open of a file that lacks the totals (an earlier version's
// file), the deletion of one month, and the file size.
// The database is built straight through SQLite, not through the program's
// insert path: rows spread evenly over the year 2023 and over eight addresses.
// Usage: reports_ReportsBench [rows] [folder]   (default 100000000, /tmp)

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "database/DMU.h"
#include "database/ReportSource.h"
#include "netinfo/sysutil.h"
#include "platform/System.h"

using namespace corvina;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

bool Check(sqlite3* db, int rc) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE) return true;
  std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
  return false;
}

// The template's file without its totals table, filled with rows.
bool BuildDatabase(const std::string& file, long rows) {
  SaveResourceToFile("DB", "MDB", file);
  sqlite3* db = nullptr;
  if (!Check(db, sqlite3_open(file.c_str(), &db))) return false;
  sqlite3_exec(db,
               "DROP TABLE TRAFFICTOTALS; PRAGMA journal_mode=DELETE; PRAGMA journal_mode=OFF;"
               "PRAGMA synchronous=OFF; PRAGMA cache_size=-262144; BEGIN",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO INETTRAFFIC VALUES (?1, ?2, 0, ?3, ?4)", -1, &insert,
                     nullptr);
  const TDateTime start = EncodeDate(2023, 1, 1);
  const double step = 365.0 / static_cast<double>(rows);
  char ip[16];
  for (long i = 0; i < rows; ++i) {
    std::snprintf(ip, sizeof ip, "192.168.0.%d", static_cast<int>(10 + i % 8));
    const std::string strt = FormatSQLiteDateTime(start + static_cast<double>(i) * step);
    sqlite3_bind_text(insert, 1, ip, -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 2, strt.c_str(), static_cast<int>(strt.size()), SQLITE_STATIC);
    sqlite3_bind_int(insert, 3, i % 3 ? 1500 : 0);
    sqlite3_bind_int(insert, 4, i % 3 ? 0 : 60);
    if (!Check(db, sqlite3_step(insert))) return false;
    sqlite3_reset(insert);
    if (i % 10000000 == 9999999) {
      sqlite3_exec(db, "COMMIT; BEGIN", nullptr, nullptr, nullptr);
      std::fprintf(stderr, "  %ld million rows\n", (i + 1) / 1000000);
    }
  }
  sqlite3_finalize(insert);
  const bool ok =
      Check(db, sqlite3_exec(db, "COMMIT; PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr));
  sqlite3_close(db);
  return ok;
}

// Query and layout of one report, as the preview would get it.
double TimeReport(TDM& dm, const char* name, TDateTime date, std::size_t& pages) {
  TReportEngine& engine = dm.Report();
  engine.LoadFromResource(name);
  engine.OnDialog = [date](const TReportDialog&, TDateTime& chosen) {
    chosen = date;
    return true;
  };
  const auto begin = Clock::now();
  const auto report = engine.Prepare();
  const double seconds = Seconds(begin);
  pages = report ? report->Pages.size() : 0;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 100000000;
  const fs::path base = argc > 2 ? argv[2] : "/tmp";
  if (rows <= 0) return 2;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is known
  std::string pattern = (base / "corvina-reports-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  const fs::path folder = pattern;
  SetExecutablePath((folder / "corvina").string());
  const std::string dat = TDM::DataFileName();

  std::printf("rows: %ld over 2023, 8 addresses\n", rows);
  auto begin = Clock::now();
  if (!BuildDatabase(dat, rows)) return 1;
  std::printf("bulk build:                      %.1f s\n", Seconds(begin));
  std::printf("file size:                       %.2f GiB (%.1f bytes per row)\n",
              fs::file_size(dat) / 1073741824.0, static_cast<double>(fs::file_size(dat)) / rows);

  TDM dm(
      {[](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); }, {}, {}});
  begin = Clock::now();
  dm.DataModuleCreate();
  if (!dm.DatabaseOpen() || !dm.TotalsReady()) return 1;
  std::printf("first open, totals filled:       %.1f s (%lld hourly sums)\n", Seconds(begin),
              static_cast<long long>(
                  dm.Connection()->Query("SELECT COUNT(*) FROM TRAFFICTOTALS")[0][0].AsInt64()));

  const struct {
    const char* name;
    TDateTime date;
  } reports[] = {
      {"FR00D", EncodeDate(2023, 7, 14)}, {"FR00M", EncodeDate(2023, 7, 14)}, {"FR00ALL", 0}};
  for (bool totals : {true, false}) {
    if (!totals)
      dm.Report().OnQuery = [&dm](const TReportQuery& q) {
        return RunReportQuery(*dm.Connection(), false, q);
      };
    for (const auto& r : reports) {
      std::size_t pages = 0;
      double best = 1e9;
      for (int run = 0; run < (totals ? 5 : 1); ++run)
        best = std::min(best, TimeReport(dm, r.name, r.date, pages));
      std::printf("%-7s %-24s %9.1f ms (%zu pages)%s\n", r.name,
                  totals ? "from the totals:" : "designed query, rows:", best * 1000, pages,
                  totals ? ", best of 5" : "");
    }
  }

  begin = Clock::now();
  const int deleted = dm.DeletePeriod(EncodeDate(2023, 3, 1), EncodeDate(2023, 3, 31));
  std::printf("DeletePeriod of March:           %.1f s (%d rows)\n", Seconds(begin), deleted);
  dm.DataModuleDestroy();
  std::printf("file size after:                 %.2f GiB\n", fs::file_size(dat) / 1073741824.0);
  fs::remove_all(folder);
  return 0;
}
