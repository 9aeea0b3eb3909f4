// The meter window with its settings, statistics, capture and database, run
// in a network namespace whose veth end the settings name: traffic sent there
// moves the labels, turns the tray green and lands as rows in the database.

#include <QtTest>

#include "database/DMU.h"
#include "framework/Thread.h"
#include "settings/CfgKeys.h"
#include "support/CaptureHelper.h"
#include "support/VethPair.h"
#include "ui/EventLoopSync.h"
#include "ui/UiTestSupport.h"
#include "ui/frmStatU.h"

using namespace corvina;

class ProgramCaptureTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir;

 private slots:
  void trafficOnTheChosenAdapterIsCountedAndStored() {
    const std::string why = test::NetnsUnavailableReason();
    if (!why.empty()) QSKIP(why.c_str());
    qputenv("LC_ALL", "C.UTF-8");  // the counter texts below are those of this locale
    QApplication::setApplicationDisplayName("Corvina");
    test::TVethPair veth("program");
    RunSynchronizeFromEventLoop();
    test::UseFreshExecutableFolder(dir);
    test::PlaceCaptureHelper();
    test::CommitSettings({{kMacBind, Variant::FromString(test::TVethPair::kLocalMac)},
                          {kShowICMP, Variant::FromBoolean(true)}});  // no first-start dialog

    TDM dm({});
    dm.DataModuleCreate();
    QVERIFY(dm.DatabaseOpen());
    TfrmStatic form(&dm);
    form.FormCreate();
    QCOMPARE(form.TrayImage(), int(tiStandby));
    QTRY_COMPARE_WITH_TIMEOUT(form.TrayImage(), int(tiCapturing), 5000);

    // 5 echo requests of 100 data bytes: 128-byte IPv4 packets each way.
    veth.peer.Run(std::string("ping -c 5 -i 0.2 -s 100 ") + test::TVethPair::kLocalAddress);
    QTRY_COMPARE_WITH_TIMEOUT(form.Stat()->Counters().IcmpIn, std::int64_t(5 * 128), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(form.Stat()->Counters().IcmpOut, std::int64_t(5 * 128), 5000);
    // The window shows the totals with its next refresh, a tenth of a second later at most.
    QTRY_COMPARE(form.IncomingLabel->text(), QString("640 байт"));
    QTRY_COMPARE(form.OutgoingLabel->text(), QString("640 байт"));
    QCOMPARE(form.TrayHint(), QString("Corvina\nПринято: 640 байт\nОтправлено: 640 байт"));

    dm.Flush();
    const auto rows = dm.Connection()->Query(
        "SELECT COUNT(*), SUM(INCOMING), SUM(OUTGOING), MIN(IP) FROM INETTRAFFIC WHERE INCOMING + "
        "OUTGOING > 0");
    QCOMPARE(rows.at(0).at(0).AsInteger(), 10);
    QCOMPARE(rows.at(0).at(1).AsInteger(), 640);
    QCOMPARE(rows.at(0).at(2).AsInteger(), 640);
    QCOMPARE(rows.at(0).at(3).AsString(), std::string(test::TVethPair::kLocalAddress));

    form.FormDestroy();
    SetSynchronizeWakeHook(nullptr);
  }
};

QTEST_MAIN(ProgramCaptureTest)
#include "ProgramCaptureTest.moc"
