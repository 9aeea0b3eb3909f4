#pragma once
// What every page of the settings dialog does: read its keys when created,
// write them when it is left. A page class is named by its QMetaObject and
// must have a Q_INVOKABLE constructor taking the owner widget.

#include <QAction>
#include <QPushButton>
#include <QWidget>

namespace corvina {

// A button of a page that shows and runs its action, enabled with it.
inline QPushButton* ActionButton(QAction* action, QWidget* parent) {
  auto* button = new QPushButton(action->text(), parent);
  button->setEnabled(action->isEnabled());
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  QObject::connect(action, &QAction::enabledChanged, button, &QWidget::setEnabled);
  return button;
}

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
