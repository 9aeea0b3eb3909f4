// Replays a generated capture file through decode, the hand-over to a
// main-thread loop and the statistics, with the dump off and on, and prints
// packets per second.

#include <pcap/pcap.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "BenchPump.h"
#include "capture/SnifferStat.h"
#include "platform/AdapterQuery.h"
#include "platform/System.h"

using namespace corvina;

namespace {

void WriteCapture(const std::string& name, int packets, int ipSize) {
  pcap_t* dead = pcap_open_dead(DLT_EN10MB, 65536);
  pcap_dumper_t* dumper = pcap_dump_open(dead, name.c_str());
  std::vector<std::uint8_t> frame(std::size_t(14 + ipSize), 0);
  frame[12] = 0x08;
  std::uint8_t* ip = frame.data() + 14;
  ip[0] = 0x45;
  ip[2] = std::uint8_t(ipSize >> 8);
  ip[3] = std::uint8_t(ipSize);
  ip[8] = 64;
  const std::uint8_t local[4] = {192, 168, 0, 2}, remote[4] = {192, 168, 0, 5};
  for (int i = 0; i < packets; ++i) {
    const bool in = i % 2 == 0;
    ip[9] = i % 3 == 0 ? 17 : 6;
    std::memcpy(ip + 12, in ? remote : local, 4);
    std::memcpy(ip + 16, in ? local : remote, 4);
    for (int k = 20; k < ipSize; ++k) ip[k] = std::uint8_t(i + k);
    pcap_pkthdr header{};
    header.caplen = header.len = bpf_u_int32(frame.size());
    pcap_dump(reinterpret_cast<u_char*>(dumper), &header, frame.data());
  }
  pcap_dump_close(dumper);
  pcap_close(dead);
}

void Run(bench::TPump& pump, const std::string& file, int packets, int ipSize, bool dump) {
  WriteCapture(file, packets, ipSize);
  TSnifferStat stat;
  stat.SetDumpEnabled(dump);
  stat.SetAdapterMac("02-00-00-00-00-0A");
  stat.ProtocolFilter = ProtocolBit(sptTCP) | ProtocolBit(sptUDP);
  stat.SetPacketSourceFactory([&] { return CreateFilePacketSource(file); });
  long delivered = 0;
  stat.OnTraffic = [&](TSnifferStat*, const TSnifferHostData&, const TSnifferStatCounters&) {
    ++delivered;
  };
  const auto start = std::chrono::steady_clock::now();
  stat.StartCapture();
  pump.RunUntil([&] { return delivered == packets; }, std::chrono::minutes(5));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  stat.StopCapture();
  std::printf("dump %-3s %-6d byte packets: %ld delivered in %.2f s: %.0f packets/s, %.1f MB/s\n",
              dump ? "on" : "off", ipSize, delivered, seconds, delivered / seconds,
              double(delivered) * ipSize / seconds / 1e6);
  std::filesystem::remove(file);
  std::filesystem::remove(stat.DumpFileName());
}

}  // namespace

int main() {
  SetAdapterQuery([] {
    TAdapterRecord r;
    r.Name = "bench0";
    r.Addresses.push_back({"192.168.0.2", "255.255.255.0"});
    const std::uint8_t mac[6] = {2, 0, 0, 0, 0, 0x0A};
    std::memcpy(r.HardwareAddress, mac, 6);
    r.HardwareAddressLength = 6;
    return std::vector<TAdapterRecord>{r};
  });
  bench::TPump pump;
  const std::string stem =
      (std::filesystem::temp_directory_path() / ("corvina-bench-" + std::to_string(getpid())))
          .string();
  SetExecutablePath(stem);  // the dump file lands beside it
  const std::string file = stem + ".pcap";
  std::printf("Capture file replay: decode, hand-over to a main-thread loop, statistics\n");
  for (bool dump : {false, true}) {
    Run(pump, file, dump ? 100000 : 1000000, 60, dump);
    Run(pump, file, dump ? 30000 : 300000, 1500, dump);
    Run(pump, file, 5000, 65000, dump);
  }
  return 0;
}
