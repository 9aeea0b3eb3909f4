#include "ui/AddressEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <algorithm>

#include "ui/Dialogs.h"

namespace corvina {
namespace {

constexpr QChar kBlank = u'_';

// Leaving by the user's own move is checked. Other reasons are not: a window
// switch, a popup, a button's shortcut (which runs its action with the text
// as it is), or the dialog hiding its widgets as it closes.
bool IsUserMove(Qt::FocusReason reason) {
  return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
         reason == Qt::MouseFocusReason;
}

}  // namespace

TAddressEdit::TAddressEdit(QWidget* parent) : QLineEdit(parent) {
  setInputMask(QString("999.999.999.999;") + kBlank);
  SetText(kEmptyAddress);
  // Room for the whole address inside the frame and the text margins.
  setMinimumWidth(fontMetrics().horizontalAdvance(kEmptyAddress) + 10);
}

QString TAddressEdit::Text() const {
  QString text = displayText();
  text.replace(kBlank, u' ');
  return text;
}

void TAddressEdit::SetText(const QString& text) {
  setText(text);
  savedText_ = displayText();
}

bool TAddressEdit::IsComplete() const { return !displayText().contains(kBlank); }

bool TAddressEdit::GroupsInRange() const {
  for (QString group : displayText().split(u'.')) {
    group.remove(kBlank);
    if (group.toInt() > 255) return false;
  }
  return true;
}

void TAddressEdit::NextGroup() {
  const int position = cursorPosition();
  const int group = std::min(position / 4, 3), typed = position - group * 4;
  if (typed == 0) return;  // at the start of a group: nothing typed there yet
  if (typed < 3) {
    QString digits = displayText().mid(group * 4, typed);
    digits.remove(kBlank);
    setSelection(group * 4, 3);
    insert(digits.rightJustified(3, u'0'));
  }
  if (group < 3) setCursorPosition(group * 4 + 4);
}

void TAddressEdit::focusInEvent(QFocusEvent* event) {
  if (!isModified()) savedText_ = displayText();
  QLineEdit::focusInEvent(event);
}

void TAddressEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (IsComplete()) setModified(false);  // accepted: the next change starts from here
  if (complaining_ || !isModified() || !IsUserMove(event->reason())) return;
  complaining_ = true;  // the message box takes the focus too
  QApplication::beep();
  ShowErrorBox(this, kInvalidInputMessage);
  complaining_ = false;
  setFocus(Qt::OtherFocusReason);
}

void TAddressEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && isModified()) {
    setText(savedText_);  // the dialog's own Esc (Cancel) waits for a second press
    return;
  }
  if (event->key() == Qt::Key_Period || event->key() == Qt::Key_Comma) {  // "," of a keypad
    NextGroup();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace corvina
