#include "reports/frmReportDialogU.h"

#include <QApplication>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "ui/Dialogs.h"

namespace corvina {
namespace {

// Our pattern letters (d dd m mm yy yyyy, "/" the separator) as Qt's.
QString QtDateFormat(const TFormatSettings& fs) {
  QString out;
  for (std::size_t i = 0; i < fs.ShortDateFormat.size(); ++i) {
    const char c = fs.ShortDateFormat[i];
    if (c == 'm' || c == 'M')
      out += 'M';
    else if (c == '/')
      out += QString::fromStdString(fs.DateSeparator);
    else if (c == '"')
      out += '\'';  // quoted text
    else
      out += QChar::fromLatin1(c);
  }
  return out;
}

}  // namespace

QDate ToQDate(TDateTime value) {
  const TCalendarDateTime c = DecodeDateTime(value);
  return QDate(c.year, c.month, c.day);
}

TDateTime FromQDate(const QDate& date) { return EncodeDate(date.year(), date.month(), date.day()); }

void SetUpDateEdit(QDateEdit* edit, const TFormatSettings& fs) {
  edit->setDisplayFormat(QtDateFormat(fs));
  edit->setCalendarPopup(true);
  edit->setMinimumDate(QDate(1, 1, 1));
  edit->setMaximumDate(QDate(9999, 12, 31));
}

TfrmReportDialog::TfrmReportDialog(const TReportDialog& dialog, const TFormatSettings& fs,
                                   QWidget* parent)
    : QDialog(parent) {
  setObjectName("frmReportDialog");
  setWindowTitle(QString::fromStdString(dialog.Caption));
  QFont font = QApplication::font();  // the desktop's UI font at the designed size
  font.setPointSize(8);
  setFont(font);
  Label = new QLabel(QString::fromStdString(dialog.Label), this);
  DateEdit = new QDateEdit(this);
  DateEdit->setObjectName("DateEdit");
  SetUpDateEdit(DateEdit, fs);
  Label->setBuddy(DateEdit);
  Button = new QPushButton("&OK", this);
  Button->setDefault(true);
  connect(Button, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QGridLayout(this);
  layout->addWidget(Label, 0, 0);
  layout->addWidget(DateEdit, 0, 1);
  layout->addWidget(Button, 1, 0, 1, 2, Qt::AlignCenter);
  layout->setColumnStretch(1, 1);
  setFixedSize(237, 109);
}

bool ExecuteReportDialog(const TReportDialog& dialog, TDateTime& date, const TFormatSettings& fs) {
  TfrmReportDialog form(dialog, fs, QApplication::activeWindow());
  form.DateEdit->setDate(ToQDate(date));
  CenterOnScreen(&form);
  if (form.exec() != QDialog::Accepted) return false;
  date = FromQDate(form.DateEdit->date());
  return true;
}

}  // namespace corvina
