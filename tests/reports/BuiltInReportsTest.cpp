#include <gtest/gtest.h>

#include "reports/ReportTestSupport.h"
#include "reports/ReportText.h"

using namespace corvina;
using test::Texts;

namespace {

using Lines = std::vector<std::string>;

const Lines kDayHeading = {"Локальный адрес", "Время", "Входящий трафик, байт",
                           "Исходящий трафик, байт"};

Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// A group header as laid out: the address sits between the two captions of its row.
Lines Header(const std::string& ip, const std::string& heading) {
  return {"Локальный адрес", ip, heading, "Входящий трафик, байт", "Исходящий трафик, байт"};
}

class BuiltInReportsTest : public ::testing::Test {
 protected:
  void SetUp() override { db.Start(); }
  test::TReportDatabase db;
};

TEST_F(BuiltInReportsTest, DayReportSumsAnHourAndOrdersAddressesAsText) {
  db.Insert("192.168.0.2", {2007, 1, 5, 9, 15, 0, 0}, 100, 1);
  db.Insert("192.168.0.2", {2007, 1, 5, 9, 40, 0, 0}, 200, 2);
  db.Insert("192.168.0.10", {2007, 1, 5, 23, 10, 0, 0}, 1234567, 0);
  db.Insert("192.168.0.2", {2007, 1, 6, 0, 0, 0, 0}, 5, 5);  // the next day

  const auto report = db.Run("FR00D", EncodeDate(2007, 1, 5));
  ASSERT_TRUE(report);
  EXPECT_EQ(db.dialogs, Lines{"Отчет за день/Дата"});
  ASSERT_EQ(report->Pages.size(), 1u);
  EXPECT_EQ(Texts(report->Pages[0]),
            Join({{"ОТЧЕТ ЗА ДЕНЬ\n05.01.2007"},
                  Header("192.168.0.10", "Время"),
                  {"23:00 - 24:00", "1 234 567,00", "0,00"},
                  {"Итого по группе: 192.168.0.10", "1 234 567,00", "0,00"},
                  Header("192.168.0.2", "Время"),
                  {"9:00 - 10:00", "300,00", "3,00"},
                  {"Итого по группе: 192.168.0.2", "300,00", "3,00"},
                  {"Итого:", "1 234 867,00", "3,00"},
                  {"15.03.2007", "10:30", "1 из 1"}}));
  ASSERT_EQ(report->Outline.size(), 2u);
  EXPECT_EQ(report->Outline[1].Text, "192.168.0.2");
}

TEST_F(BuiltInReportsTest, MonthOfAnyDayAndTheWholePeriodWithoutADialog) {
  db.Insert("10.0.0.1", {2007, 1, 31, 23, 59, 59, 999}, 1, 0);
  db.Insert("10.0.0.1", {2007, 2, 1, 0, 0, 0, 0}, 2, 0);
  db.Insert("10.0.0.1", {2007, 2, 28, 12, 0, 0, 0}, 3, 0);
  db.Insert("10.0.0.1", {2007, 2, 28, 13, 0, 0, 0}, 4, 0);
  db.Insert("10.0.0.1", {2007, 3, 1, 0, 0, 0, 0}, 8, 0);

  const auto month = db.Run("FR00M", EncodeDate(2007, 2, 17));
  ASSERT_TRUE(month);
  EXPECT_EQ(Texts(month->Pages[0]), Join({{"ОТЧЕТ ЗА МЕСЯЦ\nФевраль 2007"},
                                          Header("10.0.0.1", "День"),
                                          {"1", "2,00", "0,00", "28", "7,00", "0,00"},
                                          {"Итого по группе: 10.0.0.1", "9,00", "0,00"},
                                          {"Итого:", "9,00", "0,00"},
                                          {"15.03.2007", "10:30", "1 из 1"}}));

  db.dialogs.clear();
  const auto all = db.Run("FR00ALL");
  ASSERT_TRUE(all);
  EXPECT_TRUE(db.dialogs.empty());
  EXPECT_EQ(Texts(all->Pages[0]), Join({{"ОТЧЕТ ЗА ВЕСЬ ПЕРИОД"},
                                        Header("10.0.0.1", "Период"),
                                        {"Январь 2007", "1,00", "0,00", "Февраль 2007", "9,00",
                                         "0,00", "Март 2007", "8,00", "0,00"},
                                        {"Итого по группе: 10.0.0.1", "18,00", "0,00"},
                                        {"Итого:", "18,00", "0,00"},
                                        {"15.03.2007", "10:30", "1 из 1"}}));
}

TEST_F(BuiltInReportsTest, NoRowsGiveTheTitleZeroTotalsAndThePageFooter) {
  const auto report = db.Run("FR00D", EncodeDate(2007, 1, 5));
  ASSERT_TRUE(report);
  ASSERT_EQ(report->Pages.size(), 1u);
  EXPECT_EQ(Texts(report->Pages[0]), (Lines{"ОТЧЕТ ЗА ДЕНЬ\n05.01.2007", "Итого:", "0,00", "0,00",
                                            "15.03.2007", "10:30", "1 из 1"}));
}

TEST_F(BuiltInReportsTest, ADialogClosedWithoutOkShowsNothing) {
  EXPECT_FALSE(db.Run("FR00M", std::nullopt));
  EXPECT_EQ(db.dialogs, Lines{"Отчет за месяц/Месяц"});
  EXPECT_FALSE(db.dm->Report().Running());
}

// Eight years of one address take most of two pages; the three months of
// the next no longer fit below them, so that group moves whole to a third.
TEST_F(BuiltInReportsTest, PagesCountTheirTotalAndNoGroupHeaderEndsAPage) {
  for (int m = 0; m < 96; ++m)
    db.Insert("10.0.0.1", {2000 + m / 12, m % 12 + 1, 1, 0, 0, 0, 0}, m, 0);
  for (int m = 1; m <= 3; ++m) db.Insert("10.0.0.2", {2007, m, 1, 0, 0, 0, 0}, 1, 0);
  const auto report = db.Run("FR00ALL");
  ASSERT_TRUE(report);
  const std::size_t pages = report->Pages.size();
  ASSERT_EQ(pages, 3u);
  for (std::size_t p = 0; p < pages; ++p) {
    const auto& cells = report->Pages[p].Cells;
    EXPECT_EQ(cells.back().Text, std::to_string(p + 1) + " из " + std::to_string(pages));
    for (const TPageCell& header : cells) {
      if (header.Text != "Локальный адрес") continue;
      bool rowBelow = false;
      for (const TPageCell& c : cells) rowBelow |= c.Y > header.Y + 9.99 && c.Y < header.Y + 10.01;
      EXPECT_TRUE(rowBelow) << "a group header alone at the bottom of page " << p + 1;
    }
  }
  int secondGroupPages = 0;
  for (const auto& page : report->Pages) {
    const Lines texts = Texts(page);
    secondGroupPages += std::count(texts.begin(), texts.end(), "10.0.0.2") > 0;
  }
  EXPECT_EQ(secondGroupPages, 1);
  ASSERT_EQ(report->Outline.size(), 2u);
  EXPECT_EQ(report->Outline[0].Page, 0);
  EXPECT_EQ(report->Outline[1].Page, 2);
  EXPECT_EQ(Texts(report->Pages[2])[1], "10.0.0.2");
}

TEST_F(BuiltInReportsTest, MissingDefinitionAndOpenRunAreClearErrors) {
  try {
    db.dm->RunReport("FR00X");
    ADD_FAILURE() << "no error";
  } catch (const EReportError& e) {
    EXPECT_STREQ(e.what(), "Нет описания отчета FR00X");
  }
  db.dm->Report().OnPreview = [this](const TPreparedReport&) { db.dm->RunReport("FR00D"); };
  EXPECT_THROW(db.Run("FR00ALL"), EReportError);
  EXPECT_FALSE(db.dm->Report().Running());
}

}  // namespace
