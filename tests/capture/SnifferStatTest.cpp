// The statistics object driven by a capture thread on a memory feed: event
// order, counting by filter, the new-day reset, start failures, failing
// handlers, stop and destruction with workers running.

#include <gtest/gtest.h>

#include <cerrno>

#include "capture/CaptureFixture.h"
#include "framework/DateTime.h"

using namespace corvina;
using namespace corvina::test;
using namespace std::chrono_literals;

namespace {

constexpr std::uint8_t kLocal[4] = {192, 168, 0, 2};
constexpr std::uint8_t kRemote[4] = {192, 168, 0, 5};
constexpr std::uint8_t kOther[4] = {192, 168, 0, 9};

class SnifferStatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMainThread();
    adapters.Set("192.168.0.2");
    clock = EncodeDate(2024, 3, 31) + EncodeTime(12, 0, 0, 0);
    SetNowFunction([this] { return clock; });
    stat = std::make_unique<TSnifferStat>();
    feed = UseMemoryFeed(*stat);
    log.Attach(*stat);
  }
  void TearDown() override {
    stat.reset();
    SetNowFunction({});
  }
  void StartAndWait() {
    stat->StartCapture();
    ASSERT_TRUE(PumpUntil([&] { return stat->Capturing(); }));
  }
  // Feeds packets and pumps until the thread waits for more.
  void Feed(std::initializer_list<std::vector<std::uint8_t>> packets) {
    for (const auto& p : packets) feed->Push(p);
    ASSERT_TRUE(PumpUntil([&] {
      std::lock_guard lock(feed->mutex);
      return feed->packets.empty() && feed->receivesBlocked > 0;
    }));
  }

  int Closes() {
    std::lock_guard lock(feed->mutex);
    return feed->closes;
  }

  TFakeAdapters adapters;
  TDateTime clock = 0;
  std::unique_ptr<TSnifferStat> stat;
  std::shared_ptr<TMemoryFeed> feed;
  TEventLog log;
};

}  // namespace

TEST_F(SnifferStatTest, CountsFilteredProtocolsAndRaisesTrafficForEveryDeliveredPacket) {
  StartAndWait();
  EXPECT_EQ(feed->boundAddress, "192.168.0.2");
  EXPECT_EQ(stat->PeriodStart(), clock);
  Feed({MakePacket(60, 6, kRemote, kLocal),    // TCP in: counted
        MakePacket(100, 17, kLocal, kRemote),  // UDP out: not in the filter
        MakePacket(20, 6, kRemote, kLocal),    // too short: ignored
        MakePacket(80, 6, kRemote, kOther),    // other hosts: dropped
        MakePacket(80, 2, kRemote, kLocal),    // IGMP: dropped
        MakePacket(40, 6, kLocal, kLocal)});   // self to self: outgoing
  ASSERT_EQ(log.names, (std::vector<std::string>{"Start", "Traffic", "Traffic", "Traffic"}));
  EXPECT_EQ(log.samples[1].Incoming, 60);
  EXPECT_EQ(log.samples[1].Outgoing, 0);
  EXPECT_EQ(log.samples[1].TotalIncoming, 60);
  EXPECT_EQ(log.counters[1].TcpIn, 60);
  EXPECT_EQ(log.samples[2].Incoming, 0);
  EXPECT_EQ(log.samples[2].Outgoing, 0);
  EXPECT_EQ(log.samples[2].TotalIncoming, 60);
  EXPECT_EQ(log.samples[2].TotalOutgoing, 0);
  EXPECT_EQ(log.counters[2].UdpOut, 0);
  EXPECT_EQ(log.samples[3].Outgoing, 40);
  EXPECT_EQ(log.counters[3].TcpOut, 40);
  for (const auto& s : log.samples) EXPECT_EQ(s.Duration, 0);
  EXPECT_EQ(log.samples[3].Address, "192.168.0.2");

  stat->ProtocolFilter |= ProtocolBit(sptUDP);
  Feed({MakePacket(100, 17, kLocal, kRemote)});
  EXPECT_EQ(log.Last().Outgoing, 100);
  EXPECT_EQ(log.Last().TotalOutgoing, 140);
}

TEST_F(SnifferStatTest, StopDeliversOneStopAtOnceAndRestartKeepsTheDaysCounters) {
  StartAndWait();
  Feed({MakePacket(60, 6, kRemote, kLocal)});
  stat->StopCapture();
  // Heard before StopCapture returned, and only once.
  EXPECT_EQ(log.names.back(), "Stop");
  EXPECT_FALSE(stat->Capturing());
  EXPECT_EQ(stat->LocalAddress(), "0.0.0.0");
  EXPECT_EQ(stat->PeriodStart(), NoPeriodStart());
  PumpUntil([&] {
    std::lock_guard lock(feed->mutex);
    return feed->receivesBlocked == 0;
  });
  PumpFor(50ms);
  EXPECT_EQ(log.Count("Stop"), 1u);
  EXPECT_EQ(Closes(), 1);

  StartAndWait();
  EXPECT_EQ(log.names.back(), "Start");
  EXPECT_EQ(log.counters.back().TcpIn, 60);
  EXPECT_EQ(log.Last().TotalIncoming, 60);
}

TEST_F(SnifferStatTest, APacketDecodedBeforeStopIsNotDelivered) {
  StartAndWait();
  feed->Push(MakePacket(60, 6, kRemote, kLocal));
  // Let the thread queue its packet without running it, then stop.
  std::this_thread::sleep_for(100ms);
  stat->StopCapture();
  PumpFor(100ms);
  EXPECT_EQ(log.Count("Traffic"), 0u);
  EXPECT_EQ(log.Count("Stop"), 1u);
}

TEST_F(SnifferStatTest, FirstPacketOfANewDayCarriesTheOldTotalsThenTheCountersRestart) {
  StartAndWait();
  clock = EncodeDate(2024, 3, 31) + EncodeTime(23, 59, 59, 0);
  Feed({MakePacket(100, 6, kRemote, kLocal)});
  clock = EncodeDate(2024, 4, 1) + EncodeTime(0, 0, 1, 0);
  Feed({MakePacket(50, 6, kRemote, kLocal)});
  EXPECT_EQ(log.Last().TotalIncoming, 150);
  EXPECT_EQ(log.Last().StartTime, clock);
  EXPECT_EQ(stat->Counters().TcpIn, 0);
  EXPECT_EQ(stat->PeriodStart(), clock);
  Feed({MakePacket(70, 6, kRemote, kLocal)});
  EXPECT_EQ(log.Last().TotalIncoming, 70);
}

TEST_F(SnifferStatTest, EarlierTotalsOfTheDayCountOnUntilTheNextDay) {
  stat->SetEarlierTotals(1000, 2000);
  EXPECT_EQ(stat->HostData().TotalOutgoing, 2000);
  StartAndWait();
  EXPECT_EQ(log.Last().TotalIncoming, 1000);  // the start shows them
  Feed({MakePacket(60, 6, kRemote, kLocal)});
  EXPECT_EQ(log.Last().TotalIncoming, 1060);
  EXPECT_EQ(log.Last().TotalOutgoing, 2000);
  clock = EncodeDate(2024, 4, 1) + EncodeTime(0, 0, 1, 0);
  Feed({MakePacket(50, 6, kRemote, kLocal), MakePacket(70, 6, kRemote, kLocal)});
  EXPECT_EQ(log.Last().TotalIncoming, 70);
  EXPECT_EQ(log.Last().TotalOutgoing, 0);
}

namespace {

// Feeds the statistics directly, without a thread.
class TDirectStat : public TSnifferStat {
 public:
  using TSnifferStat::DoPacket;
};

}  // namespace

TEST_F(SnifferStatTest, CountersPassTwoGibibytesInADay) {
  TDirectStat direct;
  direct.ProtocolFilter = ProtocolBit(sptUDP);
  TSnifferProtocolData data;
  data.ipType = sptUDP;
  data.ipDirection = sdtOutgoing;
  data.ipPacketSize = 60000;
  TSnifferHostData last;
  direct.OnTraffic = [&](TSnifferStat*, const TSnifferHostData& h, const TSnifferStatCounters&) {
    last = h;
  };
  data.ipTime = clock;
  for (int i = 0; i < 40000; ++i) direct.DoPacket(0, data);
  EXPECT_EQ(direct.Counters().UdpOut, 2400000000LL);
  EXPECT_EQ(last.TotalOutgoing, 2400000000LL);
  EXPECT_EQ(last.Outgoing, 60000);
}

TEST_F(SnifferStatTest, AFifteenCharacterAddressFitsTheSample) {
  adapters.Set("255.255.255.255");
  StartAndWait();
  feed->Push(MakePacket(60, 6, kRemote, {255, 255, 255, 255}));
  ASSERT_TRUE(PumpUntil([&] { return log.Count("Traffic") == 1; }));
  EXPECT_EQ(log.Last().Address, "255.255.255.255");
}

TEST_F(SnifferStatTest, FailedOpeningGivesStopThenErrorAndNoRetryUntilStopCapture) {
  feed->failStep[3] = EPERM;
  stat->StartCapture();
  ASSERT_TRUE(PumpUntil([&] { return log.Count("Error") == 1; }));
  EXPECT_EQ(log.names, (std::vector<std::string>{"Stop", "Error"}));
  EXPECT_EQ(log.errors[0], std::to_string(EPERM) + " Operation not permitted");
  EXPECT_TRUE(PumpUntil([&] { return Closes() == 1; }));
  EXPECT_EQ(stat->LocalAddress(), "192.168.0.2");
  stat->StartCapture();
  EXPECT_EQ(feed->sourcesMade, 1);
  stat->StopCapture();
  EXPECT_EQ(log.Count("Stop"), 1u);  // the failed thread already reported its end
  feed->failStep[3] = 0;
  StartAndWait();
  EXPECT_EQ(feed->sourcesMade, 2);
}

TEST_F(SnifferStatTest, FailedStartupGivesOnlyTheError) {
  feed->failStep[0] = EAGAIN;
  stat->StartCapture();
  ASSERT_TRUE(PumpUntil([&] { return log.Count("Error") == 1; }));
  PumpFor(50ms);
  stat->StopCapture();
  EXPECT_EQ(log.names, (std::vector<std::string>{"Error"}));
}

TEST_F(SnifferStatTest, AFailingTrafficHandlerEndsTheCapture) {
  StartAndWait();
  stat->OnTraffic = [](TSnifferStat*, const TSnifferHostData&, const TSnifferStatCounters&) {
    throw std::runtime_error("handler failed");
  };
  feed->Push(MakePacket(60, 6, kRemote, kLocal));
  ASSERT_TRUE(PumpUntil([&] { return !stat->Capturing(); }));
  EXPECT_EQ(log.names.back(), "Stop");
  EXPECT_TRUE(PumpUntil([&] { return Closes() == 1; }));
  feed->Push(MakePacket(60, 6, kRemote, kLocal));
  PumpFor(50ms);
  EXPECT_EQ(log.Count("Traffic"), 0u);
}

TEST_F(SnifferStatTest, RangesChangedOnTheMainThreadWhileCapturing) {
  StartAndWait();
  stat->Ranges()->AddRange("192.168.000.005", "192.168.000.005");
  Feed({MakePacket(60, 6, kRemote, kLocal), MakePacket(60, 6, kLocal, kRemote),
        MakePacket(60, 6, kOther, kLocal)});
  EXPECT_EQ(log.Count("Traffic"), 1u);
  // Refill the list again and again while packets flow.
  for (int i = 0; i < 2000; ++i) feed->Push(MakePacket(60, 6, kOther, kLocal));
  for (int round = 0; round < 200; ++round) {
    auto ranges = stat->Ranges();
    ranges->Clear();
    for (int k = 0; k < 10; ++k) ranges->AddRange("10.0.0." + std::to_string(k), "10.0.0.255");
    ranges->AddRange("192.168.0.5", "192.168.0.5");
    CheckSynchronize();
  }
  ASSERT_TRUE(PumpUntil([&] { return log.Count("Traffic") == 2001; }));
}

TEST_F(SnifferStatTest, DestroyingWithWorkersRunningReachesNothingAfterwards) {
  for (int round = 0; round < 5; ++round) {
    auto owner = std::make_unique<TSnifferStat>();
    auto f = UseMemoryFeed(*owner);
    int events = 0;
    owner->OnTraffic = [&](TSnifferStat*, const TSnifferHostData&, const TSnifferStatCounters&) {
      ++events;
    };
    owner->SetActive(true);
    ASSERT_TRUE(PumpUntil([&] { return owner->Capturing(); }));
    // A packet waits in Synchronize while the owner goes away.
    f->Push(MakePacket(60, 6, kRemote, kLocal));
    std::this_thread::sleep_for(20ms);
    owner.reset();
    const int seen = events;
    PumpFor(30ms);
    EXPECT_EQ(events, seen);
  }
}

TEST_F(SnifferStatTest, SwitchingOnTwiceMakesOneWatch) {
  stat->SetActive(true);
  stat->SetActive(true);
  ASSERT_TRUE(PumpUntil([&] { return log.Count("Start") == 1; }));
  PumpFor(100ms);
  EXPECT_EQ(log.names, (std::vector<std::string>{"Standby", "Standby", "Start"}));
  stat->SetActive(false);
  stat->SetActive(false);
  ASSERT_TRUE(
      PumpUntil([&] { return log.Count("Stop") == 1 && log.names.back() == "Standby"; }, 3s));
}

TEST_F(SnifferStatTest, APacketOfABatchAfterAStopIsNotDelivered) {
  StartAndWait();
  stat->OnTraffic = [this](TSnifferStat* sender, const TSnifferHostData& h,
                           const TSnifferStatCounters& c) {
    log.names.push_back("Traffic");
    log.samples.push_back(h);
    log.counters.push_back(c);
    sender->StopCapture();  // the first packet of the batch stops the capture
  };
  const TDateTime t = clock;
  feed->PushAll({{MakePacket(60, 6, kRemote, kLocal), t},
                 {MakePacket(61, 6, kRemote, kLocal), t},
                 {MakePacket(62, 6, kRemote, kLocal), t}});
  ASSERT_TRUE(PumpUntil([&] { return Closes() == 1; }));
  PumpFor(50ms);
  EXPECT_EQ(log.names, (std::vector<std::string>{"Start", "Traffic", "Stop"}));
  EXPECT_EQ(stat->Counters().TcpIn, 60);
}

TEST_F(SnifferStatTest, ABatchAcrossMidnightResetsTheCountersBetweenItsPackets) {
  StartAndWait();
  const TDateTime before = EncodeDate(2024, 3, 31) + EncodeTime(23, 59, 59, 900);
  const TDateTime after = EncodeDate(2024, 4, 1) + EncodeTime(0, 0, 0, 100);
  feed->PushAll({{MakePacket(100, 6, kRemote, kLocal), before},
                 {MakePacket(50, 6, kRemote, kLocal), after},
                 {MakePacket(70, 6, kRemote, kLocal), after}});
  ASSERT_TRUE(PumpUntil([&] { return log.Count("Traffic") == 3; }));
  EXPECT_EQ(log.samples[1].TotalIncoming, 100);
  EXPECT_EQ(log.samples[2].TotalIncoming, 150);  // the first packet of the day, then the reset
  EXPECT_EQ(log.samples[3].TotalIncoming, 70);
  EXPECT_EQ(log.samples[1].StartTime, before);  // each row is stamped with its own packet's time
  EXPECT_EQ(log.samples[3].StartTime, after);
}

TEST_F(SnifferStatTest, ACaptureStartedOnALaterDayStartsFromZeroAndAClockSetBackNeverResets) {
  StartAndWait();
  Feed({MakePacket(100, 6, kRemote, kLocal)});
  stat->StopCapture();
  // Standby overnight: the next capture starts the next morning.
  clock = EncodeDate(2024, 4, 1) + EncodeTime(8, 0, 0, 0);
  StartAndWait();
  EXPECT_EQ(log.Last().TotalIncoming, 0);
  Feed({MakePacket(50, 6, kRemote, kLocal)});
  EXPECT_EQ(log.Last().TotalIncoming, 50);
  // The clock is set back over midnight and forward again: the day goes on.
  clock = EncodeDate(2024, 3, 31) + EncodeTime(23, 59, 0, 0);
  Feed({MakePacket(25, 6, kRemote, kLocal)});
  clock = EncodeDate(2024, 4, 1) + EncodeTime(8, 0, 5, 0);
  Feed({MakePacket(30, 6, kRemote, kLocal)});
  EXPECT_EQ(log.Last().TotalIncoming, 105);
  EXPECT_EQ(stat->Counters().TcpIn, 105);
}
