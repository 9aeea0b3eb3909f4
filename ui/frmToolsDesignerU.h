#pragma once
// The settings page "Программа": transparency and colours of the meter
// window, and whether the program starts at log-on.

#include "ui/ToolsPage.h"

class QCheckBox;
class QLabel;
class QSlider;

namespace corvina {

class TColorBox;

class TfrmToolsDesigner : public TToolsPage {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TfrmToolsDesigner(QWidget* owner);

  void FormCreate() override;
  bool FormCloseQuery() override;
  void AlphaBlendTrackBarChange();

  QSlider* AlphaBlendTrackBar;  // the transparency: 0 opaque, 255 invisible
  QLabel* AlphaBlendLabel;
  TColorBox* BackColorBox;
  TColorBox* FontColorBox;
  QCheckBox* AutoCheckBox;
};

}  // namespace corvina
