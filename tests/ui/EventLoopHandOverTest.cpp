// The capture thread's batches reach the meter window through the Qt event
// loop: every packet counted and stored once, in order, while the loop also
// runs the window's timers; a stop and the window's end while batches are
// still coming reach nothing afterwards. Run under the thread sanitizer too.

#include <QtTest>

#include "UiTestSupport.h"
#include "capture/CaptureFixture.h"
#include "capture/HostWatch.h"
#include "database/DMU.h"
#include "settings/CfgKeys.h"
#include "ui/EventLoopSync.h"
#include "ui/frmStatU.h"

using namespace corvina;

namespace {

constexpr std::uint8_t kRemote[4] = {192, 168, 0, 5};
constexpr std::uint8_t kLocal[4] = {192, 168, 0, 2};
constexpr int kBatches = 40;
constexpr int kPerBatch = 500;

void FeedBatches(test::TMemoryFeed& feed, int first) {
  for (int b = 0; b < kBatches; ++b) {
    std::vector<test::TMemoryFeed::TPacket> batch;
    for (int i = 0; i < kPerBatch; ++i)
      batch.push_back(
          {test::MakePacket(21 + (first + b * kPerBatch + i) % 1000, 6, kRemote, kLocal), Now()});
    feed.PushAll(std::move(batch));
  }
}

}  // namespace

class EventLoopHandOverTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  test::TFakeAdapters adapters;

 private slots:
  void initTestCase() {
    QApplication::setApplicationDisplayName("Corvina");
    test::UseFreshExecutableFolder(dir);
    // The watch starts the capture once and then leaves it to the test.
    test::CommitSettings({{kMacBind, Variant::FromString(test::kMac)}});
    TSnifferHostEnabledThread::SetPassInterval(std::chrono::hours(1));
    adapters.Set("192.168.0.2");
    RunSynchronizeFromEventLoop();
  }

  void everyPacketIsCountedAndStoredOnce() {
    TDM dm({});
    dm.DataModuleCreate();
    TfrmStatic form(&dm);
    form.FormCreate();
    auto feed = test::UseMemoryFeed(*form.Stat());
    QTRY_VERIFY(form.Stat()->Capturing());
    FeedBatches(*feed, 0);
    std::int64_t bytes = 0;
    for (int i = 0; i < kBatches * kPerBatch; ++i) bytes += 21 + i % 1000;
    QTRY_COMPARE_WITH_TIMEOUT(form.Stat()->Counters().TcpIn, bytes, 20000);
    form.FormDestroy();
    const auto rows = dm.Connection()->Query("SELECT COUNT(*), SUM(INCOMING) FROM INETTRAFFIC");
    QCOMPARE(rows.at(0).at(0).AsInteger(), kBatches * kPerBatch);
    QCOMPARE(rows.at(0).at(1).AsInt64(), bytes);
    QCOMPARE(dm.FailedInsertCount(), 0u);
  }

  void aStopAndTheWindowsEndWhileBatchesComeReachNothingAfterwards() {
    TDM dm({});
    dm.DataModuleCreate();
    auto form = std::make_unique<TfrmStatic>(&dm);
    form->FormCreate();
    auto feed = test::UseMemoryFeed(*form->Stat());
    int traffic = 0;
    form->Stat()->OnTraffic = [&](TSnifferStat*, const TSnifferHostData&,
                                  const TSnifferStatCounters&) { ++traffic; };
    QTRY_VERIFY(form->Stat()->Capturing());
    FeedBatches(*feed, 0);
    QTRY_VERIFY(traffic > 0);
    form->Stat()->StopCapture();
    const int atStop = traffic;
    QTest::qWait(50);
    QCOMPARE(traffic, atStop);
    FeedBatches(*feed, 1);
    form->Stat()->StartCapture();
    QTRY_VERIFY(traffic > atStop);
    form->FormDestroy();
    form.reset();
    const int atEnd = traffic;
    QTest::qWait(50);
    QCOMPARE(traffic, atEnd);
  }

  void cleanupTestCase() {
    SetSynchronizeWakeHook(nullptr);
    TSnifferHostEnabledThread::SetPassInterval(std::chrono::seconds(1));
  }
};

QTEST_MAIN(EventLoopHandOverTest)
#include "EventLoopHandOverTest.moc"
