#pragma once
// The settings page "Отчеты": the three built-in reports to view, and the
// clean-up of a period of stored records. Its actions take effect at once;
// it reads and writes no setting.

#include "ui/ToolsPage.h"

class QAction;
class QDateEdit;
class QMenu;
class QPushButton;
class QTreeWidget;

namespace corvina {

class TfrmToolsReport : public TToolsPage {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TfrmToolsReport(QWidget* owner);

  // FD: the first day of the previous month; TD: the last day of that month.
  void FormCreate() override;
  bool FormCloseQuery() override { return true; }
  void ActionReportOpenExecute();
  void ActionReportOpenUpdate();
  void ListViewDblClick();
  void ActionClearDBExecute();
  void ActionClearDBUpdate();
  // The resource name of the selected entry; empty when none is selected.
  std::string SelectedReport() const;

  QTreeWidget* ListView;
  QMenu* PopupMenu;
  QDateEdit* FD;
  QDateEdit* TD;
  QPushButton* Button1;  // ActionReportOpen
  QPushButton* Button2;  // ActionClearDB
  QAction* ActionReportOpen;
  QAction* ActionClearDB;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace corvina
