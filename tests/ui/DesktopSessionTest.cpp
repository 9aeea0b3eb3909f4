#include <QtTest>
#include <map>

#include "ui/DesktopSession.h"

using namespace corvina;

class DesktopSessionTest : public QObject {
  Q_OBJECT

 private slots:
  void waylandSessionsRunOnTheirXServer() {
    const auto platform = [](std::map<std::string, std::string> env) {
      return QString::fromStdString(SessionPlatform([&](const char* name) { return env[name]; }));
    };
    QCOMPARE(platform({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}}), QString("xcb"));
    QCOMPARE(platform({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":1"}}), QString("xcb"));
    // No X server in the session: Qt's own choice, the window then floats.
    QCOMPARE(platform({{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"}}),
             QString());
    QCOMPARE(platform({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}}), QString());
    // What the user asked for stays.
    QCOMPARE(
        platform(
            {{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}}),
        QString());
  }
};

QTEST_MAIN(DesktopSessionTest)
#include "DesktopSessionTest.moc"
