// The settings dialog run from the meter window, in network namespaces: what
// the pages write reaches the capture as soon as OK is pressed. The program's
// namespace holds two veth ends (cap0 and pg0); their peers sit in another.

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTreeWidget>
#include <QtTest>

#include "framework/Thread.h"
#include "settings/CfgKeys.h"
#include "support/CaptureHelper.h"
#include "support/VethPair.h"
#include "ui/AddressEdit.h"
#include "ui/EventLoopSync.h"
#include "ui/UiTestSupport.h"
#include "ui/frmStatU.h"
#include "ui/frmToolsConnectU.h"
#include "ui/frmToolsStatU.h"
#include "ui/frmToolsU.h"

using namespace corvina;

namespace {

constexpr const char* kSecondMac = "02-00-00-00-0C-03";
constexpr int kUdpPacket = 20 + 8 + 5;  // IPv4 header, UDP header, "hello"

// One datagram (or a refused connection attempt, for TCP) from source to target port 9.
void Send(const test::TNetns& from, const char* type, const std::string& source,
          const std::string& target) {
  from.TryRun("python3 -c \"import socket; s = socket.socket(socket.AF_INET, socket." +
              std::string(type) + "); s.bind(('" + source + "', 0)); s.settimeout(1); " +
              (std::string(type) == "SOCK_DGRAM" ? "s.sendto(b'hello', ('" + target + "', 9))\""
                                                 : "s.connect(('" + target + "', 9))\""));
}

// Opens the settings dialog from the meter window, lets edit change its pages, presses OK.
void ChangeSettings(TfrmStatic& form, std::function<void(TfrmTools*)> edit) {
  test::WhenModalShown([edit](QWidget* modal) {
    auto* dialog = qobject_cast<TfrmTools*>(modal);
    edit(dialog);
    dialog->accept();
  });
  form.ActionToolsExecute();
}

// OK switches capture off and on: the old adapter watch stops the running
// capture on its way out and the new one starts it again. Packets sent in
// between are not seen, so each step waits for the new capture before it
// sends what it checks; until then the old capture may still count.
bool WaitForCaptureAfter(TfrmStatic& form, TDateTime okAt) {
  return QTest::qWaitFor(
      [&] { return form.Stat()->Capturing() && form.Stat()->PeriodStart() >= okAt; }, 10000);
}

template <class Page>
Page* ShowPage(TfrmTools* dialog, int node) {
  dialog->TreeView->setCurrentItem(dialog->TreeView->topLevelItem(node));
  return qobject_cast<Page*>(dialog->CurrentPage());
}

}  // namespace

class FrmToolsCaptureTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir;

 private slots:
  void okChangesWhatIsCaptured() {
    const std::string why = test::NetnsUnavailableReason();
    if (!why.empty()) QSKIP(why.c_str());
    test::TVethPair veth("uipages");
    veth.local.Run(
        "ip link add pg0 address 02:00:00:00:0c:03 type veth peer name pg1 address "
        "02:00:00:00:0c:04");
    veth.local.Run("ip link set pg1 netns " + veth.peer.Name());
    veth.local.Run("ip addr add 10.78.0.1/24 dev pg0");
    veth.local.Run("ip link set pg0 up");
    veth.peer.Run("ip addr add 10.78.0.2/24 dev pg1");
    veth.peer.Run("ip addr add 10.77.0.3/24 dev cap1");
    veth.peer.Run("ip link set pg1 up");
    veth.peer.Run("ping -c 1 -W 2 10.78.0.1");

    RunSynchronizeFromEventLoop();
    test::UseFreshExecutableFolder(dir);
    test::PlaceCaptureHelper();
    test::CommitSettings(
        {{kMacBind, Variant::FromString(test::TVethPair::kLocalMac)}});  // no first-start dialog
    TfrmStatic form(nullptr);
    form.FormCreate();
    auto stop =
        qScopeGuard([&form] {  // also when a check fails: capture ends before the window goes
          form.FormDestroy();
          SetSynchronizeWakeHook(nullptr);
        });
    QTRY_COMPARE_WITH_TIMEOUT(form.TrayImage(), int(tiCapturing), 10000);
    const auto& counters = form.Stat()->Counters();

    // Only TCP is counted at first: the datagram sent before the TCP attempt is not.
    Send(veth.peer, "SOCK_DGRAM", "10.77.0.2", "10.77.0.1");
    Send(veth.peer, "SOCK_STREAM", "10.77.0.2", "10.77.0.1");
    QTRY_VERIFY_WITH_TIMEOUT(counters.TcpIn > 0, 10000);
    QCOMPARE(counters.UdpIn, std::int64_t(0));

    // Switching UDP on: datagrams count once the dialog is closed with OK.
    QElapsedTimer clock;
    TDateTime okAt = Now();
    ChangeSettings(form, [](TfrmTools* dialog) {
      ShowPage<TfrmToolsStat>(dialog, 2)->CheckBox2->setChecked(true);
    });
    clock.start();
    // Waiting for the restart also keeps it from happening during the next step.
    QVERIFY(WaitForCaptureAfter(form, okAt));
    QTRY_VERIFY_WITH_TIMEOUT(
        (Send(veth.peer, "SOCK_DGRAM", "10.77.0.2", "10.77.0.1"), counters.UdpIn > 0), 10000);
    qInfo("UDP counted %lld ms after OK", static_cast<long long>(clock.elapsed()));

    // Excluding 10.77.0.2: its datagrams stop counting, those of 10.77.0.3 still count.
    okAt = Now();
    ChangeSettings(form, [](TfrmTools* dialog) {
      auto* page = ShowPage<TfrmToolsStat>(dialog, 2);
      page->IPRangeStart->SetText("010.077.000.002");
      page->IPRangeEnd->SetText("010.077.000.002");
      page->ActionAppendItem->trigger();
    });
    clock.start();
    QVERIFY(WaitForCaptureAfter(form, okAt));
    std::int64_t before = counters.UdpIn;
    Send(veth.peer, "SOCK_DGRAM", "10.77.0.2", "10.77.0.1");
    Send(veth.peer, "SOCK_DGRAM", "10.77.0.3", "10.77.0.1");
    QTRY_VERIFY_WITH_TIMEOUT(counters.UdpIn > before, 10000);
    QCOMPARE(counters.UdpIn - before, std::int64_t(kUdpPacket));  // the excluded one was dropped
    qInfo("range in effect %lld ms after OK", static_cast<long long>(clock.elapsed()));

    // Choosing the other adapter moves the capture there.
    okAt = Now();
    ChangeSettings(form, [](TfrmTools* dialog) {
      auto* page = ShowPage<TfrmToolsConnect>(dialog, 3);
      for (int i = 0; i < page->ListView->topLevelItemCount(); ++i)
        if (page->ListView->topLevelItem(i)->text(2) == kSecondMac)
          page->ListView->setCurrentItem(page->ListView->topLevelItem(i));
    });
    clock.start();
    QCOMPARE(form.Stat()->AdapterMac(), std::string(kSecondMac));
    QVERIFY(WaitForCaptureAfter(form, okAt));
    before = counters.UdpIn;
    QTRY_VERIFY_WITH_TIMEOUT(
        (Send(veth.peer, "SOCK_DGRAM", "10.78.0.2", "10.78.0.1"), counters.UdpIn > before), 10000);
    QCOMPARE(form.Stat()->HostData().Address, std::string("10.78.0.1"));
    qInfo("new adapter counted %lld ms after OK", static_cast<long long>(clock.elapsed()));
  }
};

QTEST_MAIN(FrmToolsCaptureTest)
#include "frmToolsCaptureTest.moc"
