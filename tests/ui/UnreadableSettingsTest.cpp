// A settings file that exists but cannot be read (here a folder in its
// place): every path that needs the settings says which file and why, and no
// error leaves an event handler; one that would is shown and the program goes on.

#include <QtTest>
#include <filesystem>

#include "UiTestSupport.h"
#include "database/DMU.h"
#include "platform/AdapterQuery.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/frmStatU.h"

using namespace corvina;

class UnreadableSettingsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  QString expected;

 private slots:
  void initTestCase() {
    QApplication::setApplicationDisplayName("Corvina");
    test::UseFreshExecutableFolder(dir);
    SetAdapterQuery([] { return std::vector<TAdapterRecord>{}; });
    std::filesystem::create_directory(TDM::CfgFileName());
    expected = "Cannot open file \"" + dir.path() + "/corvina.cfg\". Is a directory";
  }

  void everyUseOfTheSettingsNamesTheFile() {
    TfrmStatic form(nullptr);
    try {
      form.FormCreate();
      QFAIL("the creation step read unreadable settings");
    } catch (const std::exception& e) {
      QCOMPARE(QString(e.what()), expected);
    }
    TakeShownMessageBoxTexts();
    QueueMessageBoxAnswer(QMessageBox::Ok);
    form.ActionTools->trigger();
    QCOMPARE(TakeShownMessageBoxTexts(), QStringList{expected});
    QVERIFY(!QApplication::activeModalWidget());  // no settings dialog without settings

    QueueMessageBoxAnswer(QMessageBox::Ok);
    form.FormDestroy();  // exit: the position cannot be saved
    QCOMPARE(TakeShownMessageBoxTexts(), QStringList{expected});
    QVERIFY(std::filesystem::is_directory(TDM::CfgFileName()));
  }

  void anErrorLeavingAnEventHandlerIsShownAndTheLoopGoesOn() {
    QueueMessageBoxAnswer(QMessageBox::Ok);
    QTimer::singleShot(0, [] { throw std::runtime_error("handler failed"); });
    QStringList shown;
    QTRY_VERIFY((shown += TakeShownMessageBoxTexts()).size() == 1);
    QCOMPARE(shown, QStringList{"handler failed"});
    bool later = false;
    QTimer::singleShot(0, [&later] { later = true; });
    QTRY_VERIFY(later);
  }
};

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  UnreadableSettingsTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "UnreadableSettingsTest.moc"
