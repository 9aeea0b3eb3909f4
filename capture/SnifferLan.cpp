#include "capture/SnifferLan.h"

#include <algorithm>

#include "capture/HostWatch.h"
#include "capture/PacketDump.h"
#include "capture/SnifferThread.h"
#include "netinfo/LanApi.h"
#include "netinfo/sysutil.h"

namespace corvina {

TDateTime NoPeriodStart() { return EncodeDate(1900, 1, 1); }

TSnifferProtocolObject::TSnifferProtocolObject()
    : PeriodStart_(NoPeriodStart()),
      LastResetDate_(DateOf(Now())),
      DumpFileName_(ExecutableFileWithExt(".dump")),
      SourceFactory_(CreateLivePacketSource) {}

TSnifferProtocolObject::~TSnifferProtocolObject() { Shutdown(); }

void TSnifferProtocolObject::Shutdown() {
  if (ShutDown_) return;
  ShutDown_ = true;
  try {
    StopCapture();
  } catch (...) {
    // A failing stop handler must not keep the workers alive past this object.
  }
  {
    std::lock_guard lock(Lock);
    Active_ = false;
  }
  StopWatch();  // every watch let go has been told to stop, so none sits out its pause
  // Joining on the main thread drops the workers' pending calls, so none of
  // them reaches this object any more.
  for (auto& worker : Ended_) worker->WaitFor();
  Ended_.clear();
}

bool TSnifferProtocolObject::Active() const {
  std::lock_guard lock(Lock);
  return Active_;
}

void TSnifferProtocolObject::SetActive(bool Value) {
  std::lock_guard lock(Lock);
  if (Value == Active_ || (Value && ShutDown_)) return;
  Active_ = Value;
  if (Value)
    StartWatch();
  else
    StopWatch();
}

bool TSnifferProtocolObject::DumpEnabled() const {
  std::lock_guard lock(Lock);
  return DumpEnabled_;
}

void TSnifferProtocolObject::SetDumpEnabled(bool Value) {
  std::lock_guard lock(Lock);
  DumpEnabled_ = Value;
}

std::string TSnifferProtocolObject::AdapterMac() const {
  std::lock_guard lock(Lock);
  return AdapterMac_;
}

void TSnifferProtocolObject::SetAdapterMac(const std::string& Value) {
  std::lock_guard lock(Lock);
  AdapterMac_ = Value;
}

std::string TSnifferProtocolObject::LocalAddress() const {
  std::lock_guard lock(Lock);
  return LocalAddress_;
}

bool TSnifferProtocolObject::Capturing() const {
  std::lock_guard lock(Lock);
  return Capturing_;
}

void TSnifferProtocolObject::SetCapturing(bool value) {
  std::lock_guard lock(Lock);
  Capturing_ = value;
}

std::uint64_t TSnifferProtocolObject::KernelDropped() const {
  return CaptureThread ? CaptureThread->KernelDropped() : 0;
}

bool TSnifferProtocolObject::RemoteExcluded(std::uint32_t remote) const {
  std::lock_guard lock(Lock);
  for (int i = 0; i < Ranges_.Count(); ++i) {
    const TSnifferIPRange range = Ranges_.Get(i);
    if (IPInRange(remote, range.StartAddr, range.EndAddr)) return true;
  }
  return false;
}

void TSnifferProtocolObject::ReapEnded() {
  std::erase_if(Ended_, [](const std::unique_ptr<TThread>& worker) { return worker->Finished(); });
}

void TSnifferProtocolObject::StartWatch() {
  ReapEnded();
  if (WatchThread) return;
  WatchThread = std::make_unique<TSnifferHostEnabledThread>(*this);
  WatchThread->Start();
}

void TSnifferProtocolObject::StopWatch() {
  ReapEnded();
  if (!WatchThread) return;
  // Not waited for: it ends after its current pass and stops the capture itself.
  WatchThread->Stop();
  Ended_.push_back(std::move(WatchThread));
}

void TSnifferProtocolObject::StartCapture() {
  ReapEnded();
  if (CaptureThread || ShutDown_) return;
  std::string address;
  if (!FindAdapterAddress(AdapterMac(), address)) return;
  {
    std::lock_guard lock(Lock);
    LocalAddress_ = address;
  }
  CaptureThread = std::make_unique<TSnifferThread>(*this, SourceFactory_());
  CaptureThread->Start();
}

void TSnifferProtocolObject::StopCapture() {
  ReapEnded();
  if (!CaptureThread) return;
  TSnifferThread& thread = *CaptureThread;
  Ended_.push_back(std::move(CaptureThread));
  {
    std::lock_guard lock(Lock);
    LocalAddress_ = "0.0.0.0";
  }
  thread.Stop();
}

bool TSnifferProtocolObject::IsNewDay(TDateTime time) {
  const TDateTime date = DateOf(time);
  if (date <= LastResetDate_) return false;
  LastResetDate_ = date;
  PeriodStart_ = time;
  return true;
}

void TSnifferProtocolObject::WritePacketDump(const TSnifferProtocolData& Data) {
  if (!DumpEnabled()) return;
  PendingDump_ += FormatPacketDumpRecord(Data, Now(), DefaultFormatSettings());
}

void TSnifferProtocolObject::FlushPacketDump() {
  if (PendingDump_.empty()) return;
  // Records that cannot be written are lost; their packets are counted all the same.
  AppendToFile(DumpFileName_, PendingDump_);
  PendingDump_.clear();
}

void TSnifferProtocolObject::DoError(int Socket, int ErrorCode, const std::string& ErrorText) {
  if (OnError) OnError(this, Socket, ErrorCode, ErrorText);
}

void TSnifferProtocolObject::DoPacket(int Socket, const TSnifferProtocolData& Data) {
  if (OnPacket) OnPacket(this, Socket, Data);
}

void TSnifferProtocolObject::DoStart(int Socket, const TSnifferProtocolData& Data) {
  if (OnStart) OnStart(this, Socket, Data);
}

void TSnifferProtocolObject::DoStop(int Socket, const TSnifferProtocolData& Data) {
  if (OnStop) OnStop(this, Socket, Data);
}

void TSnifferProtocolObject::DoStandby() {
  if (OnStandby) OnStandby(this);
}

}  // namespace corvina
