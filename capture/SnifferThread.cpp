#include "capture/SnifferThread.h"

#include <arpa/inet.h>

#include <exception>

#include "capture/SnifferLan.h"
#include "framework/DateTime.h"

namespace corvina {

std::string TrimErrorText(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\r' || text[end - 1] == '\n' ||
                     text[end - 1] == '.'))
    --end;
  return text.substr(0, end);
}

TSnifferThread::TSnifferThread(TSnifferProtocolObject& Owner, std::unique_ptr<IPacketSource> Source)
    : Owner(Owner),
      Source(std::move(Source)),
      Buffer(std::make_unique<std::uint8_t[]>(BufferSize)),
      LocalAddress(Owner.LocalAddress()) {
  in_addr address{};
  if (inet_pton(AF_INET, LocalAddress.c_str(), &address) == 1) LocalAddr = address.s_addr;
}

TSnifferThread::~TSnifferThread() {
  // The members go before the base joins the thread, so join here.
  Terminate();
  Source->Close();
  WaitFor();
}

void TSnifferThread::Stop() {
  Terminate();
  FinishCapture(0);
}

void TSnifferThread::Execute() {
  if (!InitSocket()) return;
  try {
    while (!Terminated()) {
      const int n = Source->Receive(Buffer.get(), BufferSize);
      if (n >= kMinDecodedSize) DecodePacket(n);
    }
  } catch (...) {
    // A failing event handler ends the capture like a stop.
  }
  FinishCapture(0);
}

bool TSnifferThread::InitSocket() {
  const int started = Source->Startup();
  if (started != 0) {
    // Nothing was opened, so there is nothing to stop either.
    Finishing = true;
    ReportError(started);
    return false;
  }
  int code = Source->Open();
  if (code == 0) code = Source->Bind(LocalAddress);
  if (code == 0) code = Source->Activate();
  if (code != 0) {
    FinishCapture(code);
    return false;
  }
  try {
    Synchronize([this] { SyncStarted(); });
  } catch (...) {
    FinishCapture(0);
    return false;
  }
  return true;
}

void TSnifferThread::DecodePacket(int n) {
  const bool deliver = corvina::DecodePacket(
      Buffer.get(), n, LocalAddr,
      [this](std::uint32_t remote) { return Owner.RemoteExcluded(remote); }, Data);
  if (!deliver) return;
  Data.ipDumpString = BuildDumpString(Buffer.get(), n);
  Synchronize([this] { SyncPacket(); });
}

void TSnifferThread::FinishCapture(int Code) {
  if (Finishing.exchange(true)) return;
  std::exception_ptr failure;
  try {
    Synchronize([this] { SyncStopped(); });
  } catch (...) {
    failure = std::current_exception();
  }
  if (Code != 0) {
    try {
      ReportError(Code);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  // Whatever a handler did, the source must close or the thread never ends.
  Source->Close();
  // On the main thread the caller hears of a failing handler; a worker ends anyway.
  if (failure && IsMainThread()) std::rethrow_exception(failure);
}

void TSnifferThread::ReportError(int Code) {
  ErrorCode = Code;
  ErrorText = TrimErrorText(Source->ErrorText());
  Synchronize([this] { SyncError(); });
}

void TSnifferThread::SyncStarted() {
  // Stop may have run while the source was opening: then this capture never started.
  if (Terminated()) return;
  Owner.SetCapturing(true);
  Owner.PeriodStart_ = Now();
  Owner.DoStart(Source->Handle(), Delivered);
}

void TSnifferThread::SyncStopped() {
  Owner.DoStop(Source->Handle(), Delivered);
  Owner.PeriodStart_ = NoPeriodStart();
  Owner.SetCapturing(false);
}

void TSnifferThread::SyncError() { Owner.DoError(Source->Handle(), ErrorCode, ErrorText); }

void TSnifferThread::SyncPacket() {
  // A packet decoded before Stop is not delivered any more.
  if (Terminated()) return;
  Owner.WritePacketDump(Data);
  Owner.DoPacket(Source->Handle(), Data);
  std::swap(Delivered, Data);
}

}  // namespace corvina
