#include <gtest/gtest.h>

#include "DatabaseTestSupport.h"
#include "database/SQLiteConnection.h"
#include "netinfo/sysutil.h"

using namespace corvina;
using namespace corvina::dbtest;

namespace {

TEST(FormatSQLiteDateTime, LocalIsoTextToTheMillisecond) {
  EXPECT_EQ(FormatSQLiteDateTime(EncodeDateTime({2007, 1, 5, 14, 3, 22, 0})),
            "2007-01-05 14:03:22.000");
  EXPECT_EQ(FormatSQLiteDateTime(EncodeDate(2007, 1, 5)), "2007-01-05 00:00:00.000");
  EXPECT_EQ(FormatSQLiteDateTime(EncodeDateTime({1, 1, 1, 0, 0, 0, 0})), "0001-01-01 00:00:00.000");
  EXPECT_EQ(FormatSQLiteDateTime(EncodeDateTime({9999, 12, 31, 23, 59, 59, 999})),
            "9999-12-31 23:59:59.999");
  EXPECT_THROW(FormatSQLiteDateTime(EncodeDate(9999, 12, 31) + 1), EDatabaseError);
  EXPECT_THROW(FormatSQLiteDateTime(-1e300), EDatabaseError);
}

class SQLiteConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file = (folder.Path() / "traffic.dat").string();
    SaveResourceToFile("DB", "MDB", file);
  }
  TTempFolder folder;
  std::string file;
  TSQLiteConnection connection;
};

TEST_F(SQLiteConnectionTest, NeverCreatesAMissingFile) {
  EXPECT_THROW(connection.Open(), EDatabaseError);  // no file name yet
  connection.SetConnectionString((folder.Path() / "missing.dat").string());
  try {
    connection.Open();
    ADD_FAILURE() << "opened a missing file";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "unable to open database file");
  }
  EXPECT_FALSE(connection.Connected());
  EXPECT_FALSE(fs::exists(folder.Path() / "missing.dat"));
}

TEST_F(SQLiteConnectionTest, ValuesRoundTripThroughBoundParameters) {
  connection.SetConnectionString(file);
  EXPECT_EQ(
      connection.Execute("INSERT INTO INETTRAFFIC VALUES (?1, ?2, ?3, ?4, ?5)",
                         {Variant::FromString("a'b\"c"), Variant::FromDate(EncodeDate(2007, 3, 1)),
                          Variant::Null(), Variant::FromInteger(-5), Variant::FromFloat(2.5)}),
      1);
  EXPECT_TRUE(connection.Connected()) << "opened on use";
  const auto rows = connection.Query("SELECT * FROM INETTRAFFIC WHERE STRT < ?1",
                                     {Variant::FromDate(EncodeDateTime({2007, 3, 1, 0, 0, 0, 1}))});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0],
            (TRow{Variant::FromString("a'b\"c"), Variant::FromString("2007-03-01 00:00:00.000"),
                  Variant::Null(), Variant::FromInteger(-5, varInt64), Variant::FromFloat(2.5)}));
}

TEST_F(SQLiteConnectionTest, FailuresCarryTheEngineTextAndLeaveTheStatementReusable) {
  connection.SetConnectionString(file);
  EXPECT_THROW(connection.Query("SELECT * FROM INETTRAFFIC WHERE IP = ?1"),
               EDatabaseError);  // too few values
  try {
    connection.Query("SELECT NOPE FROM INETTRAFFIC");
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "no such column: NOPE");
  }
  const std::string insert = "INSERT INTO INETTRAFFIC (IP) VALUES (?1)";
  EXPECT_THROW(connection.Execute(insert, {Variant::FromDate(1e300)}), EDatabaseError);
  EXPECT_EQ(connection.Execute(insert, {Variant::FromString("10.0.0.1")}), 1);
  connection.Close();
  EXPECT_EQ(connection.Query("SELECT IP FROM INETTRAFFIC").size(), 1u) << "reopened on use";
}

}  // namespace
