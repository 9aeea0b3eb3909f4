#include <QDialog>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>

#include "UiTestSupport.h"
#include "capture/CaptureFixture.h"
#include "database/DMU.h"
#include "platform/AdapterQuery.h"
#include "settings/CfgKeys.h"
#include "ui/Dialogs.h"
#include "ui/EventLoopSync.h"
#include "ui/SystemColors.h"
#include "ui/frmStatU.h"
#include "ui/frmToolsU.h"

using namespace corvina;

namespace {

// A page that writes one value when it is left, or fails when told to.
class TTestPage : public TToolsPage {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TTestPage(QWidget* owner) : TToolsPage(owner) {}
  void FormCreate() override {}
  bool FormCloseQuery() override {
    if (FailOnClose) throw std::runtime_error("page failed");
    GetLocalCfgIntf()->SetValue("TestValue", Variant::FromInteger(7));
    return true;
  }
  static inline bool FailOnClose = false;
};

void OneTestPage(TfrmTools*, QTreeWidget* nodes) {
  new QTreeWidgetItem(nodes, QStringList{"Test"});
}
void TestPageClass(TfrmTools*, QTreeWidgetItem*, TToolsPageClass& pageClass) {
  pageClass = &TTestPage::staticMetaObject;
}

void Set(const char* key, const Variant& value) { GetLocalCfgIntf()->SetValue(key, value); }

// What the sqlite3 tool, another process, reads from the database.
QString Sqlite3Cli(const QString& sql) {
  QProcess tool;
  tool.start("sqlite3", {"-batch", QString::fromStdString(TDM::DataFileName()), sql});
  tool.waitForFinished();
  return QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
}

TSnifferHostData Totals(std::int64_t in, std::int64_t out) {
  TSnifferHostData h;
  h.Address = "10.0.0.1";
  h.TotalIncoming = in;
  h.TotalOutgoing = out;
  return h;
}

}  // namespace

class FrmStatTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir;

 private slots:
  void initTestCase() {
    qputenv("LC_ALL", "C.UTF-8");  // the counter texts below are those of this locale
    QApplication::setApplicationDisplayName("Corvina");
    test::UseFreshExecutableFolder(dir);
    TfrmStatic::TrayAvailable = [] { return true; };
    SetAdapterQuery(
        [] { return std::vector<TAdapterRecord>{}; });  // no adapter: capture never starts
  }

  // Runs first: no settings file exists yet.
  void firstStartOpensTheDialogBeforeTheWindowShows() {
    QVERIFY(!std::filesystem::exists(TDM::CfgFileName()));
    TfrmStatic form(nullptr);
    bool dialogFirst = false;
    test::WhenModalShown([&](QWidget* modal) {
      dialogFirst = qobject_cast<TfrmTools*>(modal) && !form.isVisible() && !form.ShowMainForm();
      qobject_cast<QDialog*>(modal)->reject();
    });
    form.FormCreate();
    QVERIFY(dialogFirst);
    QVERIFY(form.ShowMainForm());
    QVERIFY(!std::filesystem::exists(TDM::CfgFileName()));  // cancelled: nothing stored
    form.FormDestroy();                                     // the position is still saved
    QVERIFY(std::filesystem::exists(TDM::CfgFileName()));
  }

  void sessionEndDuringTheFirstStartDialogEndsIt() {
    std::filesystem::remove(TDM::CfgFileName());  // a first start again
    TfrmStatic form(nullptr);
    bool dialogUp = false;
    test::WhenModalShown([&](QWidget*) {
      dialogUp = true;
      form.EndSession();
    });
    form.FormCreate();  // returns: the session end closed the dialog
    QVERIFY(dialogUp);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(!form.Stat()->Active());
    form.FormDestroy();
  }

  void menusHoldTheActionsInOrder() {
    TfrmStatic form(nullptr);
    form.FormCreate();
    for (QMenu* menu : {form.PopupMenu, form.PopupMenuTray}) {
      QStringList captions;
      for (QAction* a : menu->actions()) captions << (a->isSeparator() ? "-" : a->text());
      QCOMPARE(captions, (QStringList{"&Отчеты", "-", "&Показать форму", "&Спрятать форму", "-",
                                      "&Сохранять трафик в *.dump", "&Настройки...", "-",
                                      "О программе...", "-", "&Выход"}));
      QStringList reports;
      for (QAction* a : menu->actions().first()->menu()->actions())
        reports << a->text() + (a->isEnabled() ? "" : " (off)");
      QCOMPARE(reports, (QStringList{"Отчет за день (off)", "Отчет за месяц (off)",
                                     "Отчет за весь период (off)"}));  // no database
    }
    QCOMPARE(form.ActionExit->toolTip(), QString("Выход из приложения"));
    QCOMPARE(form.ActionFormHide->toolTip(), QString("Спрятать форму"));
    form.UpdateActions();
    QVERIFY(form.ActionFormShow->isEnabled());
    QVERIFY(!form.ActionFormHide->isEnabled());
    form.ActionFormShow->trigger();
    form.UpdateActions();
    QVERIFY(form.isVisible());
    QVERIFY(!form.ActionFormShow->isEnabled());
    QVERIFY(form.ActionFormHide->isEnabled());
    QVERIFY(!form.ActionDumpFile->isChecked());
    form.ActionDumpFile->trigger();
    QVERIFY(form.ActionDumpFile->isChecked());
    QVERIFY(form.Stat()->DumpEnabled());
    form.FormDestroy();
  }

  void trayFollowsTheStatisticsEvents() {
    TfrmStatic form(nullptr);
    form.FormCreate();
    TSnifferStat* stat = form.Stat();
    QCOMPARE(form.TrayImage(), int(tiStandby));
    QCOMPARE(form.TrayHint(), QString("Corvina\nПринято: 0\nОтправлено: 0"));
    QCOMPARE(form.IncomingLabel->text(), QString("0"));

    stat->OnCaptureStart(stat, Totals(1024, 1025), {});
    QCOMPARE(form.TrayImage(), int(tiCapturing));
    QCOMPARE(form.IncomingLabel->text(), QString("1 024 байт"));
    QCOMPARE(form.TrayHint(), QString("Corvina\nПринято: 1 024 байт\nОтправлено: 1.0 Кб"));

    stat->OnTraffic(stat, Totals(2, 1), {});
    QCOMPARE(form.TrayImage(), int(tiCapturing));  // traffic keeps the picture
    QCOMPARE(form.OutgoingLabel->text(), QString("1"));

    stat->OnCaptureStop(stat, Totals(2, 1), {});
    QCOMPARE(form.TrayImage(), int(tiStopped));
    stat->OnError(stat, -1, 1,
                  "Operation not permitted");  // the hint shows the statistics' own totals
    QCOMPARE(form.TrayHint(),
             QString("Corvina\nOperation not permitted\nПринято: 0\nОтправлено: 0"));

    stat->OnStandby(stat);
    QCOMPARE(form.TrayImage(), int(tiStandby));
    QCOMPARE(form.TrayHint(),
             QString("Corvina - Дежурный режим: сеть не выбрана (Настройки... - Выбор сети)"));
    QCOMPARE(form.OutgoingLabel->text(), QString("1"));  // standby leaves the labels
    stat->SetAdapterMac("02-00-00-00-00-01");            // chosen, but not found
    stat->OnStandby(stat);
    QCOMPARE(form.TrayHint(), QString("Corvina - Дежурный режим"));
    form.FormDestroy();
  }

  void withoutATrayTheWindowStaysShownUntilOneComes() {
    bool tray = false;
    TfrmStatic::TrayAvailable = [&tray] { return tray; };
    {
      TfrmStatic form(nullptr);
      Set(kBackgroundColor, Variant::FromString("notacolour"));
      QVERIFY_THROWS_EXCEPTION(std::exception, form.FormCreate());
      QVERIFY(form.ShowMainForm());  // even after a failed start: nothing else could show it
      Set(kBackgroundColor, Variant::FromString("clBtnFace"));
    }
    TfrmStatic form(nullptr);
    form.FormCreate();
    form.show();
    form.UpdateActions();
    QVERIFY(!form.ActionFormHide->isEnabled());
    tray = true;
    form.CheckTray();
    QVERIFY(form.ActionFormHide->isEnabled());
    form.FormDestroy();
    TfrmStatic::TrayAvailable = [] { return true; };
  }

  void aDoubleClickOnTheTrayIconShowsOrHidesTheWindow() {
    TfrmStatic form(nullptr);
    form.FormCreate();
    emit form.TrayIcon->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(form.isVisible());
    emit form.TrayIcon->activated(QSystemTrayIcon::Trigger);  // a single click does not
    QVERIFY(form.isVisible());
    emit form.TrayIcon->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(!form.isVisible());
    form.FormDestroy();
  }

  void figuresWidenTheWindowAndNarrowAtTheNextDay() {
    TfrmStatic form(nullptr);
    form.FormCreate();
    form.show();
    const QRect screen = form.screen()->geometry();
    form.move(screen.right() + 1 - form.width(), 50);  // kept at the right edge
    const int designed = form.IncomingLabel->width();
    TSnifferStat* stat = form.Stat();
    stat->OnCaptureStart(stat, Totals(10737418240, 1), {});         // "10 485 760,0 Кб"
    for (QLabel* label : {form.IncomingLabel, form.OutgoingLabel})  // nothing cut off
      QVERIFY(label->contentsRect().width() >
              label->fontMetrics().horizontalAdvance(label->text()));
    QVERIFY(form.IncomingLabel->width() > designed);
    QCOMPARE(form.OutgoingLabel->width(), designed);
    QTRY_COMPARE(form.frameGeometry().right(), screen.right());
    QVERIFY(form.width() > 2 * designed);
    stat->OnTraffic(stat, Totals(60, 0), {});  // the counters of a new day
    QTRY_COMPARE(form.IncomingLabel->width(), designed);
    QTRY_COMPARE(form.frameGeometry().right(), screen.right());
    form.move(screen.right() - 50, 50);  // partly past the edge, as a stored position may be
    stat->OnCaptureStart(stat, Totals(10737418240, 1), {});
    QTRY_COMPARE(form.frameGeometry().right(), screen.right());
    form.FormDestroy();
  }

  void todaysStoredTotalsSurviveARestart() {
    TDM dm({});
    dm.DataModuleCreate();
    dm.InsertTraffic("10.0.0.1", Now() - 1, 0, 5000, 5000);  // yesterday: not today's
    dm.InsertTraffic("10.0.0.1", DateOf(Now()), 0, 1000, 10);
    dm.InsertTraffic("10.0.0.2", Now(), 0, 24, 0);
    TfrmStatic form(&dm);
    form.FormCreate();
    QCOMPARE(form.IncomingLabel->text(), QString("1 024 байт"));
    QCOMPARE(form.OutgoingLabel->text(), QString("10 байт"));
    QCOMPARE(form.Stat()->HostData().TotalIncoming, 1024);  // the statistics count on from there
    form.FormDestroy();
    dm.DeletePeriod(Now() - 1, Now());
  }

  void applySettingsPushesTheStoredValues() {
    TfrmStatic form(nullptr);
    form.FormCreate();
    Set(kLocalIPRangeCount, Variant::FromInteger(3));
    Set("LocalIPRangeStart0", Variant::FromString("010.000.000.001"));
    Set("LocalIPRangeEnd0", Variant::FromString("010.000.000.009"));
    Set("LocalIPRangeStart2", Variant::FromString("192.168.000.000"));
    Set("LocalIPRangeEnd2", Variant::FromString("192.168.255.255"));  // index 1 incomplete: skipped
    Set("LocalIPRangeStart3", Variant::FromString("1.1.1.1"));
    Set("LocalIPRangeEnd3", Variant::FromString("1.1.1.1"));  // past the count: never read
    Set(kShowICMP, Variant::FromBoolean(false));
    Set(kShowTCP, Variant::FromBoolean(true));
    Set(kShowUDP, Variant::FromBoolean(true));
    Set(kAlphaBlend, Variant::FromInteger(254));
    Set(kMacBind, Variant::FromString("00-1A-2B-3C-4D-5E"));
    Set(kBackgroundColor, Variant::FromString("clRed"));
    form.ApplySettings();
    QCOMPARE(form.Stat()->Ranges()->Count(), 2);
    QCOMPARE(int(form.Stat()->ProtocolFilter), int(ProtocolBit(sptTCP) | ProtocolBit(sptUDP)));
    QCOMPARE(form.windowOpacity(), 254 / 255.0);
    QCOMPARE(form.Stat()->AdapterMac(), std::string("00-1A-2B-3C-4D-5E"));
    QCOMPARE(form.IncomingLabel->palette().color(QPalette::Window), QColor(Qt::red));
    QVERIFY(form.Stat()->Active());
    Set(kAlphaBlend, Variant::FromInteger(255));
    form.ApplySettings();
    QCOMPARE(form.windowOpacity(), 1.0);
    form.FormDestroy();
  }

  void applySettingsWritesOrRemovesTheAutostartEntry() {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QString entry = config.path() + "/autostart/corvina.desktop";
    TfrmStatic form(nullptr);
    form.FormCreate();
    QVERIFY(!QFile::exists(entry));  // no AutoStart key: nothing touched
    Set(kAutoStart, Variant::FromBoolean(true));
    form.ApplySettings();
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The entry's name is lowered, the path it runs is kept as it is.
    QVERIFY(file.readAll().contains(("\nExec=" + ExecutablePath() + "\n").c_str()));
    Set(kAutoStart, Variant::FromBoolean(false));
    form.ApplySettings();
    QVERIFY(!QFile::exists(entry));
    form.FormDestroy();
    qunsetenv("XDG_CONFIG_HOME");
  }

  void applySettingsStopsAtAnUnparsableColour() {
    TfrmStatic form(nullptr);
    form.FormCreate();
    Set(kLocalIPRangeCount, Variant::FromInteger(1));
    Set("LocalIPRangeStart0", Variant::FromString("010.000.000.001"));
    Set("LocalIPRangeEnd0", Variant::FromString("010.000.000.002"));
    Set(kBackgroundColor, Variant::FromString("notacolour"));
    Set(kShowICMP, Variant::FromBoolean(true));
    const auto filterBefore = form.Stat()->ProtocolFilter;
    QVERIFY_THROWS_EXCEPTION(std::exception, form.ApplySettings());
    QCOMPARE(form.Stat()->Ranges()->Count(), 1);          // the step before ran
    QCOMPARE(form.Stat()->ProtocolFilter, filterBefore);  // later steps did not
    QVERIFY(!form.Stat()->Active());                      // nor the switch on
    Set(kBackgroundColor, Variant::FromString("clBtnFace"));
    Set(kShowICMP, Variant::FromBoolean(false));
    form.FormDestroy();
  }

  void aRangeCountThatDoesNotConvertLeavesNoRanges() {
    TfrmStatic form(nullptr);
    form.FormCreate();
    Set(kLocalIPRangeCount, Variant::FromInteger(1));
    Set("LocalIPRangeStart0", Variant::FromString("010.000.000.001"));
    Set("LocalIPRangeEnd0", Variant::FromString("010.000.000.002"));
    form.ApplySettings();
    QCOMPARE(form.Stat()->Ranges()->Count(), 1);
    Set(kLocalIPRangeCount, Variant::FromString("one"));
    QVERIFY_THROWS_EXCEPTION(EVariantError, form.ApplySettings());
    QCOMPARE(form.Stat()->Ranges()->Count(), 0);  // emptied before the count was read
    Set(kLocalIPRangeCount, Variant::FromInteger(0));
    form.FormDestroy();
  }

  void dialogOkCommitsAndReappliesCancelRestores() {
    TfrmStatic form(nullptr);
    form.FormCreate();
    form.FillTree = OneTestPage;
    form.PageClassOf = TestPageClass;
    auto cfg = GetLocalCfgIntf();
    QVERIFY(cfg->GetValue("TestValue").IsNull());

    test::WhenModalShown([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    form.ActionToolsExecute();
    QVERIFY(cfg->GetValue("TestValue").IsNull());  // the page wrote, the cancel undid it

    Set(kMacBind, Variant::FromString("02-00-00-00-00-77"));
    cfg->EndUpdate();
    test::WhenModalShown([](QWidget* modal) { qobject_cast<QDialog*>(modal)->accept(); });
    form.ActionToolsExecute();
    QCOMPARE(cfg->GetValue("TestValue").AsInteger(), 7);
    QCOMPARE(form.Stat()->AdapterMac(), std::string("02-00-00-00-00-77"));  // re-applied
    QFile file(QString::fromStdString(TDM::CfgFileName()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("TestValue=7\r\n"));  // committed to the file
    form.FormDestroy();
  }

  void dialogErrorRollsBackWithoutAMessage() {
    TfrmStatic form(nullptr);
    form.FormCreate();
    form.FillTree = OneTestPage;
    form.PageClassOf = TestPageClass;
    auto cfg = GetLocalCfgIntf();
    cfg->SetValue("TestValue", Variant::FromInteger(1));
    TTestPage::FailOnClose = true;
    test::WhenModalShown([](QWidget* modal) {
      GetLocalCfgIntf()->SetValue("TestValue", Variant::FromInteger(99));
      qobject_cast<QDialog*>(modal)->accept();
    });
    TakeShownMessageBoxTexts();
    form.ActionToolsExecute();
    TTestPage::FailOnClose = false;
    QCOMPARE(cfg->GetValue("TestValue").AsInteger(), 1);  // rolled back
    QVERIFY(TakeShownMessageBoxTexts().isEmpty());
    form.FormDestroy();
  }

  void formDestroySavesThePosition() {
    {
      TfrmStatic form(nullptr);
      form.FormCreate();
      form.move(321, 123);
      form.FormDestroy();
    }
    QCOMPARE(GetLocalCfgIntf()->GetValue(kFormLeft).AsInteger(), 321);
    QCOMPARE(GetLocalCfgIntf()->GetValue(kFormTop).AsInteger(), 123);
    TfrmStatic again(nullptr);
    again.FormCreate();
    QCOMPARE(again.pos(), QPoint(321, 123));
    again.FormDestroy();
  }

  void trafficRowsAreCommittedByTheTimerOncePacketsStop() {
    TDM dm({});
    dm.DataModuleCreate();
    TfrmStatic form(&dm);
    form.FormCreate();
    TSnifferHostData h = Totals(60, 0);
    h.Incoming = 60;
    form.Stat()->OnTraffic(form.Stat(), h, {});
    form.Stat()->OnTraffic(form.Stat(), h, {});
    // No packet follows: the window's timer commits the rows where another program reads them.
    QTRY_COMPARE(Sqlite3Cli("SELECT COUNT(*), SUM(INCOMING), MIN(IP) FROM INETTRAFFIC"),
                 QString("2|120|10.0.0.1\n"));
    QCOMPARE(dm.FailedInsertCount(), 0u);
    form.FormDestroy();
  }

  void trayHintTellsOfLostPacketsAndUnsavedRows() {
    RunSynchronizeFromEventLoop();
    {
      test::TFakeAdapters adapters;
      adapters.Set("192.168.0.2");
      TDM closed({});  // never created: no row can be stored
      TfrmStatic form(&closed);
      form.FormCreate();
      auto feed = test::UseMemoryFeed(*form.Stat());
      feed->dropped = 7;
      form.Stat()->StartCapture();
      QTRY_VERIFY(form.Stat()->Capturing());
      const std::uint8_t remote[4] = {192, 168, 0, 5}, local[4] = {192, 168, 0, 2};
      feed->Push(test::MakePacket(60, 6, remote, local));
      QTRY_COMPARE(form.TrayHint(), QString("Corvina\nПринято: 60 байт\nОтправлено: 0\n"
                                            "Потеряно пакетов: 7\nНе сохранено записей: 1"));
      form.FormDestroy();
    }
    SetSynchronizeWakeHook(nullptr);
    SetAdapterQuery([] { return std::vector<TAdapterRecord>{}; });
  }

  void settingsColoursBecomeDesktopColours() {
    const QPalette palette = QApplication::palette();
    QCOMPARE(ToQColor(0x0000FF, palette, Qt::black), QColor(Qt::red));  // 0x00BBGGRR
    QCOMPARE(ToQColor(clBtnFace, palette, Qt::black), palette.color(QPalette::Button));
    QCOMPARE(ToQColor(kSystemColorBase + 8, palette, Qt::black), palette.color(QPalette::Text));
    QCOMPARE(ToQColor(kSystemColorBase + 99, palette, Qt::black), palette.color(QPalette::Window));
    QCOMPARE(ToQColor(clNone, palette, Qt::black), QColor(Qt::transparent));
    QCOMPARE(ToQColor(clDefault, palette, Qt::blue), QColor(Qt::blue));
  }

  void snappingToScreenEdges() {
    const QRect screen(0, 0, 1024, 768);
    QCOMPARE(SnapToScreenEdges(QRect(19, 300, 190, 24), screen), QPoint(0, 300));
    QCOMPARE(SnapToScreenEdges(QRect(20, 300, 190, 24), screen), QPoint(20, 300));
    QCOMPARE(SnapToScreenEdges(QRect(820, 730, 190, 24), screen), QPoint(834, 744));
    QCOMPARE(SnapToScreenEdges(QRect(-15, -5, 190, 24), screen), QPoint(0, 0));
  }
};

QTEST_MAIN(FrmStatTest)
#include "frmStatTest.moc"
