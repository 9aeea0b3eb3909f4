#include "reports/ReportCommand.h"

#include <QGuiApplication>
#include <cstdio>
#include <filesystem>

#include "database/DMU.h"
#include "database/ReportSource.h"
#include "platform/System.h"
#include "reports/ReportCommandLine.h"
#include "reports/ReportPainter.h"
#include "reports/ReportText.h"

namespace corvina {
namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "corvina: %s\n", message.c_str());
  return status;
}

}  // namespace

bool IsReportCommand(int argc, char** argv) { return IsReportCommandLine(Arguments(argc, argv)); }

int RunReportCommand(int argc, char** argv) {
  TReportCommandLine command;
  try {
    command = ParseReportCommandLine(Arguments(argc, argv));
  } catch (const EReportError& e) {
    return Fail(2, std::string(e.what()) + "\nиспользование: " + kReportUsage);
  }

  // Reading only: the report never changes the database, also while the
  // meter runs on it; without the totals table it reads INETTRAFFIC.
  const std::string database = command.Database.empty() ? TDM::DataFileName() : command.Database;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(database, ec))
    return Fail(3, "нет файла базы данных " + database);
  TSQLiteConnection connection;
  TTrafficTotals totals;
  connection.OnOpen = [&] { totals.Attach(connection); };
  connection.SetConnectionString(database);
  connection.SetReadOnly(true);
  try {
    connection.Open();
  } catch (const EDatabaseError& e) {
    return Fail(3, database + ": " + e.what());
  }

  // Fonts and PDF need the GUI library, not a display; a script wants to
  // hear only of real failures on its standard error.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
      std::fprintf(stderr, "corvina: %s\n", message.toLocal8Bit().constData());
  });
  QGuiApplication app(argc, argv);
  TReportEngine engine;
  const TDateTime date = command.Date.value_or(Now());
  engine.OnDialog = [date](const TReportDialog&, TDateTime& chosen) {
    chosen = date;
    return true;
  };
  engine.OnQuery = [&](const TReportQuery& query) {
    return RunReportQuery(connection, totals.Ready(), query);
  };
  std::optional<TPreparedReport> report;
  try {
    engine.LoadFromResource(command.ReportName);
    report = engine.Prepare();
  } catch (const std::exception& e) {
    return Fail(4, command.ReportName + ": " + e.what());
  }
  const QByteArray pdf = ReportToPdf(*report, QString::fromStdString(report->Title));
  if (const int error = ReplaceFileContents(command.PdfFile, pdf.toStdString()))
    return Fail(5, command.PdfFile + ": " + SystemErrorText(error));
  return 0;
}

}  // namespace corvina
