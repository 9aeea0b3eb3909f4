#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "PageTestSupport.h"
#include "UiTestSupport.h"
#include "settings/CfgKeys.h"
#include "ui/AddressEdit.h"
#include "ui/Dialogs.h"
#include "ui/frmStatU.h"
#include "ui/frmToolsConnectU.h"
#include "ui/frmToolsDesignerU.h"
#include "ui/frmToolsStatU.h"
#include "ui/frmToolsU.h"

using namespace corvina;
using test::Get;
using test::Set;

namespace {

QStringList Rows(const QTreeWidget* list) {
  QStringList rows;
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    rows << list->topLevelItem(i)->text(0) + "-" + list->topLevelItem(i)->text(1);
  return rows;
}

int SelectedRow(const QTreeWidget* list) {
  const auto selected = list->selectedItems();
  return selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());
}

void StoreRanges(const QStringList& startsAndEnds) {
  Set(kLocalIPRangeCount, Variant::FromInteger(startsAndEnds.size() / 2));
  for (int i = 0; i < startsAndEnds.size() / 2; ++i) {
    Set(LocalIPRangeStartKey(i), Variant::FromString(startsAndEnds[2 * i].toStdString()));
    Set(LocalIPRangeEndKey(i), Variant::FromString(startsAndEnds[2 * i + 1].toStdString()));
  }
}

}  // namespace

class FrmToolsStatTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir;

 private slots:
  void initTestCase() { test::UseFreshExecutableFolder(dir); }
  void init() { GetLocalCfgIntf()->BeginUpdate(); }
  void cleanup() { GetLocalCfgIntf()->CancelUpdate(); }

  // Runs first, on an empty store.
  void freshStoreWritesTheProtocolsAndAnEmptyList() {
    TfrmToolsStat page(nullptr);
    page.FormCreate();
    QCOMPARE(page.ListView->topLevelItemCount(), 0);
    QVERIFY(!page.CheckBox1->isChecked());
    QVERIFY(!page.CheckBox2->isChecked());
    QVERIFY(page.CheckBox3->isChecked());
    QCOMPARE(page.IPRangeStart->Text(), QString("000.000.000.000"));
    QVERIFY(!page.ActionAppendItem->isEnabled());
    QVERIFY(!page.ActionDeleteItem->isEnabled());
    page.FormCloseQuery();
    GetLocalCfgIntf()->EndUpdate();
    QCOMPARE(test::StoredKeys(),
             (QStringList{"ShowICMP", "ShowUDP", "ShowTCP", "LocalIPRangeCount"}));
    QCOMPARE(Get(kShowTCP), Variant::FromBoolean(true));
    QCOMPARE(Get(kLocalIPRangeCount), Variant::FromInteger(0));
  }

  void storedValuesAreShownAndWrittenInOrder() {
    Set(kShowICMP, Variant::FromBoolean(true));
    Set(kShowUDP, Variant::FromBoolean(true));
    Set(kShowTCP, Variant::FromBoolean(false));
    StoreRanges({"010.000.000.001", "010.000.000.009", "192.168.000.000", "192.168.255.255"});
    TfrmToolsStat page(nullptr);
    page.FormCreate();
    QVERIFY(page.CheckBox1->isChecked() && page.CheckBox2->isChecked() &&
            !page.CheckBox3->isChecked());
    QCOMPARE(Rows(page.ListView),
             (QStringList{"010.000.000.001-010.000.000.009", "192.168.000.000-192.168.255.255"}));
    QCOMPARE(SelectedRow(page.ListView), -1);
    page.ListView->setCurrentItem(page.ListView->topLevelItem(0));
    page.ActionDeleteItem->trigger();
    page.FormCloseQuery();
    QCOMPARE(Get(kLocalIPRangeCount), Variant::FromInteger(1));
    QCOMPARE(Get(LocalIPRangeStartKey(0)), Variant::FromString("192.168.000.000"));
    QCOMPARE(Get(LocalIPRangeEndKey(0)), Variant::FromString("192.168.255.255"));
    QCOMPARE(Get(LocalIPRangeStartKey(1)),
             Variant::FromString("192.168.000.000"));  // left from the longer list
  }

  // The store holds no range keys from earlier tests: each one is rolled back.
  void anIncompletePairIsSkippedAndTheListRenumbered() {
    Set(kLocalIPRangeCount, Variant::FromInteger(2));
    Set(LocalIPRangeEndKey(0), Variant::FromString("001.001.001.002"));
    Set(LocalIPRangeStartKey(1), Variant::FromString("002.002.002.001"));
    Set(LocalIPRangeEndKey(1), Variant::FromString("002.002.002.002"));
    TfrmToolsStat page(nullptr);
    page.FormCreate();
    QCOMPARE(Rows(page.ListView), QStringList{"002.002.002.001-002.002.002.002"});
    page.FormCloseQuery();
    QCOMPARE(Get(kLocalIPRangeCount), Variant::FromInteger(1));
    QCOMPARE(Get(LocalIPRangeStartKey(0)), Variant::FromString("002.002.002.001"));
    QCOMPARE(Get(LocalIPRangeEndKey(0)), Variant::FromString("002.002.002.002"));
  }

  void appendNeedsBothFieldsChanged() {
    TfrmToolsStat page(nullptr);
    page.FormCreate();
    page.IPRangeStart->SetText("010.000.000.001");
    QVERIFY(!page.ActionAppendItem->isEnabled());
    QVERIFY(!page.Button1->isEnabled());
    page.IPRangeEnd->SetText("010.000.000.002");
    QVERIFY(page.ActionAppendItem->isEnabled());
    QVERIFY(page.Button1->isEnabled());
    page.Button1->click();
    QCOMPARE(Rows(page.ListView), QStringList{"010.000.000.001-010.000.000.002"});
    QCOMPARE(page.IPRangeStart->Text(), QString("000.000.000.000"));
    QCOMPARE(page.IPRangeEnd->Text(), QString("000.000.000.000"));
    QVERIFY(!page.ActionAppendItem->isEnabled());
    // No order or duplicate check: the same range again, reversed, is taken.
    page.IPRangeStart->SetText("010.000.000.002");
    page.IPRangeEnd->SetText("010.000.000.001");
    page.ActionAppendItem->trigger();
    QCOMPARE(page.ListView->topLevelItemCount(), 2);
  }

  void deletingSelectsTheSuccessorOrTheNewLastRow() {
    StoreRanges({"001.000.000.000", "1", "002.000.000.000", "2", "003.000.000.000", "3"});
    TfrmToolsStat page(nullptr);
    page.FormCreate();
    page.ListView->setCurrentItem(page.ListView->topLevelItem(1));
    QVERIFY(page.ActionDeleteItem->isEnabled());
    page.ActionDeleteItem->trigger();
    QCOMPARE(Rows(page.ListView), (QStringList{"001.000.000.000-1", "003.000.000.000-3"}));
    QCOMPARE(SelectedRow(page.ListView), 1);  // the former third row
    page.ActionDeleteItem->trigger();
    QCOMPARE(Rows(page.ListView), QStringList{"001.000.000.000-1"});
    QCOMPARE(SelectedRow(page.ListView), 0);  // the new last row
    page.ActionDeleteItem->trigger();
    QCOMPARE(page.ListView->topLevelItemCount(), 0);
    QCOMPARE(SelectedRow(page.ListView), -1);
    QVERIFY(!page.ActionDeleteItem->isEnabled());
  }

  void theDeleteKeyDeletesOnlyASelectedRow() {
    StoreRanges({"001.000.000.000", "1", "002.000.000.000", "2"});
    TfrmToolsStat page(nullptr);
    page.FormCreate();
    QTest::keyClick(page.ListView, Qt::Key_Delete);
    QCOMPARE(page.ListView->topLevelItemCount(), 2);
    page.ListView->setCurrentItem(page.ListView->topLevelItem(0));
    QTest::keyClick(page.ListView, Qt::Key_Delete);
    QCOMPARE(Rows(page.ListView), QStringList{"002.000.000.000-2"});
    QCOMPARE(SelectedRow(page.ListView), 0);
  }

  void anIncompleteChangedFieldKeepsTheFocusUntilEsc() {
    TfrmToolsStat page(nullptr);
    page.FormCreate();
    page.show();
    QVERIFY(QTest::qWaitForWindowActive(&page));
    TAddressEdit* edit = page.IPRangeStart;
    edit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClicks(edit, "192168");
    QCOMPARE(edit->Text(), QString("192.168.000.000"));  // typing overwrites the digits
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->Text(), QString("192.16 .000.000"));  // an empty position reads as a space
    QVERIFY(!edit->IsComplete());

    QueueMessageBoxAnswer(QMessageBox::Ok);
    page.IPRangeEnd->setFocus(Qt::TabFocusReason);
    QCOMPARE(TakeShownMessageBoxTexts(),
             QStringList{"Invalid input value.  Use escape key to abandon changes"});
    QVERIFY(edit->hasFocus());

    QTest::keyClick(edit, Qt::Key_Escape);
    QCOMPARE(edit->Text(), QString("000.000.000.000"));
    page.IPRangeEnd->setFocus(Qt::TabFocusReason);
    QVERIFY(page.IPRangeEnd->hasFocus());
    QVERIFY(TakeShownMessageBoxTexts().isEmpty());

    // A complete address leaves freely; Esc later goes back to it, not further.
    QTest::keyClick(page.IPRangeEnd, Qt::Key_Home);
    QTest::keyClicks(page.IPRangeEnd, "010000000001");
    edit->setFocus(Qt::TabFocusReason);
    QVERIFY(edit->hasFocus());
    page.IPRangeEnd->setFocus(Qt::TabFocusReason);
    QTest::keyClick(page.IPRangeEnd, Qt::Key_End);
    QTest::keyClick(page.IPRangeEnd, Qt::Key_Backspace);
    QTest::keyClick(page.IPRangeEnd, Qt::Key_Escape);
    QCOMPARE(page.IPRangeEnd->Text(), QString("010.000.000.001"));
    QVERIFY(TakeShownMessageBoxTexts().isEmpty());
  }

  void theDotKeyCompletesTheGroupAndAGroupAbove255IsRefused() {
    TfrmToolsStat page(nullptr);
    page.FormCreate();
    QTest::keyClick(page.IPRangeStart, Qt::Key_Home);
    QTest::keyClicks(page.IPRangeStart, "10.0.172.7.");
    QCOMPARE(page.IPRangeStart->Text(), QString("010.000.172.007"));
    QTest::keyClick(page.IPRangeEnd, Qt::Key_Home);
    QTest::keyClicks(page.IPRangeEnd, "10.300.0.1.");
    QCOMPARE(page.IPRangeEnd->Text(), QString("010.300.000.001"));
    QueueMessageBoxAnswer(QMessageBox::Ok);
    page.ActionAppendItem->trigger();
    QCOMPARE(TakeShownMessageBoxTexts(),
             QStringList{"Неверный адрес 010.300.000.001: каждая группа должна быть числом от 0 "
                         "до 255."});
    QCOMPARE(page.ListView->topLevelItemCount(), 0);
    page.IPRangeEnd->SetText("010.255.000.001");
    page.ActionAppendItem->trigger();
    QCOMPARE(Rows(page.ListView), QStringList{"010.000.172.007-010.255.000.001"});
  }

  // The append shortcut does not leave the field: the row holds the spaces.
  void appendFromAnIncompleteFieldKeepsItsSpaces() {
    TfrmToolsStat page(nullptr);
    page.FormCreate();
    page.IPRangeStart->SetText("010.000.000.001");
    page.IPRangeEnd->setText("010.000.000.0");
    page.ActionAppendItem->trigger();
    QCOMPARE(Rows(page.ListView), QStringList{"010.000.000.001-010.000.000.0  "});
  }

  // The program's own tree: a page visited again reads back what it wrote when it was left.
  void theDialogShowsTheProgramsPagesAndKeepsValuesBetweenVisits() {
    TfrmTools dialog;
    dialog.OnFillTree = FillToolsTree;
    dialog.OnGetPageClass = GetToolsPageClass;
    dialog.show();
    QVERIFY(qobject_cast<TfrmToolsDesigner*>(dialog.CurrentPage()));
    dialog.TreeView->setCurrentItem(dialog.TreeView->topLevelItem(2));
    auto* stat = qobject_cast<TfrmToolsStat*>(dialog.CurrentPage());
    QVERIFY(stat);
    QVERIFY(!stat->CheckBox2->isChecked());
    stat->CheckBox2->setChecked(true);
    dialog.TreeView->setCurrentItem(dialog.TreeView->topLevelItem(3));
    QVERIFY(qobject_cast<TfrmToolsConnect*>(dialog.CurrentPage()));
    dialog.TreeView->setCurrentItem(dialog.TreeView->topLevelItem(2));
    QVERIFY(qobject_cast<TfrmToolsStat*>(dialog.CurrentPage())->CheckBox2->isChecked());
    dialog.Finish();
    QCOMPARE(Get(kShowUDP), Variant::FromBoolean(true));
  }

  void aNonNumericCountIsAnError() {
    Set(kLocalIPRangeCount, Variant::FromString("many"));
    Set(kShowICMP, Variant::FromBoolean(true));
    TfrmToolsStat page(nullptr);
    QVERIFY_THROWS_EXCEPTION(std::exception, page.FormCreate());
    QVERIFY(!page.CheckBox1->isChecked());  // read after the count: not reached
  }
};

QTEST_MAIN(FrmToolsStatTest)
#include "frmToolsStatTest.moc"
