#pragma once
// The settings page "Выбор сети": every IPv4 address of every adapter, the
// remembered adapter preselected; leaving the page remembers the chosen one.

#include "ui/ToolsPage.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvina {

class TfrmToolsConnect : public TToolsPage {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TfrmToolsConnect(QWidget* owner);

  void FormCreate() override;
  bool FormCloseQuery() override;
  // Runs for a row that became selected or unselected.
  void ListViewSelectItem(QTreeWidgetItem* item);

  // A row holds the address, the mask and the hardware address in its
  // columns, the adapter's description and the key that remembers it
  // (AdapterBindKey) under these roles.
  static constexpr int kDescriptionRole = Qt::UserRole;
  static constexpr int kBindKeyRole = Qt::UserRole + 1;

  QTreeWidget* ListView;
  QLabel* Label3;  // "address (mask)"
  QLabel* Label4;  // description
};

}  // namespace corvina
