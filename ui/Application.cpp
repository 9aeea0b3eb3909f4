#include "ui/Application.h"

#include <exception>

#include "ui/Dialogs.h"

namespace corvina {

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowErrorBox(nullptr, e);
  } catch (...) {
    ShowErrorBox(nullptr, QString("Unknown error"));
  }
  return false;
}

}  // namespace corvina
