#include "capture/HostWatch.h"

#include <atomic>

#include "capture/SnifferLan.h"
#include "netinfo/LanApi.h"

namespace corvina {
namespace {

std::atomic<std::chrono::milliseconds::rep> PassIntervalMs{1000};

}  // namespace

void TSnifferHostEnabledThread::SetPassInterval(std::chrono::milliseconds interval) {
  PassIntervalMs = interval.count();
}

TSnifferHostEnabledThread::TSnifferHostEnabledThread(TSnifferProtocolObject& Owner)
    : Owner(Owner) {}

TSnifferHostEnabledThread::~TSnifferHostEnabledThread() {
  Stop();
  WaitFor();
}

void TSnifferHostEnabledThread::Stop() {
  Terminate();
  {
    // A pause that has just found the flag clear is waiting once this lock is free.
    std::lock_guard lock(PauseMutex);
  }
  PauseWake.notify_all();
}

void TSnifferHostEnabledThread::Execute() {
  try {
    Synchronize([this] { Owner.DoStandby(); });
    while (!Terminated()) {
      Pass();
      Pause();
    }
  } catch (...) {
    // A failing handler ends the watch like the terminate flag.
  }
  try {
    Synchronize([this] { Owner.StopCapture(); });
    Synchronize([this] { Owner.DoStandby(); });
  } catch (...) {
    // Cancelled because the owner is going away, or a failing handler: nothing left to do.
  }
}

void TSnifferHostEnabledThread::Pass() {
  std::string local;
  bool capturing;
  {
    std::lock_guard lock(Owner.Lock);
    local = Owner.LocalAddress_;
    capturing = Owner.Capturing_;
  }
  std::string address;
  const bool found = FindAdapterAddress(Owner.AdapterMac(), address, local);
  if (found && address == local) return;
  // A capture that failed to start keeps its address until it is stopped;
  // stopping it now lets the start below, or the one when the adapter is
  // back, try again.
  const bool held = capturing || (!local.empty() && local != "0.0.0.0");
  if (held) Synchronize([this] { Owner.StopCapture(); });
  Synchronize([this] { Owner.DoStandby(); });
  if (found) Synchronize([this] { Owner.StartCapture(); });
}

void TSnifferHostEnabledThread::Pause() {
  std::unique_lock lock(PauseMutex);
  PauseWake.wait_for(lock, std::chrono::milliseconds(PassIntervalMs.load()),
                     [this] { return Terminated(); });
}

}  // namespace corvina
