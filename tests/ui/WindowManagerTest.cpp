// The meter window under a real X server and window manager (Xvfb, icewm):
// what the window manager makes of the window's hints, and a tray that
// comes after the program. Skipped where Xvfb or icewm is missing.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QtTest>
#include <algorithm>
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

xcb_connection_t* X() {
  return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_atom_t Atom(const char* name) {
  auto* reply = xcb_intern_atom_reply(
      X(), xcb_intern_atom(X(), 0, static_cast<std::uint16_t>(strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  free(reply);
  return atom;
}

std::vector<xcb_atom_t> AtomList(xcb_window_t window, const char* property) {
  auto* reply = xcb_get_property_reply(
      X(), xcb_get_property(X(), 0, window, Atom(property), XCB_ATOM_ANY, 0, 1024), nullptr);
  std::vector<xcb_atom_t> atoms;
  if (reply && reply->format == 32) {
    const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    atoms.assign(values, values + xcb_get_property_value_length(reply) / 4);
  }
  free(reply);
  return atoms;
}

bool Contains(const std::vector<xcb_atom_t>& atoms, xcb_atom_t atom) {
  return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
}

xcb_window_t Root() { return xcb_setup_roots_iterator(xcb_get_setup(X())).data->root; }

// Managed: listed by the window manager among its clients.
bool Managed(QWidget& window) {
  return Contains(AtomList(Root(), "_NET_CLIENT_LIST"), static_cast<xcb_atom_t>(window.winId()));
}

}  // namespace

class WindowManagerTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  pid_t windowManager_ = 0;

  void StartWindowManager() {
    if (!windowManager_) windowManager_ = Spawn({"icewm"});
    QVERIFY(windowManager_ > 0);
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
    QTRY_VERIFY_WITH_TIMEOUT(form.ActionFormHide->isEnabled(), 20000);
    form.FormDestroy();
  }

  void theWindowStaysOutOfTheTaskbarAfterHideAndShow() {
    StartWindowManager();
    TfrmStatic form(nullptr);
    form.FormCreate();
    const xcb_atom_t skipTaskbar = Atom("_NET_WM_STATE_SKIP_TASKBAR");
    form.show();
    QTRY_VERIFY(Managed(form));
    QVERIFY(Contains(AtomList(form.winId(), "_NET_WM_STATE"), skipTaskbar));
    for (int round = 0; round < 2; ++round) {
      form.UpdateActions();
      form.ActionFormHide->trigger();
      QTRY_VERIFY(!Managed(form));
      form.UpdateActions();
      form.ActionFormShow->trigger();
      QTRY_VERIFY(Managed(form));
      QVERIFY(Contains(AtomList(form.winId(), "_NET_WM_STATE"), skipTaskbar));
      QVERIFY(Contains(AtomList(form.winId(), "_NET_WM_STATE"), Atom("_NET_WM_STATE_ABOVE")));
    }
    form.FormDestroy();
  }
};

// Qt's xcb platform asks the session bus for a tray; libdbus keeps one
// allocation for the whole process, which the leak checker would report.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

int main(int argc, char* argv[]) {
  for (const char* tool : {"Xvfb", "icewm"})
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
