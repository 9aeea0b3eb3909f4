#pragma once
// The settings page "Фильтрация пакетов": which protocols are counted and
// the list of excluded address ranges.

#include "ui/ToolsPage.h"

class QAction;
class QCheckBox;
class QKeyEvent;
class QPushButton;
class QTreeWidget;

namespace corvina {

class TAddressEdit;

class TfrmToolsStat : public TToolsPage {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TfrmToolsStat(QWidget* owner);

  void FormCreate() override;
  bool FormCloseQuery() override;
  void ActionAppendItemExecute();
  void ActionAppendItemUpdate();
  void ActionDeleteItemExecute();
  void ActionDeleteItemUpdate();
  void ListViewKeyDown(QKeyEvent* event);

  QCheckBox* CheckBox1;  // ICMP
  QCheckBox* CheckBox2;  // UDP
  QCheckBox* CheckBox3;  // TCP
  TAddressEdit* IPRangeStart;
  TAddressEdit* IPRangeEnd;
  QTreeWidget* ListView;  // one row per range: start, end
  QAction* ActionAppendItem;
  QAction* ActionDeleteItem;
  QPushButton* Button1;
  QPushButton* Button2;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void AppendRow(const QString& start, const QString& end);
};

}  // namespace corvina
