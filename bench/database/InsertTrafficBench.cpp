// Prints how many single-row InsertTraffic calls per second the traffic
// database takes, committed in groups as in the running program, and how
// large the file grows per million rows. For scale it also times the same
// calls with a commit after every row, which shows what grouping saves.
// Usage: database_InsertTrafficBench [rows]   (default 1000000)

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "database/DMU.h"
#include "platform/System.h"

using namespace corvina;
namespace fs = std::filesystem;

namespace {

// One packet every 2 ms from 9:00 on, as a busy link would deliver them,
// with a commit after every row when asked; returns the seconds the calls took.
double InsertRows(TDM& dm, long rows, bool commitEachRow) {
  const TDateTime start = EncodeDateTime({2024, 3, 1, 9, 0, 0, 0});
  const auto begin = std::chrono::steady_clock::now();
  for (long i = 0; i < rows; ++i) {
    dm.InsertTraffic("192.168.100.200", start + i * 2.0 / 86400000.0, 0, i % 2 ? 1500 : 0,
                     i % 2 ? 0 : 60);
    if (commitEachRow) dm.Flush();
  }
  dm.Flush();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

}  // namespace

int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  if (rows <= 0) return 2;
  char name[] = "/tmp/corvina-database-bench-XXXXXX";
  const fs::path folder = mkdtemp(name);
  SetExecutablePath((folder / "corvina").string());
  const std::string dat = TDM::DataFileName();

  double grouped = 0, perRowCommit = 0;
  std::uintmax_t sizeOpen = 0;
  std::uint64_t failed = 0;
  {
    TDM dm({[](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); },
            {},
            {}});
    dm.DataModuleCreate();
    if (!dm.DatabaseOpen()) return 1;
    grouped = InsertRows(dm, rows, false);
    sizeOpen = fs::file_size(dat) + fs::file_size(dat + "-wal");
    perRowCommit = InsertRows(dm, rows, true);
    failed = dm.FailedInsertCount();
  }
  const double mib = 1024.0 * 1024.0;
  const double millions = static_cast<double>(rows) / 1e6;
  std::printf("rows per phase:                  %ld (failed: %llu)\n", rows,
              static_cast<unsigned long long>(failed));
  std::printf("InsertTraffic, grouped commits:  %.0f calls/s (%.2f us per call)\n", rows / grouped,
              grouped * 1e6 / rows);
  std::printf("InsertTraffic, commit per row:   %.0f calls/s (%.2f us per call), for scale\n",
              rows / perRowCommit, perRowCommit * 1e6 / rows);
  std::printf(
      "file per million rows:           %.1f MiB .dat after close; %.1f MiB .dat + -wal while "
      "open\n",
      fs::file_size(dat) / mib / (2 * millions), sizeOpen / mib / millions);
  fs::remove_all(folder);
  return 0;
}
