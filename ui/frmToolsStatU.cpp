#include "ui/frmToolsStatU.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "settings/CfgKeys.h"
#include "ui/AddressEdit.h"
#include "ui/Dialogs.h"
#include "ui/ReportList.h"

namespace corvina {

TfrmToolsStat::TfrmToolsStat(QWidget* owner) : TToolsPage(owner) {
  setObjectName("frmToolsStat");
  auto* groupBox1 = new QGroupBox("Фильтрация пакетов", this);

  auto* groupBox2 = new QGroupBox("По типу пакета", groupBox1);
  CheckBox1 = new QCheckBox("ICMP", groupBox2);
  CheckBox2 = new QCheckBox("UDP", groupBox2);
  CheckBox3 = new QCheckBox("TCP", groupBox2);
  CheckBox3->setChecked(true);
  auto* protocols = new QHBoxLayout(groupBox2);
  protocols->setContentsMargins(24, 6, 24, 6);
  for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3}) protocols->addWidget(box, 1);

  auto* groupBox4 = new QGroupBox("Исключаемый диапазон адресов", groupBox1);
  IPRangeStart = new TAddressEdit(groupBox4);
  IPRangeStart->setObjectName("IPRangeStart");
  IPRangeEnd = new TAddressEdit(groupBox4);
  IPRangeEnd->setObjectName("IPRangeEnd");
  ActionAppendItem = new QAction("&Добавить", this);
  ActionAppendItem->setObjectName("ActionAppendItem");
  ActionDeleteItem = new QAction("&Удалить", this);
  ActionDeleteItem->setObjectName("ActionDeleteItem");
  connect(ActionAppendItem, &QAction::triggered, this, &TfrmToolsStat::ActionAppendItemExecute);
  connect(ActionDeleteItem, &QAction::triggered, this, &TfrmToolsStat::ActionDeleteItemExecute);
  Button1 = ActionButton(ActionAppendItem, groupBox4);
  Button2 = ActionButton(ActionDeleteItem, groupBox4);

  ListView = new QTreeWidget(groupBox4);
  ListView->setObjectName("ListView");
  // Wide enough for an address after the row image in the desktop's font.
  const int addressWidth =
      std::max(125, fontMetrics().horizontalAdvance(TAddressEdit::kEmptyAddress) + 44);
  SetUpReportList(ListView, {{"Начало диапазона", addressWidth}, {"Окончание диапазона", 0}});
  ListView->installEventFilter(this);

  auto* ranges = new QGridLayout(groupBox4);
  ranges->addWidget(new QLabel("Диапазон:", groupBox4), 0, 0);
  ranges->addWidget(IPRangeStart, 0, 1);
  ranges->addWidget(IPRangeEnd, 0, 2);
  ranges->addWidget(Button1, 0, 3);
  ranges->addWidget(ListView, 1, 0, 2, 3);
  ranges->addWidget(Button2, 1, 3, Qt::AlignTop);
  ranges->setContentsMargins(6, 6, 6, 6);  // the row of fields and button is wide in a desktop font
  ranges->setColumnStretch(0, 1);

  ranges->setRowStretch(2, 1);

  auto* inner = new QVBoxLayout(groupBox1);
  inner->setContentsMargins(6, 6, 6, 6);
  inner->addWidget(groupBox2);
  inner->addWidget(groupBox4, 1);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(groupBox1);

  for (TAddressEdit* edit : {IPRangeStart, IPRangeEnd})
    connect(edit, &QLineEdit::textChanged, this, &TfrmToolsStat::ActionAppendItemUpdate);
  connect(ListView, &QTreeWidget::itemSelectionChanged, this,
          &TfrmToolsStat::ActionDeleteItemUpdate);
  ActionAppendItemUpdate();
  ActionDeleteItemUpdate();
}

void TfrmToolsStat::FormCreate() {
  auto cfg = GetLocalCfgIntf();
  if (const auto ranges = ReadLocalIPRanges(*cfg)) {
    ListView->clear();
    ListView->setUpdatesEnabled(false);
    auto repaint = qScopeGuard([this] { ListView->setUpdatesEnabled(true); });
    for (const TStoredIPRange& range : *ranges)
      AppendRow(QString::fromStdString(range.Start), QString::fromStdString(range.End));
  }
  if (auto on = ReadBoolean(*cfg, kShowICMP)) CheckBox1->setChecked(*on);
  if (auto on = ReadBoolean(*cfg, kShowUDP)) CheckBox2->setChecked(*on);
  if (auto on = ReadBoolean(*cfg, kShowTCP)) CheckBox3->setChecked(*on);
}

bool TfrmToolsStat::FormCloseQuery() {
  auto cfg = GetLocalCfgIntf();
  cfg->SetValue(kShowICMP, Variant::FromBoolean(CheckBox1->isChecked()));
  cfg->SetValue(kShowUDP, Variant::FromBoolean(CheckBox2->isChecked()));
  cfg->SetValue(kShowTCP, Variant::FromBoolean(CheckBox3->isChecked()));
  const int rows = ListView->topLevelItemCount();
  cfg->SetValue(kLocalIPRangeCount, Variant::FromInteger(rows));
  for (int i = 0; i < rows; ++i) {
    const QTreeWidgetItem* row = ListView->topLevelItem(i);
    cfg->SetValue(LocalIPRangeStartKey(i), Variant::FromString(row->text(0).toStdString()));
    cfg->SetValue(LocalIPRangeEndKey(i), Variant::FromString(row->text(1).toStdString()));
  }
  return true;
}

void TfrmToolsStat::AppendRow(const QString& start, const QString& end) {
  auto* row = new QTreeWidgetItem(ListView, QStringList{start, end});
  row->setIcon(0, style()->standardIcon(QStyle::SP_DriveNetIcon));
}

void TfrmToolsStat::ActionAppendItemExecute() {
  // Not in the original design: a group above 255 could never match the
  // address the user meant, so such a range is refused.
  for (TAddressEdit* field : {IPRangeStart, IPRangeEnd}) {
    if (field->GroupsInRange()) continue;
    ShowErrorBox(this, "Неверный адрес " + field->Text() +
                           ": каждая группа должна быть числом от 0 до 255.");
    field->setFocus(Qt::OtherFocusReason);
    return;
  }
  AppendRow(IPRangeStart->Text(), IPRangeEnd->Text());
  IPRangeStart->SetText(TAddressEdit::kEmptyAddress);
  IPRangeEnd->SetText(TAddressEdit::kEmptyAddress);
}

void TfrmToolsStat::ActionAppendItemUpdate() {
  ActionAppendItem->setEnabled(IPRangeStart->Text() != TAddressEdit::kEmptyAddress &&
                               IPRangeEnd->Text() != TAddressEdit::kEmptyAddress);
}

void TfrmToolsStat::ActionDeleteItemExecute() {
  const QList<QTreeWidgetItem*> selected = ListView->selectedItems();
  if (selected.isEmpty()) return;
  const int index = ListView->indexOfTopLevelItem(selected.first());
  delete ListView->takeTopLevelItem(index);
  const int rows = ListView->topLevelItemCount();
  if (rows > 0) ListView->setCurrentItem(ListView->topLevelItem(std::min(index, rows - 1)));
}

void TfrmToolsStat::ActionDeleteItemUpdate() {
  ActionDeleteItem->setEnabled(!ListView->selectedItems().isEmpty());
}

void TfrmToolsStat::ListViewKeyDown(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && !ListView->selectedItems().isEmpty())
    ActionDeleteItem->trigger();
}

bool TfrmToolsStat::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListView && event->type() == QEvent::KeyPress)
    ListViewKeyDown(static_cast<QKeyEvent*>(event));
  return TToolsPage::eventFilter(watched, event);
}

}  // namespace corvina
