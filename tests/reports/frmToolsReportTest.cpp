#include <QAction>
#include <QDateEdit>
#include <QTreeWidget>
#include <QtTest>

#include "reports/ReportTestSupport.h"
#include "reports/frmToolsReportU.h"
#include "ui/Dialogs.h"

using namespace corvina;

namespace {

QString Day(const QDate& date) { return date.toString("dd.MM.yyyy"); }

std::int64_t RowCount(TDM& dm) {
  dm.Flush();
  return dm.Connection()->Query("SELECT COUNT(*) FROM INETTRAFFIC")[0][0].AsInt64();
}

}  // namespace

class FrmToolsReportTest : public QObject {
  Q_OBJECT
  std::unique_ptr<test::TReportDatabase> db;

 private slots:
  void init() {
    db = std::make_unique<test::TReportDatabase>();
    DM = &db->Start();
    TakeShownMessageBoxTexts();
  }
  void cleanup() {
    DM = nullptr;
    db.reset();
  }

  void opensOnTheWholePreviousMonth() {
    TfrmToolsReport page(nullptr);
    page.FormCreate();  // 15 March 2007
    QCOMPARE(Day(page.FD->date()), QString("01.02.2007"));
    QCOMPARE(Day(page.TD->date()), QString("28.02.2007"));
    SetNowFunction([] { return EncodeDateTime({2008, 1, 10, 0, 5, 0, 0}); });
    page.FormCreate();
    QCOMPARE(Day(page.FD->date()), QString("01.12.2007"));
    QCOMPARE(Day(page.TD->date()), QString("31.12.2007"));
  }

  void noKeepsEveryRecordAndYesSaysHowManyWent() {
    db->Insert("10.0.0.1", {2007, 1, 31, 23, 59, 59, 999}, 1, 0);
    db->Insert("10.0.0.1", {2007, 2, 1, 0, 0, 0, 0}, 1, 0);
    db->Insert("10.0.0.1", {2007, 2, 28, 23, 59, 59, 999}, 1, 0);
    db->Insert("10.0.0.1", {2007, 3, 1, 0, 0, 0, 0}, 1, 0);
    TfrmToolsReport page(nullptr);
    page.FormCreate();
    const QString question =
        "Внимание! Сейчас будет удален период с 01.02.2007 по 28.02.2007, продолжить?";
    QueueMessageBoxAnswer(QMessageBox::No);
    page.ActionClearDB->trigger();
    QCOMPARE(TakeShownMessageBoxTexts(), QStringList{question});
    QCOMPARE(RowCount(*db->dm), 4);

    QueueMessageBoxAnswer(QMessageBox::Yes);
    QueueMessageBoxAnswer(QMessageBox::Ok);
    page.ActionClearDB->trigger();
    QCOMPARE(TakeShownMessageBoxTexts(), (QStringList{question, "Удалено записей: 2."}));
    QCOMPARE(RowCount(*db->dm), 2);
  }

  void aReversedPeriodOrAFailedDeletionIsReported() {
    db->Insert("10.0.0.1", {2007, 2, 1, 0, 0, 0, 0}, 1, 0);
    TfrmToolsReport page(nullptr);
    page.FD->setDate(QDate(2007, 3, 1));
    page.TD->setDate(QDate(2007, 2, 1));
    QueueMessageBoxAnswer(QMessageBox::Ok);
    page.ActionClearDB->trigger();
    QCOMPARE(
        TakeShownMessageBoxTexts(),
        QStringList{"Начало периода (01.03.2007) позже его конца (01.02.2007): удалять нечего."});
    QCOMPARE(RowCount(*db->dm), 1);

    page.FormCreate();
    db->dm->Connection()->Execute(
        "CREATE TRIGGER KEEP BEFORE DELETE ON INETTRAFFIC BEGIN SELECT RAISE(ABORT, 'kept'); END");
    QueueMessageBoxAnswer(QMessageBox::Yes);
    QueueMessageBoxAnswer(QMessageBox::Ok);
    page.ActionClearDB->trigger();
    QCOMPARE(TakeShownMessageBoxTexts().value(1), QString("Период не удален: kept"));
    QCOMPARE(RowCount(*db->dm), 1);
  }

  void actionsFollowSelectionAndDatabase() {
    TfrmToolsReport page(nullptr);
    QCOMPARE(page.ListView->topLevelItemCount(), 3);
    QVERIFY(!page.ActionReportOpen->isEnabled());
    QVERIFY(page.ActionClearDB->isEnabled());
    page.ListViewDblClick();  // on empty space: nothing
    QVERIFY(TakeShownMessageBoxTexts().isEmpty());
    page.ListView->setCurrentItem(page.ListView->topLevelItem(2));
    QCOMPARE(page.SelectedReport(), std::string("FR00ALL"));
    QVERIFY(page.ActionReportOpen->isEnabled());
    page.ActionReportOpen->trigger();
    QVERIFY(db->shown);
    QCOMPARE(db->shown->Title, std::string("ОТЧЕТ ЗА ВЕСЬ ПЕРИОД"));
  }

  void aClosedDatabaseDisablesBothButADoubleClickStillRuns() {
    db->dm.reset();
    test::WriteFileBytes(db->folder.Path() / "Meter.dat", "not a database");
    DM = &db->Start();
    QVERIFY(!DM->DatabaseOpen());
    TfrmToolsReport page(nullptr);
    page.ListView->setCurrentItem(page.ListView->topLevelItem(2));
    QVERIFY(!page.ActionReportOpen->isEnabled());
    QVERIFY(!page.ActionClearDB->isEnabled());
    QueueMessageBoxAnswer(QMessageBox::Ok);
    page.ListViewDblClick();
    QCOMPARE(TakeShownMessageBoxTexts(), QStringList{"file is not a database"});
  }
};

QTEST_MAIN(FrmToolsReportTest)
#include "frmToolsReportTest.moc"
