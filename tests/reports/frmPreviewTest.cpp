#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "UiTestSupport.h"
#include "reports/ReportPainter.h"
#include "reports/ReportTestSupport.h"
#include "reports/ReportText.h"
#include "reports/frmPreviewU.h"
#include "reports/frmReportDialogU.h"

using namespace corvina;

namespace {

// Rows of the day report: 24 hours of each address, two pages.
TReportData TwoAddresses() {
  TReportData data{{"IP", "Y", "M", "D", "H", "TINC", "TOUT"}, {}};
  for (const char* ip : {"192.168.0.10", "192.168.0.2"})
    for (int h = 0; h < 24; ++h)
      data.Rows.push_back({Variant::FromString(ip), Variant::FromInteger(2007),
                           Variant::FromInteger(3), Variant::FromInteger(5),
                           Variant::FromInteger(h), Variant::FromInteger(1000 * h),
                           Variant::FromInteger(h)});
  return data;
}

TPreparedReport DayReport() {
  TReportEngine engine;
  engine.Settings = TFormatSettings::Russian();
  engine.LoadFromResource("FR00D");
  engine.OnDialog = [](const TReportDialog&, TDateTime& date) {
    date = EncodeDate(2007, 3, 5);
    return true;
  };
  engine.OnQuery = [](const TReportQuery&) { return TwoAddresses(); };
  return *engine.Prepare();
}

}  // namespace

class FrmPreviewTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir;

 private slots:
  void init() { SetNowFunction(test::FixedNow); }
  void cleanup() { SetNowFunction({}); }

  void theDialogOpensOnTodayAndThePreviewMaximizedAtFullSize() {
    TReportEngine engine;
    engine.Settings = TFormatSettings::Russian();
    InstallReportWindows(engine);
    engine.OnQuery = [](const TReportQuery&) { return TwoAddresses(); };
    engine.LoadFromResource("FR00D");
    QString dialogState, previewState;
    test::WhenModalShown([&](QWidget* dialog) {
      auto* form = qobject_cast<TfrmReportDialog*>(dialog);
      dialogState = QString("%1x%2 %3")
                        .arg(form->width())
                        .arg(form->height())
                        .arg(form->DateEdit->date().toString("dd.MM.yyyy"));
      form->DateEdit->setDate(QDate(2007, 3, 5));
      test::WhenModalShown([&](QWidget* preview) {
        auto* form = qobject_cast<TfrmPreview*>(preview);
        previewState = QString("%1 %2 %3 %4")
                           .arg(form->isMaximized())
                           .arg(form->Preview->zoomFactor())
                           .arg(form->CurrentPage())
                           .arg(form->windowTitle());
        form->close();
      });
      form->Button->click();
    });
    engine.ShowReport();
    QCOMPARE(dialogState, QString("237x109 15.03.2007"));
    QCOMPARE(previewState, QString("1 1 1 Предварительный просмотр - ОТЧЕТ ЗА ДЕНЬ 05.03.2007"));

    bool previewShown = false;
    engine.OnPreview = [&](const TPreparedReport&) { previewShown = true; };
    test::WhenModalShown([](QWidget* dialog) { dialog->close(); });
    engine.ShowReport();
    QVERIFY(!previewShown);  // closed without OK: the run ends
  }

  void findMarksAndWrapsTheOutlineAndPagesMove() {
    TfrmPreview preview(DayReport());
    preview.show();
    QCOMPARE(preview.Report().Pages.size(), 2u);
    QCOMPARE(preview.PageCount->text().trimmed(), QString("из 2"));
    preview.FindEdit->setText("итого по группе");
    QVERIFY(preview.Find(true));
    QCOMPARE(QString::fromStdString(preview.Highlight()->Text),
             QString("Итого по группе: 192.168.0.10"));
    QCOMPARE(preview.CurrentPage(), 1);
    QVERIFY(preview.Find(true));
    QCOMPARE(QString::fromStdString(preview.Highlight()->Text),
             QString("Итого по группе: 192.168.0.2"));
    QCOMPARE(preview.CurrentPage(), 2);
    QVERIFY(preview.Find(true));  // wraps to the first
    QCOMPARE(preview.CurrentPage(), 1);
    QVERIFY(preview.Find(false));  // and back over the start
    QCOMPARE(preview.CurrentPage(), 2);
    preview.FindEdit->setText("10.0.0.1");
    QVERIFY(!preview.Find(true));
    QVERIFY(!preview.Highlight());
    QCOMPARE(preview.FindNote->text().trimmed(), QString("Текст не найден"));

    QCOMPARE(preview.Outline->topLevelItemCount(), 2);
    preview.GoToPage(1);
    QTest::mouseClick(preview.Outline->viewport(), Qt::LeftButton, {},
                      preview.Outline->visualItemRect(preview.Outline->topLevelItem(1)).center());
    QCOMPARE(preview.CurrentPage(), 2);
    preview.ActionFirst->trigger();
    QCOMPARE(preview.CurrentPage(), 1);
    QVERIFY(!preview.ActionPrior->isEnabled());
    preview.ActionLast->trigger();
    QCOMPARE(preview.CurrentPage(), 2);
    QVERIFY(!preview.ActionNext->isEnabled());
    preview.ActionFitPage->trigger();
    QVERIFY(preview.Preview->zoomFactor() < 1);
  }

  void savedReportsLoadBackAndFilesFailWithAMessage() {
    const QString saved = dir.filePath("day.cpr"), pdf = dir.filePath("day.pdf");
    TfrmPreview preview(DayReport());
    preview.SaveFile(saved);
    preview.ExportPdf(pdf);
    QFile pdfFile(pdf);
    QVERIFY(pdfFile.open(QIODevice::ReadOnly));
    QVERIFY(pdfFile.readAll().startsWith("%PDF-"));

    TPreparedReport other;
    other.Pages.resize(1);
    TfrmPreview loaded(other);
    loaded.LoadFile(saved);
    QVERIFY(loaded.Report() == preview.Report());
    QCOMPARE(loaded.Outline->topLevelItemCount(), 2);
    try {
      loaded.LoadFile(pdf);
      QFAIL("loaded a PDF");
    } catch (const EReportError& e) {
      QCOMPARE(QString::fromUtf8(e.what()), "Файл " + pdf + ": это не файл отчета");
    }
    try {
      loaded.SaveFile(dir.filePath("missing/day.cpr"));
      QFAIL("saved into a missing folder");
    } catch (const EReportError& e) {
      QVERIFY(QString::fromUtf8(e.what()).endsWith("No such file or directory"));
    }
    QVERIFY(loaded.Report() == preview.Report());
  }

  void printingKeepsToThePagesAsked() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("printed.pdf"));
    printer.setFullPage(true);
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 2);
    PrintReport(printer, DayReport());
    QProcess text;
    text.start("pdftotext", {dir.filePath("printed.pdf"), "-"});
    QVERIFY(text.waitForFinished());
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(printed.contains("2 из 2") && !printed.contains("1 из 2"), qPrintable(printed));
  }
};

QTEST_MAIN(FrmPreviewTest)
#include "frmPreviewTest.moc"
