#include "ui/Dialogs.h"

#include <QApplication>
#include <QScreen>
#include <deque>

namespace corvina {
namespace {

std::deque<QMessageBox::StandardButton>& QueuedAnswers() {
  static std::deque<QMessageBox::StandardButton> answers;
  return answers;
}
QStringList& ShownTexts() {
  static QStringList texts;
  return texts;
}

}  // namespace

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons) {
  ShownTexts().append(text);
  if (!QueuedAnswers().empty()) {
    const auto answer = QueuedAnswers().front();
    QueuedAnswers().pop_front();
    return answer;
  }
  QMessageBox box(icon, QApplication::applicationDisplayName(), text, buttons, parent);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowErrorBox(QWidget* parent, const QString& text) {
  ShowMessageBox(parent, QMessageBox::Critical, text, QMessageBox::Ok);
}

void ShowErrorBox(QWidget* parent, const std::exception& error) {
  ShowErrorBox(parent, QString::fromUtf8(error.what()));
}

void CenterOnScreen(QWidget* window) {
  const QRect screen = window->screen()->availableGeometry();
  window->move(screen.center() - QPoint(window->width() / 2, window->height() / 2));
}

void QueueMessageBoxAnswer(QMessageBox::StandardButton answer) {
  QueuedAnswers().push_back(answer);
}

QStringList TakeShownMessageBoxTexts() {
  QStringList texts;
  texts.swap(ShownTexts());
  return texts;
}

}  // namespace corvina
