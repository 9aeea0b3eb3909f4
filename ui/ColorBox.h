#pragma once
// A drop-down list of the named colours, each entry a swatch and its name.
// clNone and clDefault are not offered: neither is a colour one can see.

#include <QComboBox>

#include "settings/CfgColors.h"

namespace corvina {

class TColorBox : public QComboBox {
  Q_OBJECT
 public:
  explicit TColorBox(QWidget* parent = nullptr);

  TColor Selected() const;
  // Selects the entry of that colour. A colour no entry has (a hand-edited
  // settings file) gets an entry of its own at the end, so that leaving the
  // page writes it back unchanged.
  void Select(TColor color);

 private:
  void AddColor(TColor color, const QString& name);
};

}  // namespace corvina
