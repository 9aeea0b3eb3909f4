// Live capture on a veth pair between two namespaces: counts against what
// tcpdump recorded, excluded ranges, the dump file, the adapter watch
// following address changes and removal, and a capture without rights.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <pcap/pcap.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "capture/CaptureFixture.h"
#include "platform/System.h"
#include "support/CaptureHelper.h"
#include "support/PacketSockets.h"
#include "support/VethPair.h"

using namespace corvina;
using namespace corvina::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// What tcpdump saw: IPv4 bytes and packets per protocol and direction.
struct TTally {
  std::map<std::pair<int, bool>, std::int64_t> bytes;  // (protocol, incoming)
  int packets = 0;
};

class TTcpdump {
 public:
  TTcpdump(const TNetns& ns, const std::string& device, const std::string& file) : file_(file) {
    const std::string log = file + ".log";
    pid_ = fork();
    if (pid_ == 0) {
      freopen(log.c_str(), "w", stderr);
      execlp("ip", "ip", "netns", "exec", ns.Name().c_str(), "tcpdump", "--immediate-mode", "-i",
             device.c_str(), "-U", "-w", file.c_str(), "ip", nullptr);
      _exit(127);
    }
    for (int i = 0; i < 100; ++i) {
      std::ifstream in(log);
      std::stringstream text;
      text << in.rdbuf();
      if (text.str().find("listening on") != std::string::npos) return;
      std::this_thread::sleep_for(50ms);
    }
    throw std::runtime_error("tcpdump did not start");
  }
  ~TTcpdump() { Stop(); }
  // Waits until the capture file holds these bytes (tcpdump -U writes each packet at once).
  bool WaitForBytes(const std::string& bytes) {
    for (int i = 0; i < 200; ++i) {
      std::ifstream in(file_, std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      if (text.str().find(bytes) != std::string::npos) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGINT);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  TTally Tally(const std::string& local) {
    Stop();
    TTally tally;
    char errbuf[PCAP_ERRBUF_SIZE];
    pcap_t* p = pcap_open_offline(file_.c_str(), errbuf);
    if (!p) throw std::runtime_error(errbuf);
    in_addr localAddr{};
    inet_pton(AF_INET, local.c_str(), &localAddr);
    pcap_pkthdr* h;
    const u_char* d;
    while (pcap_next_ex(p, &h, &d) == 1) {
      if (h->caplen < 34 || d[12] != 0x08 || d[13] != 0x00) continue;
      const u_char* ip = d + 14;
      const int protocol = ip[9];
      if (protocol != 1 && protocol != 6 && protocol != 17) continue;
      const bool incoming = std::memcmp(ip + 16, &localAddr, 4) == 0;
      if (!incoming && std::memcmp(ip + 12, &localAddr, 4) != 0) continue;
      tally.bytes[{protocol, incoming}] += ip[2] << 8 | ip[3];
      ++tally.packets;
    }
    pcap_close(p);
    return tally;
  }

 private:
  std::string file_;
  pid_t pid_ = -1;
};

class CaptureLive : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = NetnsUnavailableReason();
    if (!why.empty()) GTEST_SKIP() << why;
    SetMainThread();
    folder = fs::temp_directory_path() / ("corvina-capture-it-" + std::to_string(getpid()));
    fs::create_directories(folder);
    SetExecutablePath((folder / "corvina").string());
    PlaceCaptureHelper();
    net = std::make_unique<TVethPair>();
    stat = std::make_unique<TSnifferStat>();
    stat->SetAdapterMac(TVethPair::kLocalMac);
    log.Attach(*stat);
  }
  void TearDown() override {
    stat.reset();
    net.reset();
    SetExecutablePath("");
    fs::remove_all(folder);
  }
  void SwitchOnAndWaitForCapture() {
    stat->SetActive(true);
    ASSERT_TRUE(PumpUntil([&] { return log.Count("Start") == 1; }));
    EXPECT_EQ(log.names, (std::vector<std::string>{"Standby", "Standby", "Start"}));
    EXPECT_EQ(stat->LocalAddress(), TVethPair::kLocalAddress);
  }
  // Events after the first `from`, once `count` more came or the time is up.
  std::vector<std::string> EventsAfter(std::size_t from, std::size_t count,
                                       std::chrono::milliseconds timeout) {
    PumpUntil([&] { return log.names.size() >= from + count; }, timeout);
    return {log.names.begin() + long(from), log.names.end()};
  }

  fs::path folder;
  std::unique_ptr<TVethPair> net;
  std::unique_ptr<TSnifferStat> stat;
  TEventLog log;
};

using Names = std::vector<std::string>;

// Sends a datagram and makes a short TCP exchange from the local namespace's side.
void LocalSendsUdpAndTcp(const TVethPair& net) {
  ASSERT_EQ(net.local.TryRun("bash -c 'printf %0300d 0 > /dev/udp/10.77.0.2/9'"), 0);
  net.local.TryRun("bash -c 'exec 3<>/dev/tcp/10.77.0.2/9'");  // closed port: SYN, then RST
}

}  // namespace

TEST_F(CaptureLive, CountsEqualWhatTcpdumpRecorded) {
  stat->ProtocolFilter = ProtocolBit(sptICMP) | ProtocolBit(sptTCP);
  stat->SetDumpEnabled(true);
  SwitchOnAndWaitForCapture();
  TTcpdump tcpdump(net->local, "cap0", (folder / "oracle.pcap").string());

  // A TCP listener in the local namespace takes a connection with a payload.
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(5001);
  inet_pton(AF_INET, TVethPair::kLocalAddress, &addr.sin_addr);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(listener, 4), 0);

  net->peer.Run("ping -c 3 -i 0.2 -s 100 10.77.0.1");
  net->local.Run("ping -c 2 -i 0.2 -s 1000 10.77.0.2");
  net->peer.Run("bash -c 'printf %0500d 0 > /dev/udp/10.77.0.1/9'");
  net->peer.Run("bash -c 'exec 3<>/dev/tcp/10.77.0.1/5001; printf %01200d 0 >&3; sleep 0.2'");
  LocalSendsUdpAndTcp(*net);
  close(listener);
  // The last packet: once tcpdump wrote it, it wrote every one before it.
  net->peer.Run("bash -c 'printf corvina-end-of-traffic > /dev/udp/10.77.0.1/9'");
  ASSERT_TRUE(tcpdump.WaitForBytes("corvina-end-of-traffic"));

  const TTally tally = tcpdump.Tally(TVethPair::kLocalAddress);
  ASSERT_GT(tally.packets, 15);
  ASSERT_TRUE(PumpUntil([&] { return log.Count("Traffic") >= std::size_t(tally.packets); }));
  PumpFor(200ms);
  EXPECT_EQ(log.Count("Traffic"), std::size_t(tally.packets));

  const TSnifferStatCounters& c = stat->Counters();
  auto seen = [&](int protocol, bool incoming) {
    auto it = tally.bytes.find({protocol, incoming});
    return it == tally.bytes.end() ? 0 : it->second;
  };
  EXPECT_EQ(c.IcmpIn, seen(1, true));
  EXPECT_EQ(c.IcmpOut, seen(1, false));
  EXPECT_EQ(c.TcpIn, seen(6, true));
  EXPECT_EQ(c.TcpOut, seen(6, false));
  EXPECT_GT(seen(17, true), 500);  // UDP came, but is not counted
  EXPECT_EQ(c.UdpIn, 0);
  EXPECT_EQ(c.UdpOut, 0);
  EXPECT_EQ(stat->HostData().TotalIncoming, seen(1, true) + seen(6, true));
  EXPECT_EQ(stat->HostData().TotalOutgoing, seen(1, false) + seen(6, false));

  // One dump record per delivered packet.
  std::ifstream dump(stat->DumpFileName(), std::ios::binary);
  std::stringstream text;
  text << dump.rdbuf();
  std::size_t records = 0;
  for (std::size_t at = text.str().find("ipDateTime: "); at != std::string::npos;
       at = text.str().find("ipDateTime: ", at + 1))
    ++records;
  EXPECT_EQ(records, std::size_t(tally.packets));
}

TEST_F(CaptureLive, AnExcludedRangeDropsThePeersTraffic) {
  stat->ProtocolFilter = ProtocolBit(sptICMP);
  stat->Ranges()->AddRange("010.077.000.002", "010.077.000.002");
  SwitchOnAndWaitForCapture();
  net->peer.Run("ping -c 2 -i 0.2 10.77.0.1");
  PumpFor(300ms);
  EXPECT_EQ(log.Count("Traffic"), 0u);
  stat->Ranges()->Clear();
  net->peer.Run("ping -c 2 -i 0.2 10.77.0.1");
  ASSERT_TRUE(PumpUntil([&] { return log.Count("Traffic") == 4; }));
  EXPECT_EQ(stat->Counters().IcmpIn, 2 * 84);
  EXPECT_EQ(stat->Counters().IcmpOut, 2 * 84);
}

TEST_F(CaptureLive, TheWatchFollowsAddressChangeRemovalAndSwitchOff) {
  SwitchOnAndWaitForCapture();
  // The new address comes before the old one goes, so the adapter never lacks
  // one and the watch sees a single change whenever it looks.
  net->local.Run("sh -c 'echo 1 > /proc/sys/net/ipv4/conf/cap0/promote_secondaries'");
  net->local.Run("ip addr add 10.77.0.3/24 dev cap0");
  net->local.Run("ip addr del 10.77.0.1/24 dev cap0");
  std::size_t from = log.names.size();
  EXPECT_EQ(EventsAfter(from, 3, 2500ms), (Names{"Stop", "Standby", "Start"}));
  EXPECT_EQ(stat->LocalAddress(), "10.77.0.3");
  net->peer.Run("ping -c 1 10.77.0.3");
  stat->ProtocolFilter = ProtocolBit(sptICMP);
  ASSERT_TRUE(PumpUntil([&] { return log.Count("Traffic") == 2; }));

  stat->SetActive(false);
  from = log.names.size();
  EXPECT_EQ(EventsAfter(from, 2, 5000ms), (Names{"Stop", "Standby"}));

  stat->SetActive(true);
  ASSERT_TRUE(PumpUntil([&] { return stat->Capturing(); }));
  net->local.Run("ip link del cap0");
  from = log.names.size();
  EXPECT_EQ(EventsAfter(from, 3, 3000ms), (Names{"Stop", "Standby", "Standby"}));
}

TEST_F(CaptureLive, SwitchingOffReleasesTheCaptureAtOnce) {
  SwitchOnAndWaitForCapture();
  EXPECT_EQ(OpenPacketSockets(), 1);
  stat->SetActive(false);
  EXPECT_EQ(EventsAfter(log.names.size(), 2, 5000ms), (Names{"Stop", "Standby"}));
  // The ring and the filter go with the capture, not at the next start.
  EXPECT_TRUE(PumpUntil([] { return OpenPacketSockets() == 0; }, 3000ms));
}

TEST_F(CaptureLive, WithoutTheCaptureHelperTheErrorIsReported) {
  SetExecutablePath((folder / "elsewhere" / "corvina").string());
  stat->StartCapture();
  ASSERT_TRUE(PumpUntil([&] { return log.Count("Error") == 1; }));
  EXPECT_EQ(log.names, (Names{"Stop", "Error"}));
  EXPECT_EQ(log.errors[0], std::to_string(EPERM) + " Operation not permitted");
}

TEST_F(CaptureLive, WithoutCaptureRightsTheErrorIsReported) {
  // A child without rights tries to capture (its helper, without the
  // capability, cannot) and tells what it heard.
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    TSnifferStat denied;
    TEventLog heard;
    heard.Attach(denied);
    denied.SetAdapterMac(TVethPair::kLocalMac);
    denied.StartCapture();
    PumpUntil([&] { return heard.Count("Error") == 1; });
    const std::string text =
        heard.names == Names{"Stop", "Error"} ? heard.errors[0] : "events out of order";
    _exit(write(pipeFds[1], text.data(), text.size()) == ssize_t(text.size()) ? 0 : 3);
  }
  close(pipeFds[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, std::size_t(n));
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(text, std::to_string(EPERM) + " Operation not permitted");
}
