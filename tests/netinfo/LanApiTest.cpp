#include <gtest/gtest.h>

#include "netinfo/LanApi.h"
#include "platform/AdapterQuery.h"

using namespace corvina;

namespace {

TAdapterRecord Adapter(std::vector<TAdapterIPv4> addresses, std::vector<std::uint8_t> mac,
                       std::string description) {
  TAdapterRecord r;
  r.Name = description.substr(0, description.find(' '));
  r.Addresses = std::move(addresses);
  r.HardwareAddressLength = static_cast<unsigned>(mac.size());
  std::copy(mac.begin(), mac.end(), r.HardwareAddress);
  r.Description = std::move(description);
  return r;
}

class LanApi : public ::testing::Test {
 protected:
  void Use(std::vector<TAdapterRecord> table) {
    SetAdapterQuery([table] { return table; });
  }
  void TearDown() override { SetAdapterQuery(nullptr); }
};

}  // namespace

TEST(MacToText, Rules) {
  const std::uint8_t mac[8] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0xF0, 0x0F};
  EXPECT_EQ(MacToText(mac, 6), "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(MacToText(mac, 0), "00-00-00-00-00-00");
  EXPECT_EQ(MacToText(mac, 1), "00");
  EXPECT_EQ(MacToText(mac, 8), "00-1A-2B-3C-4D-5E-F0-0F");
  EXPECT_EQ(MacToText(mac, 20), "00-1A-2B-3C-4D-5E-F0-0F");  // never past 8 bytes
}

TEST_F(LanApi, OneEntryPerAddressAndOneForAnAdapterWithout) {
  Use({Adapter({{"10.0.0.1", "255.0.0.0"}, {"192.168.5.7", "255.255.255.0"}},
               {0, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, "eth0 (e1000e)"),
       Adapter({}, {2, 0, 0, 0, 0, 1}, "wlan0 (iwlwifi)")});
  const auto list = EnumAdapterAddresses();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0], (TAdapterAddress{"10.0.0.1", "255.0.0.0", "00-1A-2B-3C-4D-5E", "eth0 (e1000e)",
                                      "eth0"}));
  EXPECT_EQ(list[1], (TAdapterAddress{"192.168.5.7", "255.255.255.0", "00-1A-2B-3C-4D-5E",
                                      "eth0 (e1000e)", "eth0"}));
  EXPECT_EQ(list[2].Address, "0.0.0.0");
  EXPECT_EQ(list[2].MacAddress, "02-00-00-00-00-01");
}

TEST_F(LanApi, DescriptionIsCutTo131Characters) {
  Use({Adapter({}, {1, 2, 3, 4, 5, 6}, std::string(200, 'x'))});
  EXPECT_EQ(EnumAdapterAddresses()[0].Description.size(), 131u);
}

TEST_F(LanApi, FindAdapterAddressRules) {
  Use({Adapter({{"10.0.0.1", "255.0.0.0"}, {"10.0.0.2", "255.0.0.0"}},
               {0, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, "a"),
       Adapter({}, {2, 0, 0, 0, 0, 1}, "b")});
  std::string address = "junk";
  EXPECT_TRUE(FindAdapterAddress("00-1a-2b-3c-4d-5e", address));  // any letter case
  EXPECT_EQ(address, "10.0.0.1");                                 // the first address
  // unless the capture is on another that the adapter still holds
  EXPECT_TRUE(FindAdapterAddress("00-1A-2B-3C-4D-5E", address, "10.0.0.2"));
  EXPECT_EQ(address, "10.0.0.2");
  EXPECT_TRUE(FindAdapterAddress("00-1A-2B-3C-4D-5E", address, "10.0.0.9"));
  EXPECT_EQ(address, "10.0.0.1");
  EXPECT_FALSE(FindAdapterAddress("02-00-00-00-00-01", address));
  EXPECT_EQ(address, "0.0.0.0");
  address = "junk";
  EXPECT_FALSE(FindAdapterAddress("AA-BB-CC-DD-EE-FF", address));
  EXPECT_EQ(address, "0.0.0.0");
}

// A bridge, bond or VLAN shares its port's hardware address; a port that is down or has no
// carrier shows no address, like an unplugged adapter.
TEST_F(LanApi, ASharedHardwareAddressFindsTheInterfaceThatHoldsAnAddress) {
  const std::vector<std::uint8_t> mac = {0, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  TAdapterRecord down = Adapter({{"10.0.0.9", "255.0.0.0"}}, mac, "eth1");
  down.Running = false;
  TAdapterRecord bridge = Adapter({{"192.168.1.5", "255.255.255.0"}}, mac, "br0 (bridge)");
  Use({Adapter({}, mac, "eth0"), down, bridge});
  EXPECT_EQ(EnumAdapterAddresses()[1],
            (TAdapterAddress{"0.0.0.0", "0.0.0.0", "00-1A-2B-3C-4D-5E", "eth1", "eth1"}));
  std::string address;
  EXPECT_TRUE(FindAdapterAddress("00-1A-2B-3C-4D-5E", address));
  EXPECT_EQ(address, "192.168.1.5");
}

// Loopback, tunnels and PPP links all read "00-00-00-00-00-00"; they are remembered by name.
TEST_F(LanApi, LinksWithoutAHardwareAddressAreToldApartByName) {
  Use({Adapter({{"127.0.0.1", "255.0.0.0"}}, {0, 0, 0, 0, 0, 0}, "lo (loopback)"),
       Adapter({{"10.8.0.1", "255.255.255.255"}}, {}, "tun0 (tun)"),
       Adapter({{"10.9.0.1", "255.255.255.255"}}, {}, "ppp0 (ppp)"),
       Adapter({}, {2, 0, 0, 0, 0, 1}, "eth0")});
  std::vector<std::string> keys;
  for (const TAdapterAddress& a : EnumAdapterAddresses()) {
    EXPECT_EQ(a.MacAddress, a.Name == "eth0" ? "02-00-00-00-00-01" : "00-00-00-00-00-00");
    keys.push_back(AdapterBindKey(a));
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"lo", "tun0", "ppp0", "02-00-00-00-00-01"}));
  std::string address;
  EXPECT_TRUE(FindAdapterAddress("ppp0", address));
  EXPECT_EQ(address, "10.9.0.1");
  // Settings saved before these links were listed can only have meant the loopback.
  EXPECT_TRUE(FindAdapterAddress("00-00-00-00-00-00", address));
  EXPECT_EQ(address, "127.0.0.1");
}

TEST_F(LanApi, NoAdaptersGiveAnEmptyListAndNoAddress) {
  Use({});
  EXPECT_TRUE(EnumAdapterAddresses().empty());
  std::string address;
  EXPECT_FALSE(FindAdapterAddress("00-1A-2B-3C-4D-5E", address));
  EXPECT_EQ(address, "0.0.0.0");
}

TEST(LanApiSystem, ListsLoopbackWithItsAddress) {
  bool found = false;
  for (const auto& a : EnumAdapterAddresses())
    if (a.Address == "127.0.0.1")
      found = a.MacAddress == "00-00-00-00-00-00" && a.Description.rfind("lo", 0) == 0;
  EXPECT_TRUE(found);
}
