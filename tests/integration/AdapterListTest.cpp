// The adapter list and the look-up against interfaces of known hardware
// addresses in a network namespace of the test's own.

#include <gtest/gtest.h>

#include "netinfo/LanApi.h"
#include "support/NetNs.h"

using namespace corvina;
using corvina::test::TNetns;

namespace {

class AdapterList : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = corvina::test::NetnsUnavailableReason();
    if (!why.empty()) GTEST_SKIP() << why;
    ns = std::make_unique<TNetns>("adapters");
    // A veth pair: the kernel gives the peer d1 its index before d0.
    ns->Run(
        "ip link add d0 address 00:1a:2b:3c:4d:5e type veth peer name d1 address "
        "02:00:00:00:00:01");
    ns->Run("ip addr add 10.20.0.1/24 dev d0");
    ns->Run("ip addr add 10.30.0.1/16 dev d0");
    ns->Run("ip link set d0 up");
    ns->Run("ip link set d1 up");
    ns->WaitForCarrier("d0");
    ns->WaitForCarrier("d1");
    ns->Enter();
  }
  std::unique_ptr<TNetns> ns;
};

}  // namespace

TEST_F(AdapterList, EntriesAndLookUpFollowTheInterfaces) {
  const auto list = EnumAdapterAddresses();
  // By interface index: lo, then d1 without IPv4, then d0 with its two addresses.
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0], (TAdapterAddress{"127.0.0.1", "255.0.0.0", "00-00-00-00-00-00",
                                      "lo (loopback)", "lo"}));
  EXPECT_EQ(list[1],
            (TAdapterAddress{"0.0.0.0", "0.0.0.0", "02-00-00-00-00-01", "d1 (veth)", "d1"}));
  EXPECT_EQ(list[2], (TAdapterAddress{"10.20.0.1", "255.255.255.0", "00-1A-2B-3C-4D-5E",
                                      "d0 (veth)", "d0"}));
  EXPECT_EQ(list[3],
            (TAdapterAddress{"10.30.0.1", "255.255.0.0", "00-1A-2B-3C-4D-5E", "d0 (veth)", "d0"}));

  std::string address;
  EXPECT_TRUE(FindAdapterAddress("00-1a-2b-3c-4d-5e", address));
  EXPECT_EQ(address, "10.20.0.1");
  EXPECT_FALSE(FindAdapterAddress("02-00-00-00-00-01", address));
  EXPECT_EQ(address, "0.0.0.0");

  ns->Run("ip link del d0");
  address = "x";
  EXPECT_FALSE(FindAdapterAddress("00-1A-2B-3C-4D-5E", address));
  EXPECT_EQ(address, "0.0.0.0");
}

TEST_F(AdapterList, AnAddressLabelBelongsToItsInterface) {
  ns->Run("ip addr add 10.40.0.1/8 dev d1 label d1:alias");
  std::string address;
  EXPECT_TRUE(FindAdapterAddress("02-00-00-00-00-01", address));
  EXPECT_EQ(address, "10.40.0.1");
}
