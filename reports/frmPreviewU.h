#pragma once
// The preview of a prepared report: modal, maximized, at 100 %. It prints
// (printer choice and page set-up), saves and loads prepared reports,
// exports PDF, finds text, lists the groups in an outline and moves through
// pages and zoom. Qt's print preview draws the pages; this window adds the
// rest around it.

#include <QDialog>
#include <QPrinter>
#include <string>

#include "reports/PageModel.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPrintPreviewWidget;
class QSpinBox;
class QTreeWidget;

namespace corvina {

class TDM;
class TReportEngine;

class TfrmPreview : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmPreview(TPreparedReport report, QWidget* parent = nullptr);

  const TPreparedReport& Report() const { return report_; }
  void SetReport(TPreparedReport report);
  // The page on view, from 1.
  int CurrentPage() const;
  void GoToPage(int page);

  // Moves the marker to the next (or previous) cell holding the text of the
  // find box, wrapping around; false, with a note, when none holds it.
  bool Find(bool forward);
  // The cell the marker is on; null when there is none.
  const TPageCell* Highlight() const;

  // EReportError with a message for the user when the file cannot be read
  // or written.
  void SaveFile(const QString& fileName) const;
  void LoadFile(const QString& fileName);
  void ExportPdf(const QString& fileName) const;

  QPrintPreviewWidget* Preview;
  QTreeWidget* Outline;
  QLineEdit* FindEdit;
  QLabel* FindNote;
  QSpinBox* PageEdit;
  QLabel* PageCount;
  QComboBox* ZoomBox;
  QAction* ActionPrint;
  QAction* ActionPageSetup;
  QAction* ActionOpen;
  QAction* ActionSave;
  QAction* ActionExportPdf;
  QAction* ActionFirst;
  QAction* ActionPrior;
  QAction* ActionNext;
  QAction* ActionLast;
  QAction* ActionFitWidth;
  QAction* ActionFitPage;
  QAction* ActionFindNext;
  QAction* ActionFindPrior;

 private:
  void CreateActions();
  void PaintPreview(QPrinter* printer);
  void UpdateControls();
  void FillOutline();
  void SetZoomText();
  // Runs a file action, showing its error in the error box.
  void Guarded(const std::function<void()>& action);

  TPreparedReport report_;
  QPrinter printer_;
  int matchPage_ = -1, matchCell_ = -1;
};

// Gives the engine the program's date dialog and this preview.
void InstallReportWindows(TReportEngine& engine);

// Runs a built-in report of the data module; an error goes to the standard
// error box, as the program's general error handler shows it.
void RunReportFromUi(TDM* dm, const std::string& resName);

}  // namespace corvina
