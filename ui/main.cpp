// Program entry: application, data module (database, then the meter window),
// message loop, and the shutdown in the reverse order.

#include <QApplication>
#include <filesystem>

#include "database/DMU.h"
#include "netinfo/sysutil.h"
#include "platform/System.h"
#include "reports/ReportCommand.h"
#include "reports/ReportEngine.h"
#include "reports/frmPreviewU.h"
#include "ui/AppIntf.h"
#include "ui/Application.h"
#include "ui/DesktopSession.h"
#include "ui/Dialogs.h"
#include "ui/EventLoopSync.h"
#include "ui/OwnRights.h"
#include "ui/PlatformTexts.h"
#include "ui/SessionEnd.h"
#include "ui/frmStatU.h"

using namespace corvina;

namespace {

QStringList Components(TDM& dm) {
  const TSQLiteConnection* connection = dm.Connection();
  return {
      QString("Генератор отчетов - ") + TReportEngine::kProductName + " " + TReportEngine::kVersion,
      DataProviderLine(connection ? connection->Provider() : "")};
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!CheckOwnRights(argc, argv)) return 1;
  if (IsReportCommand(argc, argv)) return RunReportCommand(argc, argv);  // no window, no capture
  WarnWhenRoot();
  CreateAppInfo();
  ChooseSessionPlatform();
  TApplication app(argc, argv);
  QApplication::setApplicationName("Corvina");
  QApplication::setApplicationDisplayName("Corvina");
  QApplication::setWindowIcon(QIcon(":/icons/corvina.svg"));
  QApplication::setQuitOnLastWindowClosed(false);  // the window may be hidden; the tray icon stays
  RunSynchronizeFromEventLoop();

  TfrmStatic* mainForm = nullptr;
  // A logout can come while the first-start dialog is still open.
  bool sessionEnding = false;
  OnSessionEnd([&mainForm, &sessionEnding] {
    sessionEnding = true;
    if (mainForm) {
      mainForm->EndSession();
    } else {
      CloseDialogsForSessionEnd();  // a box open before the main loop, which quit() does not reach
      QApplication::quit();
    }
  });
  // One copy per folder: a second would count the same traffic, fail to store
  // its rows and overwrite the first one's settings at exit.
  if (!LockUntilExit(ExecutableFileWithExt(".lock"), ExecutablePath())) {
    const auto folder = std::filesystem::path(ExecutablePath()).parent_path();
    ShowErrorBox(nullptr,
                 "Программа уже запущена из папки " + QString::fromStdString(folder.string()));
    return 1;
  }
  TDM dm({
      // Start-up goes on behind the box, so an unattended start still meters.
      [](const std::string& message) {
        ShowErrorNotice(QString::fromStdString("Cannot open database \"" + TDM::DataFileName() +
                                               "\". " + message));
      },
      [](TDM& module) {
        AppInfo()->SetComponents(Components(module));
        AppInfo()->SetProductInfo({"Программа предназначена для подсчета Интернет трафика."});
      },
      [&mainForm](TDM& module) {
        mainForm = new TfrmStatic(&module);
        try {
          mainForm->FormCreate();
        } catch (const std::exception& e) {
          ShowErrorBox(nullptr, e);  // the window stays hidden; the tray menu can show it
        }
      },
  });
  DM = &dm;
  InstallReportWindows(dm.Report());
  try {
    dm.DataModuleCreate();
  } catch (const std::exception& e) {
    ShowErrorBox(nullptr, e);
    return 1;  // no main window: the program ends
  }
  int result = 0;
  if (!sessionEnding) {
    if (mainForm->ShowMainForm()) mainForm->show();
    result = QApplication::exec();
  }

  mainForm->FormDestroy();
  delete mainForm;
  dm.DataModuleDestroy();
  DM = nullptr;
  AppInfo().reset();
  return result;
}
