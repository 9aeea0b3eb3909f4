// The adapter watch against a fake adapter table: start, unchanged passes,
// address change, adapter gone and back, a failed start, switching off.

#include <gtest/gtest.h>

#include <cerrno>

#include "capture/CaptureFixture.h"
#include "capture/HostWatch.h"

using namespace corvina;
using namespace corvina::test;
using namespace std::chrono_literals;

namespace {

class HostWatch : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMainThread();
    adapters.Set("192.168.0.2");
    stat = std::make_unique<TSnifferStat>();
    feed = UseMemoryFeed(*stat);
    log.Attach(*stat);
  }
  // The log must outlive the last events of the statistics.
  void TearDown() override {
    stat.reset();
    TSnifferHostEnabledThread::SetPassInterval(1000ms);
  }
  // The events that follow the ones already seen, once `count` of them came.
  std::vector<std::string> Next(std::size_t count, std::chrono::milliseconds timeout = 2500ms) {
    const std::size_t from = seen;
    PumpUntil([&] { return log.names.size() >= from + count; }, timeout);
    seen = log.names.size();
    return {log.names.begin() + long(from), log.names.end()};
  }
  std::string Bound() {
    std::lock_guard lock(feed->mutex);
    return feed->boundAddress;
  }

  TFakeAdapters adapters;
  std::unique_ptr<TSnifferStat> stat;
  std::shared_ptr<TMemoryFeed> feed;
  TEventLog log;
  std::size_t seen = 0;
};

using Names = std::vector<std::string>;

}  // namespace

TEST_F(HostWatch, FollowsTheAdaptersAddress) {
  stat->SetActive(true);
  EXPECT_EQ(Next(3), (Names{"Standby", "Standby", "Start"}));
  EXPECT_EQ(Bound(), "192.168.0.2");
  // An unchanged address raises nothing, pass after pass.
  EXPECT_EQ(Next(1, 1500ms), Names{});

  adapters.Set("192.168.0.3");
  EXPECT_EQ(Next(3), (Names{"Stop", "Standby", "Start"}));
  EXPECT_EQ(Bound(), "192.168.0.3");

  adapters.Set("");
  EXPECT_EQ(Next(2), (Names{"Stop", "Standby"}));
  EXPECT_EQ(Next(1), (Names{"Standby"}));  // once a second while it is gone
  EXPECT_EQ(stat->LocalAddress(), "0.0.0.0");

  adapters.Set("192.168.0.3");
  EXPECT_EQ(Next(2), (Names{"Standby", "Start"}));

  stat->SetActive(false);
  EXPECT_EQ(Next(2), (Names{"Stop", "Standby"}));
  EXPECT_EQ(Next(1, 1200ms), Names{});
}

TEST_F(HostWatch, SwitchingOffDoesNotWaitOutThePause) {
  TSnifferHostEnabledThread::SetPassInterval(std::chrono::hours(1));
  stat->SetActive(true);
  ASSERT_EQ(Next(3), (Names{"Standby", "Standby", "Start"}));
  stat->SetActive(false);
  EXPECT_EQ(Next(2), (Names{"Stop", "Standby"}));
}

// The kernel puts an address of narrower scope (a link-local one, say) before
// the others, so it becomes the adapter's first address.
TEST_F(HostWatch, AnAddressAddedBeforeTheOneInUseDoesNotInterruptTheCapture) {
  TSnifferHostEnabledThread::SetPassInterval(20ms);
  stat->SetActive(true);
  ASSERT_EQ(Next(3), (Names{"Standby", "Standby", "Start"}));
  adapters.Set(std::vector<std::string>{"169.254.7.1", "192.168.0.2"});
  const int queries = adapters.Queries();
  ASSERT_TRUE(PumpUntil([&] { return adapters.Queries() >= queries + 3; }));
  EXPECT_EQ(Next(0), Names{});
  EXPECT_EQ(Bound(), "192.168.0.2");
  adapters.Set("169.254.7.1");
  EXPECT_EQ(Next(3), (Names{"Stop", "Standby", "Start"}));
  EXPECT_EQ(Bound(), "169.254.7.1");
}

// Say the link went down between the look-up and the start; once the adapter
// was away and is back, capture starts again.
TEST_F(HostWatch, ACaptureThatFailedToStartIsTriedAgainWhenTheAdapterReturns) {
  TSnifferHostEnabledThread::SetPassInterval(20ms);
  {
    std::lock_guard lock(feed->mutex);
    feed->failStep[3] = ENETDOWN;
  }
  stat->SetActive(true);
  ASSERT_EQ(Next(4), (Names{"Standby", "Standby", "Stop", "Error"}));
  {
    std::lock_guard lock(feed->mutex);
    feed->failStep[3] = 0;
  }
  adapters.Set("");
  ASSERT_TRUE(PumpUntil([&] { return stat->LocalAddress() == "0.0.0.0"; }));
  adapters.Set("192.168.0.2");
  ASSERT_TRUE(PumpUntil([&] { return stat->Capturing(); }));
  EXPECT_EQ(log.Count("Error"), 1u);
}

TEST_F(HostWatch, ReapplyingSettingsRestartsTheCaptureOnTheNewAdapterAddress) {
  stat->SetActive(true);
  ASSERT_EQ(Next(3), (Names{"Standby", "Standby", "Start"}));
  stat->SetActive(false);
  adapters.Set("192.168.0.7");
  stat->SetActive(true);
  // The old watch's end path may stop what the new one started; it starts again.
  ASSERT_TRUE(
      PumpUntil([&] { return stat->Capturing() && stat->LocalAddress() == "192.168.0.7"; }, 3s));
  PumpFor(1200ms);
  EXPECT_TRUE(stat->Capturing());
  EXPECT_EQ(Bound(), "192.168.0.7");
}
