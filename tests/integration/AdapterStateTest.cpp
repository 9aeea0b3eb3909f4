// The adapter watch against real links in namespaces: a link that is down or
// loses its carrier, one renamed, a bridge that shares its port's hardware
// address, and tunnels without a hardware address.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>

#include "capture/CaptureFixture.h"
#include "capture/HostWatch.h"
#include "netinfo/LanApi.h"
#include "support/CaptureHelper.h"
#include "support/VethPair.h"

using namespace corvina;
using namespace corvina::test;
using namespace std::chrono_literals;

namespace {

class AdapterState : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = NetnsUnavailableReason();
    if (!why.empty()) GTEST_SKIP() << why;
    SetMainThread();
    PlaceCaptureHelper();
    TSnifferHostEnabledThread::SetPassInterval(50ms);
    net = std::make_unique<TVethPair>("state");
    stat = std::make_unique<TSnifferStat>();
    stat->SetAdapterMac(TVethPair::kLocalMac);
    stat->ProtocolFilter = ProtocolBit(sptICMP);
    log.Attach(*stat);
  }
  void TearDown() override {
    stat.reset();
    net.reset();
    TSnifferHostEnabledThread::SetPassInterval(1000ms);
  }
  bool CapturingOn(const std::string& address) {
    return PumpUntil([&] { return stat->Capturing() && stat->LocalAddress() == address; });
  }
  bool Waiting() {
    return PumpUntil([&] { return !stat->Capturing() && stat->LocalAddress() == "0.0.0.0"; });
  }
  // One echo from the peer to the local address; true once the meter counted it.
  bool PeerPingCounted() {
    const std::int64_t before = stat->Counters().IcmpIn;
    net->peer.Run("ping -c 1 -W 2 10.77.0.1");
    return PumpUntil([&] { return stat->Counters().IcmpIn == before + 84; });
  }

  std::unique_ptr<TVethPair> net;
  std::unique_ptr<TSnifferStat> stat;
  TEventLog log;
};

// A tun device in the calling thread's namespace; while the descriptor is open
// the link has its carrier.
int OpenTun(const char* name) {
  const int fd = open("/dev/net/tun", O_RDWR | O_CLOEXEC);
  ifreq req{};
  req.ifr_flags = IFF_TUN | IFF_NO_PI;
  std::strncpy(req.ifr_name, name, IFNAMSIZ - 1);
  if (fd < 0 || ioctl(fd, TUNSETIFF, &req) != 0) throw std::runtime_error("no tun device");
  return fd;
}

}  // namespace

TEST_F(AdapterState, TheCaptureFollowsTheLinkDownAndUp) {
  // Started before the network is up: the link is configured but still down.
  net->local.Run("ip link set cap0 down");
  stat->SetActive(true);
  ASSERT_TRUE(PumpUntil([&] { return log.Count("Standby") >= 4; }));
  EXPECT_EQ(log.Count("Start") + log.Count("Error"), 0u);
  net->local.Run("ip link set cap0 up");
  ASSERT_TRUE(CapturingOn(TVethPair::kLocalAddress));
  EXPECT_TRUE(PeerPingCounted());

  // The carrier goes when the far end goes down.
  net->peer.Run("ip link set cap1 down");
  ASSERT_TRUE(Waiting());
  net->peer.Run("ip link set cap1 up");
  ASSERT_TRUE(CapturingOn(TVethPair::kLocalAddress));

  // Renamed while metered (only a link that is down can be): found again by its hardware address.
  net->local.Run("ip link set cap0 down");
  ASSERT_TRUE(Waiting());
  net->local.Run("ip link set cap0 name lan0");
  net->local.Run("ip link set lan0 up");
  ASSERT_TRUE(CapturingOn(TVethPair::kLocalAddress));
  EXPECT_TRUE(PeerPingCounted());
  EXPECT_EQ(log.Count("Error"), 0u);
}

// Bridges, bonds and VLANs take their port's hardware address: the interface
// that holds the address is the one metered.
TEST_F(AdapterState, ABridgeThatSharesItsPortsHardwareAddressIsMetered) {
  net->local.Run("ip addr flush dev cap0");
  net->local.Run("ip link add br0 address 02:00:00:00:0c:01 type bridge");
  net->local.Run("ip link set cap0 master br0");
  net->local.Run("ip addr add 10.77.0.1/24 dev br0");
  net->local.Run("ip link set br0 up");
  stat->SetActive(true);
  ASSERT_TRUE(CapturingOn(TVethPair::kLocalAddress));
  EXPECT_TRUE(PeerPingCounted());
}

TEST_F(AdapterState, TunnelsWithoutAHardwareAddressAreListedAndMeteredByName) {
  const int tun0 = OpenTun("tun0");
  const int tun1 = OpenTun("tun1");
  net->local.Run("ip addr add 10.88.0.1 peer 10.88.0.2 dev tun0");
  net->local.Run("ip addr add 10.88.1.1 peer 10.88.1.2 dev tun1");
  net->local.Run("ip link set tun0 up");
  net->local.Run("ip link set tun1 up");
  net->local.WaitForCarrier("tun0");
  net->local.WaitForCarrier("tun1");
  std::vector<std::string> tunnels;
  for (const TAdapterAddress& a : EnumAdapterAddresses())
    if (a.Description.rfind("tun", 0) == 0)
      tunnels.push_back(a.Address + " " + a.MacAddress + " " + a.Description);
  EXPECT_EQ(tunnels, (std::vector<std::string>{"10.88.0.1 00-00-00-00-00-00 tun0 (tun)",
                                               "10.88.1.1 00-00-00-00-00-00 tun1 (tun)"}));

  stat->SetAdapterMac("tun1");
  stat->SetActive(true);
  ASSERT_TRUE(CapturingOn("10.88.1.1"));
  // The echo request leaves through the tunnel; nobody at its far end answers.
  net->local.TryRun("ping -c 1 -W 1 10.88.1.2");
  EXPECT_TRUE(PumpUntil([&] { return stat->Counters().IcmpOut == 84; }));
  close(tun0);
  close(tun1);
}
