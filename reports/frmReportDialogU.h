#pragma once
// The date dialog of the day and month reports: a label, the date editor
// and "&OK".

#include <QDialog>

#include "framework/FormatSettings.h"
#include "reports/ReportDefinition.h"

class QDateEdit;
class QLabel;
class QPushButton;

namespace corvina {

class TfrmReportDialog : public QDialog {
  Q_OBJECT
 public:
  TfrmReportDialog(const TReportDialog& dialog, const TFormatSettings& fs,
                   QWidget* parent = nullptr);

  QLabel* Label;
  QDateEdit* DateEdit;
  QPushButton* Button;
};

// Shows the dialog with the editor set to date; true with the chosen day
// when it was closed with OK, false when closed any other way.
bool ExecuteReportDialog(const TReportDialog& dialog, TDateTime& date,
                         const TFormatSettings& fs = DefaultFormatSettings());

// A date editor that writes dates as the regional short date format does.
void SetUpDateEdit(QDateEdit* edit, const TFormatSettings& fs);
QDate ToQDate(TDateTime value);
TDateTime FromQDate(const QDate& date);

}  // namespace corvina
