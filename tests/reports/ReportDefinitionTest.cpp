#include <gtest/gtest.h>

#include <sstream>

#include "reports/ReportDefinition.h"
#include "reports/ReportLayout.h"
#include "reports/ReportText.h"

using namespace corvina;

namespace {

std::string LoadError(const std::string& text) {
  std::istringstream in(text);
  try {
    LoadReportDefinition(in);
  } catch (const EReportError& e) {
    return e.what();
  }
  return "loaded";
}

constexpr const char* kMinimal =
    "query\nSELECT 1 AS N\nend\nband detail height=5\ncell 0 0 10 5 text=\"[N]\"\n";

TEST(ReportDefinitionTest, MalformedDefinitionsNameTheLineAndTheFault) {
  EXPECT_EQ(LoadError(kMinimal), "loaded");
  EXPECT_EQ(LoadError(""), "в описании нет запроса (query)");
  EXPECT_EQ(LoadError("query\nSELECT 1\n"), "строка 2: нет строки end");
  EXPECT_EQ(LoadError("query\nSELECT 1\nend\n"), "в описании нет полосы detail");
  EXPECT_EQ(LoadError(std::string(kMinimal) + "cell 0 0 10 6\n"),
            "строка 6: ячейка выходит за полосу");
  EXPECT_EQ(LoadError(std::string(kMinimal) + "\n; comment\nband detail height=5\n"),
            "строка 8: полоса detail уже задана");
  EXPECT_EQ(LoadError("var X = 1 +\n"),
            "строка 1: выражение \"1 +\", позиция 4: выражение не закончено");
  EXPECT_EQ(LoadError("var X = Foo(1)\n"),
            "строка 1: выражение \"Foo(1)\", позиция 5: неизвестная функция Foo");
  EXPECT_EQ(LoadError("var X = YearOf(1, 2)\n"),
            "строка 1: выражение \"YearOf(1, 2)\", позиция 13: функции YearOf нужно аргументов: 1");
  EXPECT_EQ(LoadError("band detail height=5\ncell 0 0 10 5 text=\"[N\"\n"),
            "строка 2: текст \"[N\": нет закрывающей ]");
  EXPECT_EQ(LoadError("band detail height=5\ncell 0 0 10 5 fill=1,2\n"), "строка 2: не цвет: 1,2");
  EXPECT_EQ(LoadError("band detail height=5\ncell 0 0 10 5 text=\"open\n"),
            "строка 2: нет закрывающей кавычки");
  EXPECT_EQ(LoadError("band groupheader height=5\n"),
            "строка 1: у заголовка группы нет условия group=");
  EXPECT_EQ(LoadError("page margin=110\n"), "строка 1: на странице не остается места");
}

TEST(ReportDefinitionTest, FiguresGroupDigitsAndWriteTwoDecimalsAfterAComma) {
  TFormatSettings fs = TFormatSettings::Russian();
  EXPECT_EQ(FormatValue("%2.2n", Variant::FromInteger(1234567, varInt64), fs), "1 234 567,00");
  EXPECT_EQ(FormatValue("%2.2n", Variant::FromInteger(0), fs), "0,00");
  EXPECT_EQ(FormatValue("%2.2n", Variant::FromInteger(-1000), fs), "-1 000,00");
  EXPECT_EQ(FormatValue("%2.2n", Variant::FromInteger(INT64_MIN, varInt64), fs),
            "-9 223 372 036 854 775 808,00");
  EXPECT_EQ(FormatValue("%2.2n", Variant::FromFloat(1234.5), fs), "1 234,50");
  EXPECT_EQ(FormatValue("%2.2n", Variant::Null(), fs), "");
  fs.ThousandSeparator = "\xC2\xA0";  // a locale that groups with a no-break space
  EXPECT_EQ(FormatValue("%2.2n", Variant::FromInteger(1234567), fs),
            "1\xC2\xA0"
            "234\xC2\xA0"
            "567,00");
}

TEST(ReportDefinitionTest, LayoutErrorsNameTheExpression) {
  std::istringstream in(std::string(kMinimal) +
                        "band title height=5\ncell 0 0 10 5 text=\"[Z + 1]\"\n");
  const TReportDefinition d = LoadReportDefinition(in);
  const TReportData data{{"N"}, {{Variant::FromInteger(1)}}};
  try {
    LayoutReport(d, data, {});
    ADD_FAILURE() << "laid out";
  } catch (const EReportError& e) {
    EXPECT_STREQ(e.what(), "выражение \"Z + 1\": неизвестное имя Z");
  }
  std::istringstream sum(std::string(kMinimal) +
                         "band reportfooter height=5\ncell 0 0 10 5 text=\"[Sum(N)]\"\n");
  const TReportData huge{{"N"},
                         {{Variant::FromInteger(INT64_MAX, varInt64)}, {Variant::FromInteger(1)}}};
  EXPECT_THROW(LayoutReport(LoadReportDefinition(sum), huge, {}), EReportError);
}

TEST(PreparedReportTest, SavedReportLoadsEqualAndForeignFilesAreRefused) {
  TPreparedReport report;
  report.Pages.resize(2);
  TPageCell cell;
  cell.X = 10.5;
  cell.Y = 20;
  cell.Width = 62;
  cell.Height = 5;
  cell.Style.Bold = true;
  cell.Style.HAlign = THAlign::Right;
  cell.Style.VAlign = TVAlign::Bottom;
  cell.Style.Frame = fsLeft | fsBottom;
  cell.Style.Fill = TRgb{240, 240, 228};
  cell.Text = "Итого по группе: \"a\\b\"\nвторая строка";
  report.Pages[1].Cells = {cell, TPageCell{}};
  report.Outline = {{"192.168.0.2", 1, 20}};
  report.Title = "ОТЧЕТ ЗА ДЕНЬ 05.01.2007";
  std::stringstream file;
  SavePreparedReport(report, file);
  EXPECT_EQ(LoadPreparedReport(file), report);

  auto loadError = [](const std::string& text) {
    std::istringstream in(text);
    try {
      LoadPreparedReport(in);
    } catch (const EReportError& e) {
      return std::string(e.what());
    }
    return std::string("loaded");
  };
  EXPECT_EQ(loadError("%PDF-1.4\n"), "это не файл отчета");
  EXPECT_EQ(loadError("CORVINA PREPARED REPORT 1\n"), "в отчете нет страниц");
  EXPECT_EQ(loadError("CORVINA PREPARED REPORT 1\ncell 0 0 1 1\n"), "строка 2: непонятная строка");
  EXPECT_EQ(loadError("CORVINA PREPARED REPORT 1\npage\ncell 0 0 1\n"),
            "строка 3: у ячейки нет положения и размера");
  EXPECT_EQ(loadError("CORVINA PREPARED REPORT 1\noutline 3 0 \"x\"\npage\n"),
            "оглавление ссылается на страницу, которой нет");
}

}  // namespace
