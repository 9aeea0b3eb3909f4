#pragma once
// An IPv4 address field: four groups of three digits with fixed dots. A
// changed field must be complete before the focus may leave it; Esc puts
// back the text it had before the change.

#include <QLineEdit>

namespace corvina {

class TAddressEdit : public QLineEdit {
  Q_OBJECT
 public:
  static constexpr const char* kEmptyAddress = "000.000.000.000";
  static constexpr const char* kInvalidInputMessage =
      "Invalid input value.  Use escape key to abandon changes";

  explicit TAddressEdit(QWidget* parent = nullptr);

  // The field's text with its dots; a position left empty reads as a space.
  QString Text() const;
  // Sets the text and makes it the one Esc goes back to.
  void SetText(const QString& text);
  bool IsComplete() const;
  // Whether no group is above 255; a blank position counts as nothing.
  bool GroupsInRange() const;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The "." key: the digits typed into the current group (left of the
  // cursor) move to its right end, zeros fill it, and the cursor goes on to
  // the next group, so "10.0.0." gives "010.000.000.".
  void NextGroup();

  QString savedText_;
  bool complaining_ = false;
};

}  // namespace corvina
