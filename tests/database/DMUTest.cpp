#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <thread>

#include "DatabaseTestSupport.h"
#include "database/DMU.h"
#include "netinfo/sysutil.h"
#include "platform/System.h"

using namespace corvina;
using namespace corvina::dbtest;

namespace {

const std::string kTemplate = ReadFileBytes(CORVINA_DATABASE_TEMPLATE_FILE);

// Runs the sqlite3 command-line tool on file: another process, another library instance.
std::string Sqlite3Cli(const fs::path& file, const std::string& sql) {
  const std::string command =
      "sqlite3 -batch -separator '|' '" + file.string() + "' \"" + sql + "\" 2>&1";
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "cannot run sqlite3";
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
  pclose(pipe);
  return out;
}

class DMUTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetExecutablePath((folder.Path() / "Meter").string());
    datFile = folder.Path() / "Meter.dat";
  }
  void TearDown() override { SetExecutablePath(""); }

  std::unique_ptr<TDM> Start() {
    auto dm = std::make_unique<TDM>(
        TDMCallbacks{[this](const std::string& message) { events.push_back("error: " + message); },
                     [this](TDM& dm) {
                       events.push_back("product info: " + dm.Connection()->Provider() +
                                        (dm.DatabaseOpen() ? ", open" : ", closed"));
                     },
                     [this](TDM&) { events.push_back("main window"); }});
    dm->DataModuleCreate();
    return dm;
  }

  // A start on a file that cannot be opened: one error box with the
  // engine's text, start-up goes on, inserts fail silently and are counted,
  // and the file is never written.
  void ExpectRefusedFile(const std::string& engineText) {
    const std::string before = ReadFileBytes(datFile);
    auto dm = Start();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], "error: " + engineText);
    EXPECT_EQ(events[1].substr(events[1].size() - 8), ", closed");
    EXPECT_EQ(events[2], "main window");
    EXPECT_FALSE(dm->DatabaseOpen());
    for (int i = 0; i < 3; ++i) dm->InsertTraffic("10.0.0.1", EncodeDate(2007, 1, 5), 0, 100, 0);
    EXPECT_EQ(dm->FailedInsertCount(), 3u);
    EXPECT_THROW(dm->DeletePeriod(EncodeDate(2007, 1, 1), EncodeDate(2007, 1, 31)), EDatabaseError);
    EXPECT_EQ(events.size(), 3u) << "inserts and deletions show no error box";
    dm.reset();
    EXPECT_EQ(ReadFileBytes(datFile), before);
  }

  TTempFolder folder;
  fs::path datFile;
  std::vector<std::string> events;
};

TEST_F(DMUTest, FileNamesDifferOnlyInExtensionAndTheSettingsRule) {
  EXPECT_EQ(TDM::DataFileName(), (folder.Path() / "Meter.dat").string());
  EXPECT_EQ(TDM::CfgFileName(), (folder.Path() / "meter.cfg").string());
  SetExecutablePath("/opt/Tools/Meter.v2.EXE");
  EXPECT_EQ(TDM::DataFileName(), "/opt/Tools/Meter.v2.dat");
  EXPECT_EQ(TDM::CfgFileName(), "/opt/Tools/meter.v2.cfg");
}

TEST_F(DMUTest, FirstStartWritesTheTemplateThenAStartLeavesTheFileAlone) {
  ASSERT_EQ(kTemplate.substr(0, 16), std::string("SQLite format 3\0", 16));
  auto dm = Start();
  EXPECT_EQ(events, (std::vector<std::string>{"product info: SQLite " SQLITE_VERSION ", open",
                                              "main window"}));
  EXPECT_TRUE(dm->DatabaseOpen());
  EXPECT_EQ(dm->Connection()->ConnectionString(), datFile.string());
  EXPECT_TRUE(dm->Connection()->Query("SELECT * FROM INETTRAFFIC").empty());
  dm.reset();
  EXPECT_EQ(ReadFileBytes(datFile), kTemplate);

  events.clear();
  dm = Start();
  EXPECT_TRUE(dm->DatabaseOpen());
  dm.reset();
  EXPECT_EQ(ReadFileBytes(datFile), kTemplate);
  EXPECT_EQ(Sqlite3Cli(datFile, ".schema"),
            "CREATE TABLE INETTRAFFIC (IP VARCHAR(15), STRT DATETIME, DURATION INTEGER, INCOMING "
            "INTEGER, "
            "OUTGOING INTEGER);\n" +
                std::string(kTrafficTotalsSchema) + ";\n");
}

TEST_F(DMUTest, FilesThatAreNoTrafficDatabaseAreRefusedUntouched) {
  WriteFileBytes(datFile, "");
  ExpectRefusedFile("no such table: INETTRAFFIC");
  events.clear();
  WriteFileBytes(datFile, "IP;STRT;INCOMING\n10.0.0.1;05.01.2007;1500\n");
  ExpectRefusedFile("file is not a database");
  events.clear();
  std::string jet(4096, '\0');
  jet.replace(0, 19, std::string("\0\1\0\0Standard Jet DB", 19));
  WriteFileBytes(datFile, jet);
  ExpectRefusedFile("file is not a database");
}

TEST_F(DMUTest, TruncatedDatabaseIsRefusedUntouched) {
  {
    auto dm = Start();
    for (int i = 0; i < 5000; ++i)
      dm->InsertTraffic("192.168.0.5", EncodeDate(2007, 1, 5) + i / 86400.0, 0, i, 0);
  }
  ASSERT_GT(fs::file_size(datFile), 16 * 4096u);
  fs::resize_file(datFile, 3 * 4096);
  events.clear();
  ExpectRefusedFile("database disk image is malformed");
}

TEST_F(DMUTest, LockedFileIsRefusedThenInsertsOpenItOnceFreed) {
  WriteFileBytes(datFile, kTemplate);
  TLockedElsewhere lock(datFile);
  ASSERT_TRUE(lock.Locked());
  auto dm = Start();
  EXPECT_EQ(events.front(), "error: database is locked");
  EXPECT_FALSE(dm->DatabaseOpen());
  dm->InsertTraffic("10.0.0.1", EncodeDateTime({2007, 1, 5, 10, 0, 0, 0}), 0, 1, 0);
  EXPECT_EQ(dm->FailedInsertCount(), 1u);

  lock.Release();
  dm->InsertTraffic("10.0.0.1", EncodeDateTime({2007, 1, 5, 10, 0, 1, 0}), 0, 2, 0);
  EXPECT_EQ(dm->FailedInsertCount(), 1u);
  EXPECT_TRUE(dm->DatabaseOpen());
  EXPECT_EQ(events.size(), 3u) << "the open on use shows nothing";
  dm->Flush();
  EXPECT_EQ(Sqlite3Cli(datFile, "SELECT STRT, INCOMING FROM INETTRAFFIC"),
            "2007-01-05 10:00:01.000|2\n");
}

TEST_F(DMUTest, ReadOnlyFileIsRefusedUntouched) {
  TObeyFileModes obey;
  if (!obey.Active()) GTEST_SKIP() << "cannot drop the permission override";
  WriteFileBytes(datFile, kTemplate);
  fs::permissions(datFile, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  ExpectRefusedFile("attempt to write a readonly database");
}

TEST_F(DMUTest, AJournalLeftUnwritableByAnotherUserIsRefusedUntouched) {
  TObeyFileModes obey;
  if (!obey.Active()) GTEST_SKIP() << "cannot drop the permission override";
  WriteFileBytes(datFile, kTemplate);
  // A writer that dies leaves its -wal behind; this one belongs to someone else.
  const fs::path script = folder.Path() / "die.sql";
  WriteFileBytes(script, "INSERT INTO INETTRAFFIC (IP) VALUES ('a');\n.shell kill -9 $PPID\n");
  std::system(
      ("sqlite3 '" + datFile.string() + "' < '" + script.string() + "' 2>/dev/null").c_str());
  ASSERT_TRUE(fs::exists(datFile.string() + "-wal"));
  fs::permissions(datFile.string() + "-wal", fs::perms::owner_read);
  ExpectRefusedFile("attempt to write a readonly database");
}

TEST_F(DMUTest, ReadOnlyFolderWithoutFileStopsStartUpWithTheWriteError) {
  TObeyFileModes obey;
  if (!obey.Active()) GTEST_SKIP() << "cannot drop the permission override";
  fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
  TDM dm({[this](const std::string& m) { events.push_back(m); },
          [this](TDM&) { events.push_back("product info"); },
          [this](TDM&) { events.push_back("main window"); }});
  try {
    dm.DataModuleCreate();
    ADD_FAILURE() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_NE(std::string(e.what()).find(datFile.string()), std::string::npos) << e.what();
  }
  EXPECT_TRUE(events.empty());
  EXPECT_FALSE(fs::exists(datFile));
}

TEST_F(DMUTest, RowsAreReadByAnotherProcessAsLocalDateTimes) {
  auto dm = Start();
  const auto groupOpened = std::chrono::steady_clock::now();
  dm->InsertTraffic("192.168.0.5", EncodeDateTime({2007, 1, 5, 14, 3, 22, 0}), 0, 1500, 0);
  dm->InsertTraffic("192.168.0.5", EncodeDate(2007, 1, 5), 0, 0, 0);
  dm->InsertTraffic("10.1.2.3'--", EncodeDateTime({2007, 12, 31, 23, 59, 59, 700}), 0, 0,
                    2147483647);
  EXPECT_EQ(dm->FailedInsertCount(), 0u);
  // Only a slow machine takes a commit interval for three inserts; then the last one commits.
  if (std::chrono::steady_clock::now() - groupOpened < TDM::kCommitInterval) {
    EXPECT_EQ(Sqlite3Cli(datFile, "SELECT COUNT(*) FROM INETTRAFFIC"), "0\n")
        << "the group is not committed yet";
  }
  dm->Flush();
  // While the program still runs: WAL lets another process read committed rows.
  EXPECT_EQ(Sqlite3Cli(datFile,
                       "SELECT IP, STRT, typeof(STRT), DURATION, INCOMING, OUTGOING, date(STRT), "
                       "strftime('%H', STRT) FROM INETTRAFFIC ORDER BY STRT"),
            "192.168.0.5|2007-01-05 00:00:00.000|text|0|0|0|2007-01-05|00\n"
            "192.168.0.5|2007-01-05 14:03:22.000|text|0|1500|0|2007-01-05|14\n"
            "10.1.2.3'--|2007-12-31 23:59:59.700|text|0|0|2147483647|2007-12-31|23\n");
}

TEST_F(DMUTest, AGroupOfRowsIsCommittedByTheFirstInsertAfterTheInterval) {
  auto dm = Start();
  const TDateTime t = EncodeDateTime({2007, 1, 5, 10, 0, 0, 0});
  dm->InsertTraffic("10.0.0.1", t, 0, 1, 0);
  std::this_thread::sleep_for(TDM::kCommitInterval + std::chrono::milliseconds(20));
  dm->InsertTraffic("10.0.0.1", t, 0, 2, 0);  // closes the group it joined
  EXPECT_EQ(Sqlite3Cli(datFile, "SELECT SUM(INCOMING) FROM INETTRAFFIC"), "3\n");
  dm->InsertTraffic("10.0.0.1", t, 0, 4, 0);
  dm.reset();  // closing commits the open group
  EXPECT_EQ(Sqlite3Cli(datFile, "SELECT SUM(INCOMING) FROM INETTRAFFIC"), "7\n");
}

TEST_F(DMUTest, DeletePeriodTakesWholeDaysUpToTheLastMillisecond) {
  auto dm = Start();
  const TDateTime stamps[] = {
      EncodeDateTime({2007, 2, 28, 23, 59, 59, 999}), EncodeDate(2007, 3, 1),
      EncodeDateTime({2007, 3, 31, 23, 59, 59, 700}), EncodeDate(2007, 4, 1),
      EncodeDateTime({2007, 4, 2, 12, 0, 0, 0}),
  };
  for (TDateTime t : stamps) dm->InsertTraffic("192.168.0.5", t, 0, 1, 0);
  // Times of day in the bounds do not narrow the period.
  EXPECT_EQ(dm->DeletePeriod(EncodeDateTime({2007, 3, 1, 15, 0, 0, 0}),
                             EncodeDateTime({2007, 3, 31, 8, 0, 0, 0})),
            2);
  EXPECT_EQ(dm->DeletePeriod(EncodeDate(2007, 4, 2), EncodeDate(2007, 4, 2)), 1);  // one whole day
  EXPECT_EQ(dm->DeletePeriod(EncodeDate(2007, 5, 1), EncodeDate(2007, 4, 1)),
            0);  // reversed: nothing
  EXPECT_EQ(Sqlite3Cli(datFile, "SELECT STRT FROM INETTRAFFIC ORDER BY STRT"),
            "2007-02-28 23:59:59.999\n2007-04-01 00:00:00.000\n");
}

TEST_F(DMUTest, ReportQueriesGroupStoredTimesByHour) {
  auto dm = Start();
  dm->InsertTraffic("192.168.0.5", EncodeDateTime({2007, 1, 5, 9, 15, 0, 0}), 0, 100, 1);
  dm->InsertTraffic("192.168.0.5", EncodeDateTime({2007, 1, 5, 9, 40, 0, 0}), 0, 200, 2);
  dm->InsertTraffic("192.168.0.5", EncodeDateTime({2007, 1, 6, 9, 40, 0, 0}), 0, 400, 4);
  dm->Flush();
  const auto rows = dm->Connection()->Query(
      "SELECT IP, CAST(strftime('%H', STRT) AS INTEGER) AS H, SUM(INCOMING), SUM(OUTGOING) FROM "
      "INETTRAFFIC "
      "WHERE CAST(strftime('%Y', STRT) AS INTEGER) = ?1 AND CAST(strftime('%m', STRT) AS INTEGER) "
      "= ?2 "
      "AND CAST(strftime('%d', STRT) AS INTEGER) = ?3 GROUP BY IP, H ORDER BY IP, H",
      {Variant::FromInteger(2007), Variant::FromInteger(1), Variant::FromInteger(5)});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0],
            (TRow{Variant::FromString("192.168.0.5"), Variant::FromInteger(9, varInt64),
                  Variant::FromInteger(300, varInt64), Variant::FromInteger(3, varInt64)}));
}

TEST_F(DMUTest, RowsThatCannotBeWrittenAreCounted) {
  TDM idle({});
  idle.InsertTraffic("10.0.0.1", EncodeDate(2007, 1, 5), 0, 1, 0);  // before DataModuleCreate
  EXPECT_EQ(idle.FailedInsertCount(), 1u);
  auto dm = Start();
  dm->InsertTraffic("10.0.0.1", std::nan(""), 0, 1, 0);
  dm->InsertTraffic("10.0.0.1", 1e300, 0, 1, 0);
  EXPECT_EQ(dm->FailedInsertCount(), 2u);
  EXPECT_TRUE(dm->Connection()->Query("SELECT * FROM INETTRAFFIC").empty());
}

// Another process holds the file's write lock for a second, as a second
// sqlite3 session or a backup tool would.
class TWriterElsewhere {
 public:
  explicit TWriterElsewhere(const fs::path& file) {
    script_ = file.string() + ".writer.sql";
    WriteFileBytes(script_,
                   "BEGIN IMMEDIATE;\nINSERT INTO INETTRAFFIC (IP) VALUES ('elsewhere');\n"
                   ".print locked\n.shell sleep 1\nCOMMIT;\n");
    pipe_ = popen(("sqlite3 '" + file.string() + "' < '" + script_ + "'").c_str(), "r");
    char line[64] = "";
    locked_ = pipe_ && std::fgets(line, sizeof line, pipe_) && std::string(line) == "locked\n";
  }
  ~TWriterElsewhere() { Wait(); }
  bool Locked() const { return locked_; }
  void Wait() {
    if (pipe_) pclose(pipe_);
    pipe_ = nullptr;
    fs::remove(script_);
  }

 private:
  std::string script_;
  FILE* pipe_ = nullptr;
  bool locked_ = false;
};

TEST_F(DMUTest, ARowTheFileRefusesCostsThatRowAlone) {
  auto dm = Start();
  dm->Connection()->Execute(
      "CREATE TRIGGER refuse BEFORE INSERT ON INETTRAFFIC WHEN NEW.IP = 'bad' "
      "BEGIN SELECT RAISE(ABORT, 'refused'); END");
  const TDateTime t = EncodeDateTime({2007, 1, 5, 10, 0, 0, 0});
  dm->InsertTraffic("bad", t, 0, 1, 0);
  dm->InsertTraffic("10.0.0.1", t, 0, 2, 0);
  dm->Flush();
  dm->InsertTraffic("10.0.0.1", t, 0, 4, 0);
  dm->Flush();
  EXPECT_EQ(dm->FailedInsertCount(), 1u);
  EXPECT_EQ(Sqlite3Cli(datFile, "SELECT COUNT(*), SUM(INCOMING) FROM INETTRAFFIC"), "2|6\n");
}

TEST_F(DMUTest, RowsWaitWhileAnotherProgramWritesTheFile) {
  auto dm = Start();
  TWriterElsewhere writer(datFile);
  ASSERT_TRUE(writer.Locked());
  const TDateTime t = EncodeDateTime({2007, 1, 5, 10, 0, 0, 0});
  dm->InsertTraffic("10.0.0.1", t, 0, 1, 0);
  dm->Flush();
  EXPECT_TRUE(dm->RowsPending()) << "the lock outlasts the wait";
  for (int i = 0; i < 4; ++i) {
    dm->InsertTraffic("10.0.0.1", t, 0, 1, 0);
    dm->Flush();
  }
  writer.Wait();
  dm->Flush();
  EXPECT_FALSE(dm->RowsPending());
  EXPECT_EQ(dm->FailedInsertCount(), 0u);
  EXPECT_EQ(Sqlite3Cli(datFile, "SELECT COUNT(*) FROM INETTRAFFIC WHERE IP = '10.0.0.1'"), "5\n");
}

TEST_F(DMUTest, AFullDiskCostsTheGroupAndLeavesASoundFile) {
  auto dm = Start();
  const TDateTime t = EncodeDateTime({2007, 1, 5, 10, 0, 0, 0});
  dm->InsertTraffic("10.0.0.1", t, 0, 1, 0);
  dm->Flush();
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit full = saved;
  full.rlim_cur = 64 * 1024;  // no file may grow past this: a full disk
  setrlimit(RLIMIT_FSIZE, &full);
  for (int i = 0; i < 5000; ++i) dm->InsertTraffic("10.0.0.1", t, 0, 1, 0);
  dm->Flush();
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(dm->FailedInsertCount(), 5000u);
  dm->InsertTraffic("10.0.0.2", t, 0, 1, 0);
  dm->Flush();
  EXPECT_EQ(dm->FailedInsertCount(), 5000u) << "space again: rows are stored again";
  dm.reset();
  EXPECT_EQ(Sqlite3Cli(datFile, "PRAGMA integrity_check; SELECT COUNT(*) FROM INETTRAFFIC"),
            "ok\n2\n");
}

TEST_F(DMUTest, AFileDeletedOrReplacedWhileRunningIsFollowed) {
  auto dm = Start();
  const TDateTime t = EncodeDateTime({2007, 1, 5, 10, 0, 0, 0});
  dm->InsertTraffic("10.0.0.1", t, 0, 1, 0);
  dm->Flush();
  fs::remove(datFile);
  dm->InsertTraffic("10.0.0.2", t, 0, 2, 0);
  dm->Flush();
  EXPECT_EQ(Sqlite3Cli(datFile, "SELECT IP FROM INETTRAFFIC"), "10.0.0.2\n")
      << "a new file from the template";

  const fs::path other = folder.Path() / "restored.dat";
  WriteFileBytes(other, kTemplate);
  Sqlite3Cli(other, "INSERT INTO INETTRAFFIC (IP) VALUES ('restored')");
  fs::rename(other, datFile);
  dm->InsertTraffic("10.0.0.3", t, 0, 3, 0);
  dm->Flush();
  EXPECT_EQ(Sqlite3Cli(datFile, "SELECT IP FROM INETTRAFFIC ORDER BY IP"), "10.0.0.3\nrestored\n");
  EXPECT_EQ(dm->FailedInsertCount(), 0u);
}

}  // namespace
