// The meter window under a real X server and window manager (Xvfb, icewm):
// what the window manager makes of the window's hints, and a tray that
// comes after the program. Skipped where Xvfb or icewm is missing.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtTest>
#include <cstdlib>
#include <vector>

#include "UiTestSupport.h"
#include "platform/AdapterQuery.h"
#include "settings/CfgKeys.h"
#include "ui/frmStatU.h"

extern char** environ;

using namespace corvina;

namespace {

constexpr int kSkipped = 77;

pid_t Spawn(std::vector<const char*> argv, const posix_spawn_file_actions_t* actions = nullptr) {
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], actions, nullptr, const_cast<char**>(argv.data()), environ) != 0)
    return 0;
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// An X server on a display nobody uses; it writes the display number it took.
pid_t StartXvfb() {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  const std::string fd = std::to_string(pipeFds[1]);
  const pid_t pid = Spawn({"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                           "-nolisten", "tcp", "-noreset"},
                          &actions);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  // The number comes in two writes, the digits and then a line break; the
  // server fails when the second finds the pipe closed.
  std::string number;
  char c = 0;
  while (pid && read(pipeFds[0], &c, 1) == 1 && c != '\n') number += c;
  close(pipeFds[0]);
  if (number.empty()) {
    Stop(pid);
    return 0;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
  return pid;
}

// What xprop, the X server's own reader, says of a property.
QString XProp(const QStringList& args) {
  QProcess xprop;
  xprop.start("xprop", args);
  xprop.waitForFinished();
  return QString::fromLatin1(xprop.readAllStandardOutput());
}

QString WindowStates(QWidget& window) {
  return XProp({"-id", QString::number(window.winId()), "_NET_WM_STATE"});
}

// Managed: listed by the window manager among its clients.
bool Managed(QWidget& window) {
  const QString id = "0x" + QString::number(window.winId(), 16);
  return XProp({"-root", "_NET_CLIENT_LIST"}).contains(QRegularExpression(id + "\\b"));
}

}  // namespace

class WindowManagerTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  pid_t windowManager_ = 0;

  void StartWindowManager() {
    if (!windowManager_) windowManager_ = Spawn({"icewm"});
    QVERIFY(windowManager_ > 0);
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 20000);  // its tray too
  }

 private slots:
  void initTestCase() {
    QApplication::setApplicationDisplayName("Corvina");
    test::UseFreshExecutableFolder(dir);
    test::CommitSettings({{kFormLeft, Variant::FromInteger(100)}});  // no first-start dialog
    SetAdapterQuery([] { return std::vector<TAdapterRecord>{}; });
  }

  void cleanupTestCase() { Stop(windowManager_); }

  // Runs first: the window manager, and with it the tray, starts during the test.
  void aTrayThatComesLaterLetsTheWindowHide() {
    TfrmStatic form(nullptr);
    form.FormCreate();
    QVERIFY(form.ShowMainForm());
    form.show();
    form.UpdateActions();
    QVERIFY(!form.ActionFormHide->isEnabled());  // no tray: hiding would lose the program
    StartWindowManager();
    QTRY_VERIFY(form.ActionFormHide->isEnabled());
    form.FormDestroy();
  }

  void theWindowStaysOutOfTheTaskbarAfterHideAndShow() {
    StartWindowManager();
    TfrmStatic form(nullptr);
    form.FormCreate();
    form.show();
    QTRY_VERIFY(Managed(form));
    QVERIFY(WindowStates(form).contains("_NET_WM_STATE_SKIP_TASKBAR"));
    for (int round = 0; round < 2; ++round) {
      form.UpdateActions();
      form.ActionFormHide->trigger();
      QTRY_VERIFY(!Managed(form));
      form.UpdateActions();
      form.ActionFormShow->trigger();
      QTRY_VERIFY(Managed(form));
      QVERIFY(WindowStates(form).contains("_NET_WM_STATE_SKIP_TASKBAR"));
      QVERIFY(WindowStates(form).contains("_NET_WM_STATE_ABOVE"));
    }
    form.FormDestroy();
  }
};

// Qt's xcb platform asks the session bus for a tray; libdbus keeps one
// allocation for the whole process, which the leak checker would report.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

int main(int argc, char* argv[]) {
  for (const char* tool : {"Xvfb", "icewm", "xprop"})
    if (std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()) != 0) {
      std::printf("SKIP: %s is not installed\n", tool);
      return kSkipped;
    }
  const pid_t server = StartXvfb();
  if (!server) {
    std::printf("SKIP: Xvfb did not start\n");
    return kSkipped;
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  int result = 0;
  {
    QApplication app(argc, argv);
    WindowManagerTest test;
    result = QTest::qExec(&test, argc, argv);
  }
  Stop(server);
  return result;
}

#include "WindowManagerTest.moc"
