#include <signal.h>

#include <QtTest>

#include "ui/SessionEnd.h"

using namespace corvina;

class SessionEndTest : public QObject {
  Q_OBJECT

 private slots:
  // A logout without a session manager connection sends SIGTERM: the handler
  // runs on the main thread from the event loop, and the process lives on.
  void terminateSignalRunsTheHandlerOnTheMainThread() {
    int calls = 0;
    bool onMainThread = false;
    OnSessionEnd([&] {
      ++calls;
      onMainThread = QThread::currentThread() == qApp->thread();
    });
    raise(SIGTERM);
    QTRY_COMPARE(calls, 1);
    QVERIFY(onMainThread);
    raise(SIGTERM);
    QTRY_COMPARE(calls, 2);
  }
};

QTEST_MAIN(SessionEndTest)
#include "SessionEndTest.moc"
