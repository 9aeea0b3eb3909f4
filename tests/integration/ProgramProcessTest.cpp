// The real program as a process of its own, capturing in a network namespace
// on the veth end its settings name: a logout stores every row and the
// window position, a kill leaves a sound database with every committed row,
// and broken settings or database files neither stop the meter nor go
// unmentioned.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <thread>

#include "database/DatabaseTestSupport.h"
#include "support/ProgramProcess.h"
#include "support/VethPair.h"

using namespace corvina::test;
namespace fs = std::filesystem;

namespace {

// 200 data bytes: 228-byte IPv4 packets, told apart from any other traffic.
constexpr const char* kPing = "ping -c 5 -i 0.05 -s 200 10.77.0.1";
constexpr const char* kPingRows =
    "SELECT COUNT(*) FROM INETTRAFFIC WHERE INCOMING = 228 OR OUTGOING = 228";

// Settings that capture on the veth end and count ICMP, with a window
// position; extra lines go at the end of each section.
std::string Settings(const std::string& extraTypes = "", const std::string& extraValues = "") {
  return "[VAR_TYPES]\r\nMacBind=256\r\nShowICMP=11\r\nFormLeft=3\r\nFormTop=3\r\n" + extraTypes +
         "\r\n[VAR_VALUES]\r\nMacBind=02-00-00-00-0C-01\r\nShowICMP=1\r\nFormLeft=123\r\n"
         "FormTop=45\r\n" +
         extraValues;
}

// The first column of the first row, read on a connection of our own as any
// other program would; empty when the query fails.
std::string Query(const fs::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string result;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 2000);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
      result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return result;
}
long Count(const fs::path& file, const std::string& sql = kPingRows) {
  const std::string text = Query(file, sql);
  return text.empty() ? -1 : std::stol(text);
}

// A traffic database of the program's shape with rows in it.
void WriteDatabase(const fs::path& file, int rows) {
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  sqlite3_exec(db,
               "CREATE TABLE INETTRAFFIC (IP VARCHAR(15), STRT DATETIME, DURATION INTEGER, "
               "INCOMING INTEGER, OUTGOING INTEGER); BEGIN;",
               nullptr, nullptr, nullptr);
  for (int i = 0; i < rows; ++i)
    sqlite3_exec(db,
                 "INSERT INTO INETTRAFFIC VALUES ('10.77.0.1', '2007-01-05 10:00:00.000', 0, "
                 "1500, 0)",
                 nullptr, nullptr, nullptr);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

class ProgramProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = NetnsUnavailableReason();
    if (!why.empty()) GTEST_SKIP() << why;
    net = std::make_unique<TVethPair>("process");
  }
  // A folder of its own for one more run of the program.
  TProgramProcess& Program() {
    folders.push_back(std::make_unique<TTempFolder>());
    programs.push_back(std::make_unique<TProgramProcess>(folders.back()->Path()));
    return *programs.back();
  }
  void StartCapturing(TProgramProcess& program) {
    program.Start(net->local.Name());
    WaitUntilRowsArrive(program);
  }
  // Pings until a row shows that the capture delivers and rows are stored.
  void WaitUntilRowsArrive(TProgramProcess& program) {
    const std::string warmUpRows = "SELECT COUNT(*) FROM INETTRAFFIC WHERE INCOMING = 84";
    ASSERT_TRUE(WaitFor([&] {
      net->peer.TryRun("ping -c 1 -W 1 10.77.0.1");
      return WaitFor([&] { return Count(program.File(".dat"), warmUpRows) > 0; },
                     std::chrono::milliseconds(500));
    })) << program.Output();
  }

  std::unique_ptr<TVethPair> net;
  std::vector<std::unique_ptr<TTempFolder>> folders;
  std::vector<std::unique_ptr<TProgramProcess>> programs;
};

TEST_F(ProgramProcess, ALogoutKeepsEveryRowAndTheWindowPosition) {
  TProgramProcess& program = Program();
  WriteFileBytes(program.File(".cfg"), "; written by hand\n" + Settings());
  StartCapturing(program);
  net->peer.Run(kPing);
  // Committed by the flush timer where another program reads them.
  EXPECT_TRUE(WaitFor([&] { return Count(program.File(".dat")) == 10; })) << program.Output();
  program.Signal(SIGTERM);
  ASSERT_TRUE(program.EndedCleanly()) << program.Output();
  EXPECT_EQ(Count(program.File(".dat")), 10);
  const std::string saved = ReadFileBytes(program.File(".cfg"));
  EXPECT_NE(saved.find("FormLeft=123\r\nFormTop=45\r\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("written by hand"), std::string::npos) << "not saved again";
}

TEST_F(ProgramProcess, AKillUnderTrafficLeavesASoundFileWithEveryCommittedRow) {
  TProgramProcess& program = Program();
  WriteFileBytes(program.File(".cfg"), Settings());
  StartCapturing(program);
  net->peer.Run(kPing);
  ASSERT_TRUE(WaitFor([&] { return Count(program.File(".dat")) == 10; })) << program.Output();

  std::thread flood([&] { net->peer.TryRun("timeout 4 ping -f -s 300 10.77.0.1"); });
  const std::string floodRows =
      "SELECT COUNT(*) FROM INETTRAFFIC WHERE INCOMING = 328 OR OUTGOING = 328";
  long committed = 0;
  EXPECT_TRUE(WaitFor([&] { return (committed = Count(program.File(".dat"), floodRows)) > 1000; }));
  committed = Count(program.File(".dat"), floodRows);
  program.Kill();
  flood.join();

  EXPECT_EQ(Query(program.File(".dat"), "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(Count(program.File(".dat")), 10);
  EXPECT_GE(Count(program.File(".dat"), floodRows), committed);
}

TEST_F(ProgramProcess, BrokenSettingsFilesStillMeter) {
  std::mt19937 random(15);
  std::string garbage(4096, '\0');
  for (char& c : garbage) c = char(random());
  const std::string tenMegabytes(10 << 20, 'A');
  const std::pair<const char*, std::string> kinds[] = {
      {"binary garbage", garbage + "\r\n" + Settings("", garbage)},
      {"a 10 MB line", Settings("Junk=256\r\n", "Junk=" + tenMegabytes + "\r\n" + tenMegabytes)},
      {"invalid UTF-8", Settings("LocalIPRangeCount=3\r\nLocalIPRangeStart0=256\r\n"
                                 "LocalIPRangeEnd0=256\r\n\xC0\xAF=256\r\n",
                                 "LocalIPRangeCount=1\r\nLocalIPRangeStart0=\xC0\xAF\xFF\xFE\r\n"
                                 "LocalIPRangeEnd0=1.2.3.\xE2\x82\r\n\xC0\xAF=\xED\xA0\x80\r\n")},
      {"a huge range count",
       Settings("LocalIPRangeCount=3\r\n", "LocalIPRangeCount=2147483647\r\n")},
  };
  for (const auto& [kind, text] : kinds) {
    SCOPED_TRACE(kind);
    TProgramProcess& program = Program();
    WriteFileBytes(program.File(".cfg"), text);
    StartCapturing(program);
    net->peer.Run(kPing);
    EXPECT_TRUE(WaitFor([&] { return Count(program.File(".dat")) == 10; })) << program.Output();
    program.Signal(SIGTERM);
    EXPECT_TRUE(program.EndedCleanly()) << program.Output();
  }
}

TEST_F(ProgramProcess, ABrokenDatabaseIsNamedLeftAloneAndTheMeterGoesOn) {
  struct TKind {
    const char* name;
    std::function<void(const fs::path&)> make;
    const char* reason;
    bool obeyFileModes;  // root without its power to write any file
  };
  const TKind kinds[] = {
      {"truncated",
       [](const fs::path& dat) {
         WriteDatabase(dat, 5000);
         fs::resize_file(dat, 3 * 4096);
       },
       "database disk image is malformed", false},
      {"foreign", [](const fs::path& dat) { WriteFileBytes(dat, "IP;STRT;INCOMING\n"); },
       "file is not a database", false},
      {"read-only",
       [](const fs::path& dat) {
         WriteDatabase(dat, 1);
         fs::permissions(dat, fs::perms::owner_read);
       },
       "attempt to write a readonly database", true},
      {"a folder", [](const fs::path& dat) { fs::create_directory(dat); },
       "unable to open database file", false},
  };
  for (const TKind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    TProgramProcess& program = Program();
    WriteFileBytes(program.File(".cfg"), Settings());
    kind.make(program.File(".dat"));
    const std::string before = ReadFileBytes(program.File(".dat"));
    program.Start(net->local.Name(), kind.obeyFileModes);
    EXPECT_TRUE(program.Says("Cannot open database \"" + program.File(".dat").string() + "\". " +
                             kind.reason))
        << program.Output();
    EXPECT_TRUE(WaitFor([&] { return program.Capturing(); })) << "the error box holds up the meter";
    net->peer.Run(kPing);
    program.Signal(SIGTERM);  // while the error box is open
    EXPECT_TRUE(program.EndedCleanly()) << program.Output();
    EXPECT_EQ(ReadFileBytes(program.File(".dat")), before);
  }
}

TEST_F(ProgramProcess, ALockedDatabaseTakesTheRowsOnceItIsFree) {
  TProgramProcess& program = Program();
  WriteFileBytes(program.File(".cfg"), Settings());
  WriteDatabase(program.File(".dat"), 0);
  auto lock = std::make_unique<corvina::dbtest::TLockedElsewhere>(program.File(".dat"));
  ASSERT_TRUE(lock->Locked());
  program.Start(net->local.Name());
  EXPECT_TRUE(program.Says("Cannot open database \"" + program.File(".dat").string() +
                           "\". database is locked"))
      << program.Output();
  EXPECT_TRUE(WaitFor([&] { return program.Capturing(); }));
  lock.reset();
  WaitUntilRowsArrive(program);  // the next row opens the database
  net->peer.Run(kPing);
  EXPECT_TRUE(WaitFor([&] { return Count(program.File(".dat")) == 10; })) << program.Output();
  program.Signal(SIGTERM);
  EXPECT_TRUE(program.EndedCleanly()) << program.Output();
}

}  // namespace
