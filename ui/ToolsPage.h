#pragma once
// What every page of the settings dialog does: read its keys when created,
// write them when it is left. A page class is named by its QMetaObject and
// must have a Q_INVOKABLE constructor taking the owner widget.

#include <QWidget>

namespace corvina {

class TToolsPage : public QWidget {
  Q_OBJECT
 public:
  explicit TToolsPage(QWidget* owner) : QWidget(owner) {}
  // Reads the page's keys from the store into its controls.
  virtual void FormCreate() = 0;
  // Writes the page's keys to the store; the answer is whether it may close.
  virtual bool FormCloseQuery() = 0;
};

using TToolsPageClass = const QMetaObject*;

}  // namespace corvina
