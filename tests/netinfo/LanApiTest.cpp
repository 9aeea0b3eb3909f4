#include <gtest/gtest.h>

#include "netinfo/LanApi.h"
#include "platform/AdapterQuery.h"

using namespace corvina;

namespace {

TAdapterRecord Adapter(std::vector<TAdapterIPv4> addresses, std::vector<std::uint8_t> mac,
                       std::string description) {
  TAdapterRecord r;
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
  EXPECT_EQ(list[0],
            (TAdapterAddress{"10.0.0.1", "255.0.0.0", "00-1A-2B-3C-4D-5E", "eth0 (e1000e)"}));
  EXPECT_EQ(list[1], (TAdapterAddress{"192.168.5.7", "255.255.255.0", "00-1A-2B-3C-4D-5E",
                                      "eth0 (e1000e)"}));
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
  EXPECT_FALSE(FindAdapterAddress("02-00-00-00-00-01", address));
  EXPECT_EQ(address, "0.0.0.0");
  address = "junk";
  EXPECT_FALSE(FindAdapterAddress("AA-BB-CC-DD-EE-FF", address));
  EXPECT_EQ(address, "0.0.0.0");
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
