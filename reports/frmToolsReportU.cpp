#include "reports/frmToolsReportU.h"

#include <QAction>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "database/DMU.h"
#include "reports/frmPreviewU.h"
#include "reports/frmReportDialogU.h"
#include "ui/Dialogs.h"
#include "ui/ReportList.h"

namespace corvina {
namespace {

constexpr int kResourceRole = Qt::UserRole;

struct TReportEntry {
  const char* caption;
  const char* resource;
};
constexpr TReportEntry kReports[] = {
    {"Отчет за день", "FR00D"}, {"Отчет за месяц", "FR00M"}, {"Отчет за весь период", "FR00ALL"}};

bool DatabaseOpen() { return DM && DM->DatabaseOpen(); }

QString DayText(const QDate& date) { return date.toString("dd.MM.yyyy"); }

}  // namespace

TfrmToolsReport::TfrmToolsReport(QWidget* owner) : TToolsPage(owner) {
  setObjectName("frmToolsReport");
  ActionReportOpen = new QAction("&Просмотр отчета...", this);
  ActionReportOpen->setObjectName("ActionReportOpen");
  ActionClearDB = new QAction("&Очистить период...", this);
  ActionClearDB->setObjectName("ActionClearDB");
  connect(ActionReportOpen, &QAction::triggered, this, &TfrmToolsReport::ActionReportOpenExecute);
  connect(ActionClearDB, &QAction::triggered, this, &TfrmToolsReport::ActionClearDBExecute);

  auto* groupBox1 = new QGroupBox("Отчеты", this);
  ListView = new QTreeWidget(groupBox1);
  ListView->setObjectName("ListView");
  SetUpReportList(ListView, {{"Название отчета", 0}});
  const QIcon icon(":/icons/report.svg");
  for (const TReportEntry& r : kReports) {
    auto* item = new QTreeWidgetItem(ListView, {r.caption});
    item->setIcon(0, icon);
    item->setData(0, kResourceRole, QString(r.resource));
  }
  ListView->setContextMenuPolicy(Qt::CustomContextMenu);
  PopupMenu = new QMenu(this);
  QAction* n2 = PopupMenu->addAction(ActionReportOpen->text());
  n2->setObjectName("N2");
  connect(n2, &QAction::triggered, ActionReportOpen, &QAction::trigger);
  connect(ActionReportOpen, &QAction::enabledChanged, n2, &QAction::setEnabled);
  connect(ListView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    ActionReportOpenUpdate();
    PopupMenu->popup(ListView->viewport()->mapToGlobal(at));
  });
  connect(ListView, &QTreeWidget::itemSelectionChanged, this,
          &TfrmToolsReport::ActionReportOpenUpdate);
  connect(ListView, &QTreeWidget::itemDoubleClicked, this, &TfrmToolsReport::ListViewDblClick);

  auto* groupBox2 = new QGroupBox("Действия с данными", groupBox1);
  auto* groupBox3 = new QGroupBox("Чистка", groupBox2);
  FD = new QDateEdit(groupBox3);
  FD->setObjectName("FD");
  TD = new QDateEdit(groupBox3);
  TD->setObjectName("TD");
  for (QDateEdit* edit : {FD, TD}) SetUpDateEdit(edit, DefaultFormatSettings());
  Button2 = ActionButton(ActionClearDB, groupBox3);
  auto* period = new QGridLayout(groupBox3);
  period->addWidget(new QLabel("с", groupBox3), 0, 0);
  period->addWidget(FD, 0, 1);
  period->addWidget(new QLabel("по", groupBox3), 1, 0);
  period->addWidget(TD, 1, 1);
  period->addWidget(Button2, 2, 0, 1, 2);
  period->setColumnStretch(1, 1);
  Button1 = ActionButton(ActionReportOpen, groupBox2);
  auto* actions = new QVBoxLayout(groupBox2);
  actions->addWidget(groupBox3);
  actions->addStretch();
  actions->addWidget(Button1);

  auto* inner = new QHBoxLayout(groupBox1);
  inner->setContentsMargins(6, 6, 6, 6);
  inner->addWidget(ListView, 1);
  inner->addWidget(groupBox2);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(groupBox1);
  ActionReportOpenUpdate();
  ActionClearDBUpdate();
}

void TfrmToolsReport::FormCreate() {
  const TCalendarDateTime now = DecodeDateTime(Now());
  const int year = now.month == 1 ? now.year - 1 : now.year;
  const int month = now.month == 1 ? 12 : now.month - 1;
  FD->setDate(QDate(year, month, 1));
  TD->setDate(QDate(year, month, DaysInMonth(year, month)));
}

void TfrmToolsReport::showEvent(QShowEvent* event) {
  // The database may have been opened by an insert since the page was made.
  ActionReportOpenUpdate();
  ActionClearDBUpdate();
  TToolsPage::showEvent(event);
}

std::string TfrmToolsReport::SelectedReport() const {
  const auto selected = ListView->selectedItems();
  return selected.isEmpty() ? ""
                            : selected.first()->data(0, kResourceRole).toString().toStdString();
}

void TfrmToolsReport::ActionReportOpenExecute() {
  const std::string name = SelectedReport();
  if (!name.empty()) RunReportFromUi(DM, name);
  ActionReportOpenUpdate();
  ActionClearDBUpdate();
}

void TfrmToolsReport::ActionReportOpenUpdate() {
  ActionReportOpen->setEnabled(!SelectedReport().empty() && DatabaseOpen());
}

void TfrmToolsReport::ListViewDblClick() {
  // Straight to the report, whatever the database's state: a closed one
  // tries to open and says why it cannot.
  if (!SelectedReport().empty()) ActionReportOpenExecute();
}

void TfrmToolsReport::ActionClearDBExecute() {
  const QDate from = FD->date(), to = TD->date();
  // Not in the original design: a reversed period deleted nothing without a
  // word, and the outcome of a deletion was never shown.
  if (from > to) {
    ShowMessageBox(this, QMessageBox::Warning,
                   QString("Начало периода (%1) позже его конца (%2): удалять нечего.")
                       .arg(DayText(from), DayText(to)));
    return;
  }
  const QString question = QString("Внимание! Сейчас будет удален период с %1 по %2, продолжить?")
                               .arg(DayText(from), DayText(to));
  if (ShowMessageBox(this, QMessageBox::Warning, question, QMessageBox::Yes | QMessageBox::No) !=
      QMessageBox::Yes)
    return;
  try {
    if (!DM) throw EDatabaseError("нет базы данных");
    const int deleted = DM->DeletePeriod(FromQDate(from), FromQDate(to));
    ShowMessageBox(this, QMessageBox::Information, QString("Удалено записей: %1.").arg(deleted));
  } catch (const std::exception& e) {
    ShowErrorBox(this, QString("Период не удален: ") + QString::fromUtf8(e.what()));
  }
}

void TfrmToolsReport::ActionClearDBUpdate() { ActionClearDB->setEnabled(DatabaseOpen()); }

}  // namespace corvina
