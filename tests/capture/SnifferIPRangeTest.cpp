// The excluded-range list: growth steps, bound errors and their messages, the
// reading of range texts, and the octet-wise range test.

#include <gtest/gtest.h>

#include "capture/PacketDecoder.h"
#include "capture/SnifferIPRange.h"

using namespace corvina;

namespace {

std::uint32_t A(const std::string& text) { return RangeTextToAddr(text); }

bool In(const std::string& address, const std::string& start, const std::string& end) {
  return IPInRange(A(address), A(start), A(end));
}

template <typename F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const EExceptionError& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace

TEST(SnifferIPRange, RangeTestComparesEachOctetOnItsOwn) {
  EXPECT_FALSE(In("10.1.0.0", "10.0.0.1", "10.255.255.254"));
  EXPECT_TRUE(In("10.5.3.7", "10.0.0.1", "10.255.255.254"));
  EXPECT_FALSE(In("192.168.0.250", "192.168.0.200", "192.168.1.10"));
  EXPECT_TRUE(In("192.168.1.10", "192.168.1.10", "192.168.1.20"));
  EXPECT_TRUE(In("192.168.1.20", "192.168.1.10", "192.168.1.20"));
  EXPECT_FALSE(In("192.168.1.21", "192.168.1.10", "192.168.1.20"));
  EXPECT_FALSE(In("192.168.1.15", "192.168.1.20", "192.168.1.10"));
}

TEST(SnifferIPRange, RangeTextsAcceptLeadingZerosAndReadAnythingElseAsAllOnes) {
  EXPECT_EQ(AddrToText(A("010.000.000.001")), "10.0.0.1");
  EXPECT_EQ(AddrToText(A("192.168.000.255")), "192.168.0.255");
  EXPECT_EQ(AddrToText(A("000.000.000.000")), "0.0.0.0");
  for (const char* bad :
       {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "a.b.c.d", "1..2.3", " 1.2.3.4", "1.2.3.4 "})
    EXPECT_EQ(A(bad), 0xFFFFFFFFu) << bad;

  TSnifferIPRangeList list;
  list.AddRange("bad", "255.255.255.255");
  list.AddRange("10.0.0.1", "bad");
  // A bad start leaves only 255.255.255.255; a bad end leaves everything at or above the start.
  EXPECT_TRUE(IPInRange(A("255.255.255.255"), list.Get(0).StartAddr, list.Get(0).EndAddr));
  EXPECT_FALSE(IPInRange(A("255.255.255.254"), list.Get(0).StartAddr, list.Get(0).EndAddr));
  EXPECT_TRUE(IPInRange(A("200.9.9.9"), list.Get(1).StartAddr, list.Get(1).EndAddr));
  EXPECT_FALSE(IPInRange(A("200.9.9.0"), list.Get(1).StartAddr, list.Get(1).EndAddr));
}

TEST(SnifferIPRange, GrowthFollowsTheCapacitySteps) {
  TSnifferIPRangeList list;
  std::vector<int> capacities;
  for (int i = 0; i < 77; ++i) {
    EXPECT_EQ(list.Add({std::uint32_t(i), 0}), i);
    if (capacities.empty() || capacities.back() != list.Capacity())
      capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95}));
  EXPECT_EQ(list.Get(76).StartAddr, 76u);

  TSnifferIPRangeList at64;
  at64.SetCount(64);
  at64.Add({});
  EXPECT_EQ(at64.Capacity(), 80);  // 16 more at 64
  at64.SetCount(80);
  at64.Add({});
  EXPECT_EQ(at64.Capacity(), 100);  // a quarter more above 64
}

TEST(SnifferIPRange, DeleteMovesLaterEntriesDownAndKeepsCapacity) {
  TSnifferIPRangeList list;
  for (std::uint32_t i = 0; i < 5; ++i) list.Add({i, i});
  list.Delete(1);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Capacity(), 8);
  EXPECT_EQ(list.Get(0).StartAddr, 0u);
  EXPECT_EQ(list.Get(1).StartAddr, 2u);
  EXPECT_EQ(list.Get(3).StartAddr, 4u);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(SnifferIPRange, BadIndexCountAndCapacityRaiseTheirMessages) {
  TSnifferIPRangeList list;
  list.Add({1, 1});
  list.Add({2, 2});
  EXPECT_EQ(ErrorOf([&] { list.Delete(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { list.Get(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf([&] { list.SetCapacity(1); }), "List capacity out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { list.SetCapacity(0x10000000); }),
            "List capacity out of bounds (268435456)");
  EXPECT_EQ(ErrorOf([&] { list.SetCount(-1); }), "List count out of bounds (-1)");
  EXPECT_EQ(ErrorOf([&] { list.SetCount(0x10000000); }), "List count out of bounds (268435456)");
  EXPECT_EQ(list.Count(), 2);  // failed calls change nothing
}

TEST(SnifferIPRange, SetCountZeroFillsNewEntriesAndShrinks) {
  TSnifferIPRangeList list;
  list.Add({9, 9});
  list.SetCount(1);
  list.SetCount(0);
  list.SetCount(6);
  EXPECT_EQ(list.Capacity(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(list.Get(i), (TSnifferIPRange{0, 0}));
  list.SetCount(2);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Capacity(), 6);
}
