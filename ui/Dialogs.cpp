#include "ui/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <cstdio>
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
bool gSessionEnding = false;

// Records and logs the text. True when no box is to be shown: a test queued
// its answer (taken into answer), or the session is ending.
bool AnsweredWithoutBox(const QString& text, QMessageBox::StandardButton& answer) {
  ShownTexts().append(text);
  std::fprintf(stderr, "%s: %s\n", qUtf8Printable(QApplication::applicationDisplayName()),
               qUtf8Printable(text));
  answer = QMessageBox::NoButton;
  if (!QueuedAnswers().empty()) {
    answer = QueuedAnswers().front();
    QueuedAnswers().pop_front();
    return true;
  }
  return gSessionEnding;
}

}  // namespace

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons) {
  QMessageBox::StandardButton answer;
  if (AnsweredWithoutBox(text, answer)) return answer;
  QMessageBox box(icon, QApplication::applicationDisplayName(), text, buttons, parent);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowErrorBox(QWidget* parent, const QString& text) {
  ShowMessageBox(parent, QMessageBox::Critical, text, QMessageBox::Ok);
}

void ShowErrorBox(QWidget* parent, const std::exception& error) {
  ShowErrorBox(parent, QString::fromUtf8(error.what()));
}

void ShowErrorNotice(const QString& text) {
  QMessageBox::StandardButton answer;
  if (AnsweredWithoutBox(text, answer)) return;
  auto* box = new QMessageBox(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                              QMessageBox::Ok);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::ApplicationModal);
  box->show();
}

void CloseDialogsForSessionEnd() {
  gSessionEnding = true;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible())
      dialog->reject();
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
