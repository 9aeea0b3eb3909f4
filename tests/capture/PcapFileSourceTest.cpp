// Replaying capture files of each link type through the capture thread: the
// link-layer header is stripped, frame padding cut, non-IPv4 frames skipped.

#include <gtest/gtest.h>
#include <pcap/pcap.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "capture/CaptureFixture.h"

using namespace corvina;
using namespace corvina::test;
namespace fs = std::filesystem;

namespace {

constexpr std::uint8_t kLocal[4] = {192, 168, 0, 2};
constexpr std::uint8_t kRemote[4] = {192, 168, 0, 5};

using Bytes = std::vector<std::uint8_t>;

Bytes Concat(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

void WriteCapture(const std::string& name, int linkType, const std::vector<Bytes>& frames) {
  pcap_t* dead = pcap_open_dead(linkType, 65535 + 64);
  pcap_dumper_t* dumper = pcap_dump_open(dead, name.c_str());
  ASSERT_NE(dumper, nullptr);
  for (const Bytes& f : frames) {
    pcap_pkthdr header{};
    header.caplen = header.len = bpf_u_int32(f.size());
    pcap_dump(reinterpret_cast<u_char*>(dumper), &header, f.data());
  }
  pcap_dump_close(dumper);
  pcap_close(dead);
}

const Bytes kEthernet = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
const Bytes kIPv4Type = {0x08, 0x00};

class PcapFileSource : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMainThread();
    file = (fs::temp_directory_path() / ("corvina-capture-" + std::to_string(getpid()) + ".pcap"))
               .string();
    adapters.Set("192.168.0.2");
    stat = std::make_unique<TSnifferStat>();
    stat->SetAdapterMac(kMac);
    stat->ProtocolFilter = ProtocolBit(sptTCP) | ProtocolBit(sptUDP) | ProtocolBit(sptICMP);
    stat->SetPacketSourceFactory([this] { return CreateFilePacketSource(file); });
    log.Attach(*stat);
  }
  void TearDown() override {
    stat.reset();
    fs::remove(file);
  }
  // Replays the file and answers the sizes of the delivered packets.
  std::vector<int> Replay(std::size_t expected) {
    std::vector<int> sizes;
    stat->OnTraffic = [&](TSnifferStat*, const TSnifferHostData& h, const TSnifferStatCounters&) {
      sizes.push_back(h.Incoming + h.Outgoing);
    };
    stat->StartCapture();
    PumpUntil([&] { return sizes.size() >= expected; });
    PumpUntil([] { return false; }, std::chrono::milliseconds(50));
    stat->StopCapture();
    return sizes;
  }

  std::string file;
  TFakeAdapters adapters;
  std::unique_ptr<TSnifferStat> stat;
  TEventLog log;
};

}  // namespace

TEST_F(PcapFileSource, EthernetWithAndWithoutVlanTagsAndPadding) {
  const Bytes tcp = MakePacket(40, 6, kRemote, kLocal);
  const Bytes padded =
      Concat(MakePacket(28, 1, kLocal, kRemote), Bytes(18, 0));  // to the 60-byte minimum
  const Bytes vlan = {0x81, 0x00, 0x00, 0x05};
  const Bytes qinq = {0x88, 0xA8, 0x00, 0x07, 0x81, 0x00, 0x00, 0x05};
  const Bytes arp = Concat(Concat(kEthernet, {0x08, 0x06}), Bytes(28, 0));
  WriteCapture(
      file, DLT_EN10MB,
      {Concat(Concat(kEthernet, kIPv4Type), tcp), Concat(Concat(kEthernet, kIPv4Type), padded), arp,
       Concat(Concat(Concat(kEthernet, vlan), kIPv4Type), MakePacket(100, 17, kRemote, kLocal)),
       Concat(Concat(Concat(kEthernet, qinq), kIPv4Type), MakePacket(120, 17, kLocal, kRemote))});
  EXPECT_EQ(Replay(4), (std::vector<int>{40, 28, 100, 120}));
}

TEST_F(PcapFileSource, LoopbackRawAndCookedLinkTypes) {
  const Bytes p = MakePacket(44, 6, kLocal, kRemote);
  Bytes familyHost = {2, 0, 0, 0};
  WriteCapture(file, DLT_NULL,
               {Concat(familyHost, p), Concat({24, 0, 0, 0}, p)});  // 24: IPv6 on BSD
  EXPECT_EQ(Replay(1), std::vector<int>{44});

  WriteCapture(file, DLT_LOOP, {Concat({0, 0, 0, 2}, p)});
  EXPECT_EQ(Replay(1), std::vector<int>{44});

  WriteCapture(file, DLT_RAW,
               {p, Bytes{0x60, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
  EXPECT_EQ(Replay(1), std::vector<int>{44});

  Bytes sll(16, 0);
  sll[14] = 0x08;
  WriteCapture(file, DLT_LINUX_SLL, {Concat(sll, p)});
  EXPECT_EQ(Replay(1), std::vector<int>{44});

  Bytes sll2(20, 0);
  sll2[0] = 0x08;
  WriteCapture(file, DLT_LINUX_SLL2, {Concat(sll2, p)});
  EXPECT_EQ(Replay(1), std::vector<int>{44});
  EXPECT_EQ(log.Count("Start"), 5u);
  EXPECT_EQ(log.Count("Stop"), 5u);
}

TEST_F(PcapFileSource, AMissingFileFailsToOpenWithItsMessage) {
  stat->StartCapture();
  ASSERT_TRUE(PumpUntil([&] { return log.Count("Error") == 1; }));
  EXPECT_EQ(log.names, (std::vector<std::string>{"Stop", "Error"}));
  EXPECT_EQ(log.errors[0].rfind(std::to_string(ENOENT) + " ", 0), 0u);
  EXPECT_NE(log.errors[0].find("No such file"), std::string::npos) << log.errors[0];
}

TEST(PcapSource, AWakeUpThatCouldNotBeMadeFailsTheStartupWithItsOwnError) {
  rlimit saved{};
  getrlimit(RLIMIT_NOFILE, &saved);
  rlimit none = saved;
  none.rlim_cur = 0;  // no descriptor can be made now
  setrlimit(RLIMIT_NOFILE, &none);
  auto source = CreateFilePacketSource("unused.pcap");
  setrlimit(RLIMIT_NOFILE, &saved);
  errno = 0;  // the start-up runs on another thread, whose errno knows nothing of it
  EXPECT_EQ(source->Startup(), EMFILE);
  EXPECT_EQ(source->ErrorText(), std::strerror(EMFILE));
}
