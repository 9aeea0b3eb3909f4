#pragma once
// Every message box of the program goes through here, so widget tests can
// answer it without a person: queued answers are taken instead of showing.
// Each text also goes to the standard error stream, where the session's log
// (or a terminal) keeps it after the box is gone.

#include <QMessageBox>
#include <QStringList>
#include <exception>

namespace corvina {

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok);
// The standard error box: error icon, the text, one OK button, the application title.
void ShowErrorBox(QWidget* parent, const QString& text);
void ShowErrorBox(QWidget* parent, const std::exception& error);
// The error box without waiting for OK: it stays up (modal to the whole
// program) while the caller goes on, so an unattended start still meters.
void ShowErrorNotice(const QString& text);

// The desktop session ends: open dialogs and message boxes close as if
// cancelled, and no box is shown from now on (a box that nobody will answer
// would keep the program from ending).
void CloseDialogsForSessionEnd();

// Places a window in the middle of the screen it is on.
void CenterOnScreen(QWidget* window);

// Test seam: the next boxes answer at once with these buttons, in order, and
// their texts are recorded.
void QueueMessageBoxAnswer(QMessageBox::StandardButton answer);
QStringList TakeShownMessageBoxTexts();

}  // namespace corvina
