#include "capture/SnifferThread.h"

#include <arpa/inet.h>

#include <exception>

#include "capture/SnifferLan.h"
#include "framework/DateTime.h"
#include "platform/System.h"

namespace corvina {
namespace {

// A batch's dump records go to the file in one append when the batch is
// done, also when a handler failed half-way through it.
struct TDumpFlush {
  TSnifferProtocolObject& owner;
  ~TDumpFlush() { owner.FlushPacketDump(); }
};

}  // namespace

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
      LocalAddress(Owner.LocalAddress()),
      Excluded([&Owner](std::uint32_t remote) { return Owner.RemoteExcluded(remote); }) {
  in_addr address{};
  if (inet_pton(AF_INET, LocalAddress.c_str(), &address) == 1) LocalAddr = address.s_addr;
}

TSnifferThread::~TSnifferThread() {
  // The members go before the base joins the thread, so join here.
  Terminate();
  CloseSource();
  WaitFor();
}

void TSnifferThread::Stop() {
  Terminate();
  FinishCapture(0);
}

std::uint64_t TSnifferThread::KernelDropped() const {
  std::lock_guard lock(SourceMutex);
  return Source ? Source->KernelDropped() : ReleasedDropped;
}

void TSnifferThread::Execute() {
  if (InitSocket()) {
    // The batch's full room at once: one large block per capture, given back
    // whole when the capture ends, instead of a run of growing copies that
    // leave the allocator's arenas fragmented across adapter restarts.
    Batch.reserve(kMaxBatchPackets);
    BatchOffsets.reserve(kMaxBatchPackets);
    BatchBytes.reserve(kMaxBatchBytes + kMaxPacketBytes);
    try {
      const IPacketSource::TPacketSink take = [this](const std::uint8_t* packet, int n,
                                                     TDateTime time) {
        return TakePacket(packet, n, time);
      };
      while (!Terminated()) {
        BatchCount = 0;
        BatchBytes.clear();
        Source->Receive(take, kMaxBatchPackets);
        if (BatchCount > 0) Synchronize([this] { SyncPackets(); });
      }
    } catch (...) {
      // A failing event handler ends the capture like a stop.
    }
    FinishCapture(0);
  }
  ReleaseSource();
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
  Handle = Source->Handle();
  try {
    Synchronize([this] { SyncStarted(); });
  } catch (...) {
    FinishCapture(0);
    return false;
  }
  return true;
}

bool TSnifferThread::TakePacket(const std::uint8_t* packet, int n, TDateTime time) {
  if (n < kMinDecodedSize) return true;
  if (n > kMaxPacketBytes) n = kMaxPacketBytes;
  if (BatchCount == int(Batch.size())) {
    Batch.emplace_back();
    BatchOffsets.emplace_back();
  }
  TSnifferProtocolData& data = Batch[std::size_t(BatchCount)];
  if (!corvina::DecodePacket(packet, n, LocalAddr, Excluded, data)) return true;
  data.ipTime = time;
  BatchOffsets[std::size_t(BatchCount)] = BatchBytes.size();
  BatchBytes.insert(BatchBytes.end(), packet, packet + n);
  ++BatchCount;
  return BatchCount < kMaxBatchPackets && BatchBytes.size() < kMaxBatchBytes;
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
  CloseSource();
  // On the main thread the caller hears of a failing handler; a worker ends anyway.
  if (failure && IsMainThread()) std::rethrow_exception(failure);
}

void TSnifferThread::ReportError(int Code) {
  ErrorCode = Code;
  ErrorText = TrimErrorText(Source->ErrorText());
  Synchronize([this] { SyncError(); });
}

void TSnifferThread::CloseSource() {
  std::lock_guard lock(SourceMutex);
  if (Source) Source->Close();
}

void TSnifferThread::ReleaseSource() {
  std::unique_ptr<IPacketSource> released;
  {
    std::lock_guard lock(SourceMutex);
    ReleasedDropped = Source->KernelDropped();
    released = std::move(Source);
  }
  released.reset();
  Batch = {};
  BatchOffsets = {};
  BatchBytes = {};
  ReturnFreeMemory();
}

void TSnifferThread::SyncStarted() {
  // Stop may have run while the source was opening: then this capture never started.
  if (Terminated()) return;
  Owner.SetCapturing(true);
  Owner.PeriodStart_ = Now();
  Owner.DoStart(Handle, Delivered);
}

void TSnifferThread::SyncStopped() {
  Owner.DoStop(Handle, Delivered);
  Owner.PeriodStart_ = NoPeriodStart();
  Owner.SetCapturing(false);
}

void TSnifferThread::SyncError() { Owner.DoError(Handle, ErrorCode, ErrorText); }

void TSnifferThread::SyncPackets() {
  // The dump switch only changes on this thread, so it holds for the batch.
  const bool dump = Owner.DumpEnabled();
  const TDumpFlush flush{Owner};
  for (int i = 0; i < BatchCount; ++i) {
    // A packet decoded before Stop is not delivered any more.
    if (Terminated()) return;
    TSnifferProtocolData& data = Batch[std::size_t(i)];
    if (dump)
      data.ipDumpString =
          BuildDumpString(&BatchBytes[BatchOffsets[std::size_t(i)]], data.ipPacketSize);
    Owner.WritePacketDump(data);
    Owner.DoPacket(Handle, data);
    std::swap(Delivered, data);
  }
}

}  // namespace corvina
