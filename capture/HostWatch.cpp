#include "capture/HostWatch.h"

#include <chrono>

#include "capture/SnifferLan.h"
#include "netinfo/LanApi.h"

namespace corvina {

TSnifferHostEnabledThread::TSnifferHostEnabledThread(TSnifferProtocolObject& Owner)
    : Owner(Owner) {}

TSnifferHostEnabledThread::~TSnifferHostEnabledThread() {
  Abandon();
  WaitFor();
}

void TSnifferHostEnabledThread::Abandon() {
  Terminate();
  {
    std::lock_guard lock(PauseMutex);
    Abandoned = true;
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
  std::string address;
  const bool found = FindAdapterAddress(Owner.AdapterMac(), address);
  std::string local;
  bool capturing;
  {
    std::lock_guard lock(Owner.Lock);
    local = Owner.LocalAddress_;
    capturing = Owner.Capturing_;
  }
  if (found && address == local) return;
  if (capturing) Synchronize([this] { Owner.StopCapture(); });
  Synchronize([this] { Owner.DoStandby(); });
  if (found) Synchronize([this] { Owner.StartCapture(); });
}

void TSnifferHostEnabledThread::Pause() {
  // The pause is not cut short by the terminate flag, only when the owner goes.
  std::unique_lock lock(PauseMutex);
  PauseWake.wait_for(lock, std::chrono::milliseconds(1000), [this] { return Abandoned; });
}

}  // namespace corvina
