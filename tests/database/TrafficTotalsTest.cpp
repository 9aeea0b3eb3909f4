#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>

#include "DatabaseTestSupport.h"
#include "database/DateFunctions.h"
#include "database/ReportSource.h"
#include "reports/ReportTestSupport.h"

using namespace corvina;
using namespace corvina::dbtest;

namespace {

// The three definitions' queries with the parameters of every day and month
// that has rows, and of one that has none.
std::vector<TReportQuery> AllQueries() {
  std::vector<TReportQuery> queries;
  for (const char* name : {"FR00D", "FR00M", "FR00ALL"}) {
    TReportEngine engine;
    engine.LoadFromResource(name);
    const TReportDefinition& d = engine.Definition();
    for (int month = 1; month <= 4; ++month)
      for (int day : {1, 2, 28, 31}) {
        TReportMoment moment;
        if (!IsValidDate(2007, month, day)) continue;
        moment.DialogDate = EncodeDate(2007, month, day);
        queries.push_back({d.Query, d.TotalsQuery, EvaluateParameters(d, moment)});
      }
  }
  return queries;
}

class TrafficTotalsTest : public ::testing::Test {
 protected:
  // Every report query gives the same columns and rows from the totals as
  // the designed query on INETTRAFFIC, and at least one gives rows.
  void ExpectTotalsEqualDesignedQueries() {
    TDM& dm = *db.dm;
    ASSERT_TRUE(dm.TotalsReady());
    dm.Flush();
    std::size_t rows = 0;
    for (const TReportQuery& q : AllQueries()) {
      const TReportData designed = RunReportQuery(*dm.Connection(), false, q);
      const TReportData totals = RunReportQuery(*dm.Connection(), true, q);
      EXPECT_EQ(totals.Columns, designed.Columns) << q.TotalsSql;
      EXPECT_EQ(totals.Rows, designed.Rows) << q.TotalsSql;
      rows += designed.Rows.size();
    }
    EXPECT_GT(rows, 0u);
  }

  void InsertSample() {
    const char* ips[] = {"192.168.0.2", "192.168.0.10", "10.0.0.1"};
    for (int i = 0; i < 600; ++i) {
      const int month = 1 + i % 4, day = month == 2 ? 1 + i % 28 : 1 + i % 31;
      db.Insert(ips[i % 3], {2007, month, day, i % 24, (i * 7) % 60, 0, 0}, i, 600 - i);
      if (i % 50 == 0) db.dm->Flush();  // sums of one key across groups add up
    }
    // Stored texts round to the millisecond: this one is stored as 10:00:00.000.
    db.dm->InsertTraffic("10.0.0.1", EncodeDateTime({2007, 1, 1, 9, 59, 59, 999}) + 0.6 / 86400000,
                         0, 7, 7);
    db.Insert("10.0.0.1", {2007, 1, 1, 0, 0, 0, 0}, 0, 0);  // zero bytes still make a row
  }

  std::string Schema() {
    const auto rows =
        db.dm->Connection()->Query("SELECT sql FROM sqlite_schema WHERE name = 'TRAFFICTOTALS'");
    return rows.empty() ? "" : rows[0][0].AsString();
  }

  test::TReportDatabase db;
};

TEST(DateFunctions, ReadTheStoredTextOnly) {
  TStoredHour h;
  ASSERT_TRUE(ParseStoredHour("2007-01-05 09:40:00.000", 23, h));
  EXPECT_EQ((std::vector<int>{h.Year, h.Month, h.Day, h.Hour}), (std::vector<int>{2007, 1, 5, 9}));
  ASSERT_TRUE(ParseStoredHour("2007-01-05", 10, h));
  EXPECT_EQ(h.Hour, 0);
  for (const char* bad : {"2007-02-30 10:00", "2007-1-05 10:00", "2007-01-05 24:00", "2007-01-05x",
                          "2007-01-05 9", "39087.5", ""})
    EXPECT_FALSE(ParseStoredHour(bad, std::strlen(bad), h)) << bad;
}

TEST_F(TrafficTotalsTest, TotalsEqualTheDesignedQueriesAfterInsertsAndDeletions) {
  db.Start();
  EXPECT_EQ(Schema(), kTrafficTotalsSchema) << "a new file has the table from its template";
  InsertSample();
  ExpectTotalsEqualDesignedQueries();
  EXPECT_GT(db.dm->DeletePeriod(EncodeDate(2007, 2, 28), EncodeDate(2007, 3, 2)), 0);
  EXPECT_GT(db.dm->DeletePeriod(EncodeDate(2007, 1, 1), EncodeDate(2007, 1, 1)), 0);
  ExpectTotalsEqualDesignedQueries();
  db.dm.reset();  // and after the next start
  db.Start();
  db.Insert("192.168.0.2", {2007, 4, 30, 23, 0, 0, 0}, 1, 1);
  ExpectTotalsEqualDesignedQueries();
}

TEST_F(TrafficTotalsTest, AFileOfTheEarlierVersionGetsItsTotalsOnce) {
  db.Start();
  InsertSample();
  db.dm->Flush();
  db.dm->Connection()->Execute("DROP TABLE TRAFFICTOTALS");
  db.dm.reset();
  db.Start();
  EXPECT_EQ(Schema(), kTrafficTotalsSchema);
  ExpectTotalsEqualDesignedQueries();
}

TEST_F(TrafficTotalsTest, AForeignTableLeavesTheReportsOnTheDesignedQueries) {
  db.Start();
  db.Insert("10.0.0.1", {2007, 3, 1, 9, 0, 0, 0}, 5, 6);
  db.dm->Flush();
  db.dm->Connection()->Execute("DROP TABLE TRAFFICTOTALS");
  db.dm->Connection()->Execute("CREATE TABLE TRAFFICTOTALS (X TEXT)");
  db.dm.reset();
  db.Start();
  EXPECT_FALSE(db.dm->TotalsReady());
  EXPECT_TRUE(db.errors.empty());
  db.Insert("10.0.0.1", {2007, 3, 1, 9, 30, 0, 0}, 1, 1);
  EXPECT_EQ(db.dm->FailedInsertCount(), 0u);
  const auto report = db.Run("FR00D", EncodeDate(2007, 3, 1));
  ASSERT_TRUE(report);
  EXPECT_EQ(test::Texts(report->Pages[0])[6], "9:00 - 10:00");
  EXPECT_EQ(test::Texts(report->Pages[0])[7], "6,00");
  EXPECT_EQ(Schema(), "CREATE TABLE TRAFFICTOTALS (X TEXT)");
}

TEST_F(TrafficTotalsTest, AReadOnlyConnectionReadsWithoutTotalsAndWritesNothing) {
  db.Start();
  db.Insert("10.0.0.1", {2007, 3, 1, 9, 0, 0, 0}, 5, 6);
  db.dm->Flush();
  db.dm->Connection()->Execute("DROP TABLE TRAFFICTOTALS");
  db.dm.reset();
  const fs::path file = db.folder.Path() / "Meter.dat";
  const std::string before = ReadFileBytes(file);
  TSQLiteConnection reader;
  TTrafficTotals totals;
  reader.OnOpen = [&] { totals.Attach(reader); };
  reader.SetConnectionString(file.string());
  reader.SetReadOnly(true);
  reader.Open();
  EXPECT_FALSE(totals.Ready());
  TReportEngine engine;
  engine.LoadFromResource("FR00ALL");
  const TReportData data = RunReportQuery(
      reader, totals.Ready(), {engine.Definition().Query, engine.Definition().TotalsQuery, {}});
  ASSERT_EQ(data.Rows.size(), 1u);
  EXPECT_EQ(data.Rows[0][3], Variant::FromInteger(5, varInt64));
  reader.Close();
  EXPECT_EQ(ReadFileBytes(file), before);
}

}  // namespace

TEST_F(TrafficTotalsTest, DaySumsTakeTheWholeLocalDayFromTheTotalsOrTheRows) {
  db.Start();
  db.Insert("10.0.0.1", {2007, 3, 1, 23, 59, 59, 999}, 1, 2);  // the day before
  db.Insert("10.0.0.1", {2007, 3, 2, 0, 0, 0, 0}, 10, 20);
  db.Insert("192.168.0.2", {2007, 3, 2, 23, 59, 59, 999}, 100, 200);
  db.Insert("10.0.0.1", {2007, 3, 3, 0, 0, 0, 0}, 1000, 2000);  // the day after
  db.dm->Flush();
  const TDateTime noon = EncodeDate(2007, 3, 2) + 0.5;
  EXPECT_EQ(db.dm->DaySums(noon), (TTrafficSums{110, 220}));
  EXPECT_EQ(db.dm->DaySums(EncodeDate(2007, 3, 4)), TTrafficSums{});
  db.dm->Connection()->Execute("DROP TABLE TRAFFICTOTALS");
  db.dm->Connection()->Execute("CREATE TABLE TRAFFICTOTALS (X TEXT)");
  db.dm.reset();
  db.Start();
  ASSERT_FALSE(db.dm->TotalsReady());
  EXPECT_EQ(db.dm->DaySums(noon), (TTrafficSums{110, 220}));
}
