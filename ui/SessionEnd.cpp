#include "ui/SessionEnd.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

namespace corvina {
namespace {

int gSignalPipe[2] = {-1, -1};

void OnTerminateSignal(int) {
  const char byte = 1;
  // Only async-signal-safe work here: the main loop does the rest.
  [[maybe_unused]] const ssize_t n = write(gSignalPipe[1], &byte, 1);
}

}  // namespace

void OnSessionEnd(std::function<void()> handler) {
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp,
                   [handler](QSessionManager&) { handler(); });
  if (gSignalPipe[0] >= 0 || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0)
    return;
  fcntl(gSignalPipe[1], F_SETFL, O_NONBLOCK);
  auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, [handler] {
    char byte;
    [[maybe_unused]] const ssize_t n = read(gSignalPipe[0], &byte, 1);
    handler();
  });
  struct sigaction action {};
  action.sa_handler = OnTerminateSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace corvina
