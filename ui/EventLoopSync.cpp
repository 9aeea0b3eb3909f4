#include "ui/EventLoopSync.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "framework/Thread.h"

namespace corvina {

void RunSynchronizeFromEventLoop() {
  SetMainThread();
  SetSynchronizeWakeHook([] {
    QMetaObject::invokeMethod(
        qApp, [] { CheckSynchronize(); }, Qt::QueuedConnection);
  });
}

}  // namespace corvina
