// A live UDP flood of small datagrams over a veth pair: prints what iperf3
// sent, what the capture delivered and what the kernel dropped.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "BenchPump.h"
#include "capture/SnifferStat.h"
#include "support/CaptureHelper.h"
#include "support/VethPair.h"

using namespace corvina;
using namespace corvina::test;

namespace {

// The "packets" figure of the sender's summary in iperf3's JSON report.
long SentPackets(const std::string& json) {
  const std::size_t sum = json.rfind("\"sum\"");
  const std::size_t at = json.find("\"packets\":", sum == std::string::npos ? 0 : sum);
  return at == std::string::npos ? -1 : std::stol(json.substr(at + 10));
}

void Flood(bench::TPump& pump, TVethPair& net, const std::string& rate) {
  TSnifferStat stat;
  stat.SetAdapterMac(TVethPair::kLocalMac);
  stat.ProtocolFilter = ProtocolBit(sptUDP);
  long udpIn = 0, delivered = 0;
  stat.OnTraffic = [&](TSnifferStat*, const TSnifferHostData& h, const TSnifferStatCounters&) {
    ++delivered;
    udpIn += h.Incoming > 0;
  };
  stat.StartCapture();
  pump.RunUntil([&] { return stat.Capturing(); }, std::chrono::seconds(5));

  net.local.TryRun("iperf3 -s -1 -D -p 5201");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::string report = "/tmp/corvina-flood-" + std::to_string(getpid()) + ".json";
  std::thread client([&] {
    net.peer.TryRun("iperf3 -c 10.77.0.1 -u -l 64 -t 3 -b " + rate + " -J --logfile " + report);
  });
  // Pump while the flood runs, then until the backlog is drained.
  std::atomic<bool> running{true};
  std::thread waiter([&] {
    client.join();
    running = false;
  });
  pump.RunUntil([&] { return !running; }, std::chrono::seconds(30));
  waiter.join();
  long before = -1;
  while (before != delivered) {
    before = delivered;
    pump.RunUntil([] { return false; }, std::chrono::milliseconds(500));
  }
  std::ifstream in(report);
  std::stringstream json;
  json << in.rdbuf();
  std::remove(report.c_str());
  std::printf(
      "rate %-5s: iperf3 sent %ld datagrams; delivered %ld packets (%ld UDP in); kernel dropped "
      "%llu\n",
      rate.c_str(), SentPackets(json.str()), delivered, udpIn,
      static_cast<unsigned long long>(stat.KernelDropped()));
  stat.StopCapture();
}

}  // namespace

int main() {
  const std::string why = NetnsUnavailableReason();
  if (!why.empty()) {
    std::printf("skipped: %s\n", why.c_str());
    return 0;
  }
  bench::TPump pump;
  PlaceCaptureHelper();
  TVethPair net;
  std::printf(
      "Live UDP flood (64-byte datagrams, 3 s) on a veth pair, packets handed over in "
      "batches\n");
  for (const char* rate : {"20M", "100M", "0"}) Flood(pump, net, rate);
  return 0;
}
