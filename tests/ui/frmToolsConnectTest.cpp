#include <QLabel>
#include <QTreeWidget>
#include <QtTest>

#include "PageTestSupport.h"
#include "UiTestSupport.h"
#include "platform/AdapterQuery.h"
#include "settings/CfgKeys.h"
#include "ui/frmToolsConnectU.h"

using namespace corvina;
using test::Get;
using test::Set;

namespace {

TAdapterRecord Adapter(std::uint8_t last, std::vector<TAdapterIPv4> addresses,
                       std::string description) {
  TAdapterRecord r;
  r.Name = "eth" + std::to_string(last);
  r.Addresses = std::move(addresses);
  const std::uint8_t mac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, last};
  std::copy(std::begin(mac), std::end(mac), r.HardwareAddress);
  r.HardwareAddressLength = 6;
  r.Description = std::move(description);
  return r;
}

// A link without a hardware address, such as a tunnel or a PPP link.
TAdapterRecord Tunnel(std::string name, std::string address) {
  TAdapterRecord r;
  r.Name = name;
  r.Addresses = {{std::move(address), "255.255.255.255"}};
  r.Description = name + " (tun)";
  return r;
}

// eth1 with two addresses, then eth2.
std::vector<TAdapterRecord> TwoAdapters() {
  return {
      Adapter(1, {{"192.168.0.2", "255.255.255.0"}, {"10.1.0.2", "255.255.0.0"}}, "First adapter"),
      Adapter(2, {{"172.16.0.9", "255.240.0.0"}}, "Second adapter")};
}

int SelectedRow(const QTreeWidget* list) {
  const auto selected = list->selectedItems();
  return selected.size() == 1 ? list->indexOfTopLevelItem(selected.first()) : -1;
}

}  // namespace

class FrmToolsConnectTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir;

 private slots:
  void initTestCase() { test::UseFreshExecutableFolder(dir); }
  void init() {
    SetAdapterQuery(TwoAdapters);
    GetLocalCfgIntf()->BeginUpdate();
  }
  void cleanup() {
    GetLocalCfgIntf()->CancelUpdate();
    SetAdapterQuery({});
  }

  void withoutASettingTheLastRowIsChosenAndStored() {
    TfrmToolsConnect page(nullptr);
    page.FormCreate();
    QCOMPARE(page.ListView->topLevelItemCount(), 3);
    QCOMPARE(page.ListView->columnCount(), 3);
    const QTreeWidgetItem* first = page.ListView->topLevelItem(0);
    QCOMPARE(first->text(0), QString("192.168.0.2"));
    QCOMPARE(first->text(1), QString("255.255.255.0"));
    QCOMPARE(first->text(2), QString("02-00-00-00-00-01"));
    QCOMPARE(first->data(0, TfrmToolsConnect::kDescriptionRole).toString(),
             QString("First adapter"));
    QCOMPARE(SelectedRow(page.ListView), 2);
    QCOMPARE(page.Label3->text(), QString("172.16.0.9 (255.240.0.0)"));
    QCOMPARE(page.Label4->text(), QString("Second adapter"));
    page.FormCloseQuery();
    QCOMPARE(Get(kMacBind), Variant::FromString("02-00-00-00-00-02"));
  }

  // Both rows of an adapter with two addresses carry its hardware address; the last one is
  // preselected.
  void theRememberedAdapterIsPreselected() {
    Set(kMacBind, Variant::FromString("02-00-00-00-00-01"));
    TfrmToolsConnect page(nullptr);
    page.FormCreate();
    QCOMPARE(SelectedRow(page.ListView), 1);
    QCOMPARE(page.Label3->text(), QString("10.1.0.2 (255.255.0.0)"));
    QCOMPARE(page.Label4->text(), QString("First adapter"));
    page.ListView->setCurrentItem(page.ListView->topLevelItem(0));
    QCOMPARE(page.Label3->text(), QString("192.168.0.2 (255.255.255.0)"));
    page.FormCloseQuery();
    QCOMPARE(Get(kMacBind), Variant::FromString("02-00-00-00-00-01"));
  }

  void aRememberedAdapterThatIsGoneSelectsNothingAndKeepsTheSetting() {
    Set(kMacBind, Variant::FromString("02-00-00-00-00-77"));
    TfrmToolsConnect page(nullptr);
    page.FormCreate();
    QCOMPARE(page.ListView->topLevelItemCount(), 3);
    QVERIFY(page.ListView->selectedItems().isEmpty());
    QVERIFY(page.Label3->text().isEmpty());
    page.FormCloseQuery();
    QCOMPARE(Get(kMacBind), Variant::FromString("02-00-00-00-00-77"));
  }

  void noAdaptersLeaveTheListEmptyAndWriteNothing() {
    SetAdapterQuery([] { return std::vector<TAdapterRecord>{}; });
    TfrmToolsConnect page(nullptr);
    page.FormCreate();
    QCOMPARE(page.ListView->topLevelItemCount(), 0);
    QVERIFY(page.Label3->text().isEmpty() && page.Label4->text().isEmpty());
    page.FormCloseQuery();
    QVERIFY(Get(kMacBind).IsNull());
  }

  // Deselecting tells the row too: the labels show the row that lost the selection.
  void deselectingARowStillShowsItsDetails() {
    TfrmToolsConnect page(nullptr);
    page.FormCreate();
    page.ListView->clearSelection();
    QCOMPARE(page.Label3->text(), QString("172.16.0.9 (255.240.0.0)"));
    page.FormCloseQuery();
    QVERIFY(Get(kMacBind).IsNull());
  }

  // Such links all read "00-00-00-00-00-00"; remembered by name, the one chosen is the one
  // preselected next time.
  void linksWithoutAHardwareAddressAreRememberedByName() {
    SetAdapterQuery([] {
      return std::vector{Tunnel("tun0", "10.8.0.1"), Tunnel("ppp0", "10.9.0.1")};
    });
    TfrmToolsConnect page(nullptr);
    page.FormCreate();
    QCOMPARE(page.ListView->topLevelItem(0)->text(2), QString("00-00-00-00-00-00"));
    page.ListView->setCurrentItem(page.ListView->topLevelItem(0));
    page.FormCloseQuery();
    QCOMPARE(Get(kMacBind), Variant::FromString("tun0"));
    TfrmToolsConnect again(nullptr);
    again.FormCreate();
    QCOMPARE(SelectedRow(again.ListView), 0);
  }
};

QTEST_MAIN(FrmToolsConnectTest)
#include "frmToolsConnectTest.moc"
