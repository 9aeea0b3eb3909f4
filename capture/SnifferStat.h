#pragma once
// The statistics: day counters per protocol and direction, and a sample of
// the local address with the day's totals handed to every event.

#include <cstdint>
#include <functional>
#include <string>

#include "capture/SnifferLan.h"

namespace corvina {

// Day counters in bytes; 64-bit, as one busy day passes 2 GiB.
struct TSnifferStatCounters {
  std::int64_t UnknownIn = 0;
  std::int64_t UnknownOut = 0;
  std::int64_t IcmpIn = 0;
  std::int64_t IcmpOut = 0;
  std::int64_t UdpIn = 0;
  std::int64_t UdpOut = 0;
  std::int64_t TcpIn = 0;
  std::int64_t TcpOut = 0;
  bool operator==(const TSnifferStatCounters&) const = default;
};

struct TSnifferHostData {
  std::string Address;  // the local address, at most 15 characters
  TDateTime StartTime = 0;
  std::int32_t Duration = 0;
  std::int32_t Incoming = 0;  // this packet's bytes when incoming
  std::int32_t Outgoing = 0;
  std::int64_t TotalIncoming = 0;
  std::int64_t TotalOutgoing = 0;
};

// A set of protocol types: bit (1 << type).
using TSnifferProtocolTypes = std::uint8_t;
constexpr TSnifferProtocolTypes ProtocolBit(TSnifferProtocolType type) {
  return TSnifferProtocolTypes(1u << type);
}

class TSnifferStat : public TSnifferProtocolObject {
 public:
  using TStatEvent = std::function<void(TSnifferStat* Sender, const TSnifferHostData& HostData,
                                        const TSnifferStatCounters& Counters)>;

  TSnifferStat();
  ~TSnifferStat() override;

  const TSnifferStatCounters& Counters() const { return Counters_; }
  const TSnifferHostData& HostData() const { return HostData_; }
  void ResetCounters();
  // The day's totals stored before this start: the totals count on from
  // them, and the next day's reset drops them with the counters.
  void SetEarlierTotals(std::int64_t incoming, std::int64_t outgoing);

  // Protocols whose bytes are counted; every delivered packet raises OnTraffic.
  TSnifferProtocolTypes ProtocolFilter = ProtocolBit(sptTCP);
  TStatEvent OnTraffic;
  TStatEvent OnCaptureStop;
  TStatEvent OnCaptureStart;

 protected:
  void DoPacket(int Socket, const TSnifferProtocolData& Data) override;
  void DoStart(int Socket, const TSnifferProtocolData& Data) override;
  void DoStop(int Socket, const TSnifferProtocolData& Data) override;

 private:
  void SumTotals();

  TSnifferStatCounters Counters_;
  TSnifferHostData HostData_;
  std::int64_t EarlierIncoming_ = 0;
  std::int64_t EarlierOutgoing_ = 0;
};

}  // namespace corvina
