// The program run as `corvina --report ... --pdf FILE`, its PDF read back
// through pdftotext.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "reports/ReportTestSupport.h"

using namespace corvina;

namespace {

struct TRun {
  int status = -1;
  std::string output;  // standard output and error
};

TRun Shell(const std::string& command) {
  TRun run;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Report(const std::string& args) {
  return "LC_ALL=C.UTF-8 '" CORVINA_EXECUTABLE "' --report " + args;
}

class ReportCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Start();
    db.Insert("192.168.0.2", {2007, 3, 5, 9, 15, 0, 0}, 100, 1);
    db.Insert("192.168.0.2", {2007, 3, 5, 9, 40, 0, 0}, 200, 2);
    db.Insert("192.168.0.10", {2007, 3, 5, 23, 10, 0, 0}, 1234567, 0);
    db.dm->Flush();
    dat = (db.folder.Path() / "Meter.dat").string();
    pdf = (db.folder.Path() / "day.pdf").string();
  }
  test::TReportDatabase db;
  std::string dat, pdf;
};

TEST_F(ReportCommandTest, DayReportAsSearchablePdf) {
  const TRun run =
      Shell(Report("FR00D --date 2007-03-05 --database '" + dat + "' --pdf '" + pdf + "'"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");
  const TRun text = Shell("pdftotext -layout '" + pdf + "' -");
  ASSERT_EQ(text.status, 0) << text.output;
  std::size_t at = 0;
  for (const char* expected : {"ОТЧЕТ ЗА ДЕНЬ",
                               "05.03.2007",
                               "Локальный адрес",
                               "192.168.0.10",
                               "Время",
                               "Входящий трафик, байт",
                               "Исходящий трафик, байт",
                               "23:00 - 24:00",
                               "1 234 567,00",
                               "Итого по группе: 192.168.0.10",
                               "1 234 567,00",
                               "192.168.0.2",
                               "9:00 - 10:00",
                               "300,00",
                               "3,00",
                               "Итого по группе: 192.168.0.2",
                               "300,00",
                               "Итого:",
                               "1 234 867,00",
                               "3,00",
                               "1 из 1"}) {
    const std::size_t found = text.output.find(expected, at);
    ASSERT_NE(found, std::string::npos) << expected << " after offset " << at << " in\n"
                                        << text.output;
    at = found + std::string(expected).size();
  }
}

TEST_F(ReportCommandTest, FaultsGiveAMessageAndAStatus) {
  const struct {
    std::string args;
    int status;
    std::string message;
  } cases[] = {
      {"FR00X --pdf x.pdf", 2, "corvina: неизвестный отчет FR00X"},
      {"FR00D --date 2007-02-30 --pdf x.pdf", 2, "corvina: дата 2007-02-30 не в виде ГГГГ-ММ-ДД"},
      {"FR00D --database '" + dat + "'", 2, "corvina: не указан файл PDF (--pdf)"},
      {"FR00D --pdf x.pdf --frobnicate", 2, "corvina: неизвестный параметр --frobnicate"},
      {"FR00D --database '" + dat + ".missing' --pdf x.pdf", 3,
       "corvina: нет файла базы данных " + dat + ".missing"},
      {"FR00ALL --database /etc/hostname --pdf x.pdf", 3,
       "corvina: /etc/hostname: file is not a database"},
      {"FR00ALL --database '" + dat + "' --pdf '" + pdf + "/in/a/file.pdf'", 5,
       "corvina: " + pdf + "/in/a/file.pdf: Not a directory"},
  };
  test::WriteFileBytes(pdf, "");
  for (const auto& c : cases) {
    const TRun run = Shell(Report(c.args));
    EXPECT_EQ(run.status, c.status) << c.args;
    EXPECT_EQ(run.output.substr(0, c.message.size()), c.message) << c.args;
  }
}

}  // namespace
