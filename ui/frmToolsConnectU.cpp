#include "ui/frmToolsConnectU.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "netinfo/LanApi.h"
#include "settings/CfgKeys.h"
#include "ui/ReportList.h"

namespace corvina {

TfrmToolsConnect::TfrmToolsConnect(QWidget* owner) : TToolsPage(owner) {
  setObjectName("frmToolsConnect");
  auto* groupBox1 = new QGroupBox("Выбор сети", this);
  ListView = new QTreeWidget(groupBox1);
  ListView->setObjectName("ListView");
  SetUpReportList(ListView, {{"Сетевой адрес", 110}, {"Маска сети", 110}, {"MAC Адрес", 0}});

  auto* groupBox2 = new QGroupBox("Информация", groupBox1);
  auto* image1 = new QLabel(groupBox2);
  image1->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
  image1->setAlignment(Qt::AlignCenter);
  Label3 = new QLabel(groupBox2);
  Label3->setObjectName("Label3");
  Label4 = new QLabel(groupBox2);
  Label4->setObjectName("Label4");
  Label4->setWordWrap(true);
  Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label4->setMinimumHeight(2 * Label4->fontMetrics().lineSpacing());
  auto* info = new QGridLayout(groupBox2);
  info->addWidget(image1, 0, 0, 2, 1, Qt::AlignTop);
  info->addWidget(new QLabel("Сеть:", groupBox2), 0, 1);
  info->addWidget(Label3, 0, 2);
  info->addWidget(Label4, 1, 1, 1, 2);
  info->setColumnStretch(2, 1);
  info->setRowStretch(1, 1);

  auto* inner = new QVBoxLayout(groupBox1);
  inner->addWidget(new QLabel("Локальные сети:", groupBox1));
  inner->addWidget(ListView, 1);
  inner->addWidget(groupBox2);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(groupBox1);

  // Rows that lost the selection are told first, then those that gained it.
  connect(ListView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection& deselected) {
            for (const QItemSelection* change : {&deselected, &selected})
              for (const QModelIndex& index : change->indexes())
                if (index.column() == 0) ListViewSelectItem(ListView->topLevelItem(index.row()));
          });
}

void TfrmToolsConnect::FormCreate() {
  const QIcon rowImage = style()->standardIcon(QStyle::SP_DriveNetIcon);
  auto cfg = GetLocalCfgIntf();
  const auto macBind = ReadString(*cfg, kMacBind);
  QTreeWidgetItem* chosen = nullptr;
  for (const TAdapterAddress& a : EnumAdapterAddresses()) {
    auto* row = new QTreeWidgetItem(
        ListView, QStringList{QString::fromStdString(a.Address), QString::fromStdString(a.Mask),
                              QString::fromStdString(a.MacAddress)});
    const std::string key = AdapterBindKey(a);
    row->setData(0, kDescriptionRole, QString::fromStdString(a.Description));
    row->setData(0, kBindKeyRole, QString::fromStdString(key));
    row->setIcon(0, rowImage);
    // One row can be selected: with several rows of the remembered adapter the last one wins.
    if (macBind ? *macBind == key : true) chosen = row;
  }
  if (chosen) ListView->setCurrentItem(chosen);
}

bool TfrmToolsConnect::FormCloseQuery() {
  const QList<QTreeWidgetItem*> selected = ListView->selectedItems();
  if (!selected.isEmpty())
    GetLocalCfgIntf()->SetValue(
        kMacBind,
        Variant::FromString(selected.first()->data(0, kBindKeyRole).toString().toStdString()));
  return true;
}

void TfrmToolsConnect::ListViewSelectItem(QTreeWidgetItem* item) {
  Label3->setText(QString("%1 (%2)").arg(item->text(0), item->text(1)));
  Label4->setText(item->data(0, kDescriptionRole).toString());
}

}  // namespace corvina
