#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QtTest>

#include "platform/System.h"
#include "ui/AppIntf.h"
#include "ui/PlatformTexts.h"
#include "ui/VerInfoIntf.h"
#include "ui/frmAboutU.h"

using namespace corvina;

namespace {

QString Shell(const QString& command) {
  QProcess shell;
  shell.start("sh", {"-c", command});
  shell.waitForFinished();
  return QString::fromUtf8(shell.readAllStandardOutput());
}

}  // namespace

class FrmAboutTest : public QObject {
  Q_OBJECT

 private slots:
  void versionBlockOfTheProgram() {
    // This test carries the program's own version block.
    const auto info = CreateVersionInfo(ExecutablePath());
    QCOMPARE(info->GetFileVersion(), std::string("1.0.0.190"));
    QCOMPARE(info->GetProductVersion(), std::string("1.0"));
    QCOMPARE(info->GetProductName(), std::string("Corvina"));
    QVERIFY(!info->GetComments().empty());
    const auto none = CreateVersionInfo("/bin/sh");
    QCOMPARE(none->GetFileVersion(), std::string());
    QCOMPARE(none->GetComments(), std::string());
  }

  void memoryInWholeMebibytes() {
    QCOMPARE(MemoryText(2147483648ull), QString("2048 МБ"));
    QCOMPARE(MemoryText(3221225472ull), QString("3072 МБ"));
    QCOMPARE(MemoryText(24ull * 1024 * 1024 * 1024 + 1048575), QString("24576 МБ"));
  }

  void theDatabaseLineNamesTheProviderAndItsMinorVersion() {
    QCOMPARE(DataProviderLine("SQLite 3.40.1"), QString("Поставщик данных - SQLite 3.40"));
    QCOMPARE(DataProviderLine("SQLite 3.45"), QString("Поставщик данных - SQLite 3.45"));
    QCOMPARE(DataProviderLine(""), QString("Поставщик данных - "));  // no connection
  }

  void aboutBoxTexts() {
    QApplication::setApplicationDisplayName("Corvina");
    CreateAppInfo();
    AppInfo()->SetComponents({"Генератор отчетов - X 1", "Поставщик OLE DB - SQLite 3"});
    AppInfo()->SetProductInfo({"Программа предназначена для подсчета Интернет трафика."});
    // What the shell and the kernel's own memory table tell about this machine.
    const QString systemText = Shell(
        ". /etc/os-release; printf '%s (Build %s: %s)' \"${PRETTY_NAME:-Linux}\" \"$(uname -r)\" "
        "\"$(uname -m)\"");
    const QString memoryText =
        Shell("awk '/^MemTotal:/ { printf \"%d МБ\", int($2 / 1024) }' /proc/meminfo");
    for (int opening = 0; opening < 2; ++opening) {
      TfrmAbout about;
      QCOMPARE(about.windowTitle(), QString("О программе: Corvina"));
      QCOMPARE(about.ProductVersionLabel->text(),
               QString("Corvina - счетчик сетевого трафика Версия 1.0.0.190"));
      QVERIFY(about.CopyrightLabel->text().startsWith("Copyright"));
      QCOMPARE(about.ComponentMemo->toPlainText(),
               QString("Генератор отчетов - X 1\nПоставщик OLE DB - SQLite 3"));
      QCOMPARE(about.ProductInfoMemo->toPlainText(),
               QString("Программа предназначена для подсчета Интернет трафика."));
      QCOMPARE(about.WindowsInfoLabel->text(), systemText);
      QCOMPARE(about.WindowsMemoryLabel->text(), memoryText);
      QCOMPARE(about.findChild<QLabel*>("Label1")->text(), QString("Доступная память:"));
      QVERIFY(about.www->text().contains("example"));
    }
    AppInfo().reset();
  }
};

QTEST_MAIN(FrmAboutTest)
#include "frmAboutTest.moc"
