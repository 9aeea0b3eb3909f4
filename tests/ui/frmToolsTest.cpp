#include <QTreeWidget>
#include <QtTest>

#include "UiTestSupport.h"
#include "settings/CfgIntf.h"
#include "ui/Dialogs.h"
#include "ui/frmToolsU.h"

using namespace corvina;

namespace {

// Pages that write how often they were left under their own key.
class TPageA : public TToolsPage {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TPageA(QWidget* owner) : TToolsPage(owner) { ++Created; }
  void FormCreate() override {
    if (FailOnCreate) throw std::runtime_error("unreadable setting");
  }
  bool FormCloseQuery() override {
    ++Left;
    return true;
  }
  static inline int Created = 0;
  static inline int Left = 0;
  static inline bool FailOnCreate = false;
};

class TPageB : public TPageA {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TPageB(QWidget* owner) : TPageA(owner) {}
};

// Node 0: page A, node 1: page B, node 2: no page.
void ThreeNodes(TfrmTools*, QTreeWidget* nodes) {
  for (int id = 0; id < 3; ++id) {
    auto* item = new QTreeWidgetItem(nodes, QStringList{QString::number(id)});
    item->setData(0, kPageIdRole, id);
  }
}
void PageOf(TfrmTools*, QTreeWidgetItem* node, TToolsPageClass& pageClass) {
  const int id = node->data(0, kPageIdRole).toInt();
  if (id == 0) pageClass = &TPageA::staticMetaObject;
  if (id == 1) pageClass = &TPageB::staticMetaObject;
}

void Reset() {
  TPageA::Created = TPageA::Left = 0;
  TPageA::FailOnCreate = false;
}

}  // namespace

class FrmToolsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { Reset(); }

  void showsTheFirstPageAndSwitchesPages() {
    TfrmTools dialog;
    dialog.OnFillTree = ThreeNodes;
    dialog.OnGetPageClass = PageOf;
    dialog.show();
    QCOMPARE(dialog.TreeView->topLevelItemCount(), 3);
    QVERIFY(qobject_cast<TPageA*>(dialog.CurrentPage()));
    QCOMPARE(TPageA::Created, 1);  // the second run of the change step found it in place

    dialog.TreeView->setCurrentItem(dialog.TreeView->topLevelItem(1));
    QCOMPARE(dialog.CurrentPage()->metaObject(), &TPageB::staticMetaObject);
    QCOMPARE(TPageA::Left, 1);  // page A wrote when it was left
    QCOMPARE(dialog.CurrentPage()->parentWidget(), dialog.ContainerPanel);

    dialog.TreeView->setCurrentItem(dialog.TreeView->topLevelItem(2));
    QVERIFY(!dialog.CurrentPage());  // no page class: the container stays empty
    QCOMPARE(TPageA::Left, 2);

    dialog.TreeView->setCurrentItem(dialog.TreeView->topLevelItem(0));
    QCOMPARE(TPageA::Created, 3);  // a page is made anew on every visit
    dialog.Finish();
    QCOMPARE(TPageA::Left, 3);  // the page on view writes at the end
  }

  // Page B derives from page A: selecting A while B is on view keeps B.
  void aDerivedPageOnViewIsKept() {
    TfrmTools dialog;
    dialog.OnFillTree = [](TfrmTools*, QTreeWidget* nodes) {
      new QTreeWidgetItem(nodes, QStringList{"b"});
      new QTreeWidgetItem(nodes, QStringList{"a"});
    };
    dialog.OnGetPageClass = [](TfrmTools*, QTreeWidgetItem* node, TToolsPageClass& pageClass) {
      pageClass = node->text(0) == "b" ? &TPageB::staticMetaObject : &TPageA::staticMetaObject;
    };
    dialog.show();
    dialog.TreeView->setCurrentItem(dialog.TreeView->topLevelItem(1));
    QCOMPARE(dialog.CurrentPage()->metaObject(), &TPageB::staticMetaObject);
    QCOMPARE(TPageA::Created, 1);
  }

  void aPageThatCannotReadIsShownAfterAnErrorBox() {
    TPageA::FailOnCreate = true;
    QueueMessageBoxAnswer(QMessageBox::Ok);
    TfrmTools dialog;
    dialog.OnFillTree = ThreeNodes;
    dialog.OnGetPageClass = PageOf;
    dialog.show();
    QCOMPARE(TakeShownMessageBoxTexts(), QStringList{"unreadable setting"});
    QVERIFY(dialog.CurrentPage() && dialog.CurrentPage()->isVisible());
  }

  void executeReturnsTheModalResult() {
    auto tools = CreateToolsDialog(ThreeNodes, PageOf);
    test::WhenModalShown([](QWidget* modal) {
      QCOMPARE(modal->windowTitle(), "Настройки " + QApplication::applicationDisplayName());
      qobject_cast<QDialog*>(modal)->reject();
    });
    QCOMPARE(tools->Execute(), 2);
    QCOMPARE(TPageA::Left, 1);  // cancelled, yet the page on view wrote its values
    test::WhenModalShown([](QWidget* modal) { qobject_cast<QDialog*>(modal)->accept(); });
    QCOMPARE(tools->Execute(), 1);
  }

  void anErrorWhileOpenEndsTheDialogAndLeavesExecute() {
    auto tools = CreateToolsDialog(
        [](TfrmTools*, QTreeWidget*) { throw std::runtime_error("tree failed"); }, PageOf);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, tools->Execute());
  }
};

QTEST_MAIN(FrmToolsTest)
#include "frmToolsTest.moc"
