#include "capture/SnifferStat.h"

namespace corvina {

namespace {

constexpr std::size_t kMaxAddressText = 15;

}  // namespace

TSnifferStat::TSnifferStat() { ResetCounters(); }

// The base would stop the capture after this object's events are gone.
TSnifferStat::~TSnifferStat() { Shutdown(); }

void TSnifferStat::ResetCounters() {
  std::lock_guard lock(Lock);
  Counters_ = {};
  HostData_.Address = LocalAddress().substr(0, kMaxAddressText);
  HostData_.StartTime = Now();
  HostData_.Duration = 0;
  HostData_.Incoming = 0;
  HostData_.Outgoing = 0;
  EarlierIncoming_ = 0;
  EarlierOutgoing_ = 0;
  SumTotals();
}

void TSnifferStat::SetEarlierTotals(std::int64_t incoming, std::int64_t outgoing) {
  std::lock_guard lock(Lock);
  EarlierIncoming_ = incoming;
  EarlierOutgoing_ = outgoing;
  SumTotals();
}

void TSnifferStat::SumTotals() {
  HostData_.TotalIncoming =
      EarlierIncoming_ + Counters_.UnknownIn + Counters_.IcmpIn + Counters_.UdpIn + Counters_.TcpIn;
  HostData_.TotalOutgoing = EarlierOutgoing_ + Counters_.UnknownOut + Counters_.IcmpOut +
                            Counters_.UdpOut + Counters_.TcpOut;
}

void TSnifferStat::DoPacket(int, const TSnifferProtocolData& Data) {
  HostData_.Duration = 0;
  HostData_.Address = LocalAddress().substr(0, kMaxAddressText);
  HostData_.StartTime = Data.ipTime;
  HostData_.Incoming = 0;
  HostData_.Outgoing = 0;
  if (ProtocolFilter & ProtocolBit(Data.ipType)) {
    std::int64_t* pairs[4][2] = {{&Counters_.UnknownIn, &Counters_.UnknownOut},
                                 {&Counters_.IcmpIn, &Counters_.IcmpOut},
                                 {&Counters_.UdpIn, &Counters_.UdpOut},
                                 {&Counters_.TcpIn, &Counters_.TcpOut}};
    if (Data.ipDirection == sdtIncoming) {
      *pairs[Data.ipType][0] += Data.ipPacketSize;
      HostData_.Incoming = Data.ipPacketSize;
    } else if (Data.ipDirection == sdtOutgoing) {
      *pairs[Data.ipType][1] += Data.ipPacketSize;
      HostData_.Outgoing = Data.ipPacketSize;
    }
  }
  SumTotals();
  if (OnTraffic) OnTraffic(this, HostData_, Counters_);
  if (IsNewDay(Data.ipTime)) ResetCounters();
}

void TSnifferStat::DoStart(int, const TSnifferProtocolData&) {
  // A capture that starts on a later day than the counters (standby over
  // midnight, a resumed laptop) starts that day from zero.
  if (IsNewDay(PeriodStart_)) ResetCounters();
  if (OnCaptureStart) OnCaptureStart(this, HostData_, Counters_);
}

void TSnifferStat::DoStop(int, const TSnifferProtocolData&) {
  if (OnCaptureStop) OnCaptureStop(this, HostData_, Counters_);
}

}  // namespace corvina
