#include "ui/frmToolsDesignerU.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

#include "settings/CfgKeys.h"
#include "ui/ColorBox.h"
#include "ui/PlatformTexts.h"

namespace corvina {

TfrmToolsDesigner::TfrmToolsDesigner(QWidget* owner) : TToolsPage(owner) {
  setObjectName("frmToolsDesigner");
  auto* groupBox1 = new QGroupBox("Программа", this);

  AlphaBlendTrackBar = new QSlider(Qt::Horizontal, groupBox1);
  AlphaBlendTrackBar->setObjectName("AlphaBlendTrackBar");
  AlphaBlendTrackBar->setRange(0, 255);
  AlphaBlendTrackBar->setTickInterval(10);
  AlphaBlendTrackBar->setTickPosition(QSlider::TicksAbove);
  AlphaBlendLabel = new QLabel("000", groupBox1);
  AlphaBlendLabel->setObjectName("AlphaBlendLabel");
  AlphaBlendLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  AlphaBlendLabel->setFixedWidth(AlphaBlendLabel->fontMetrics().horizontalAdvance("0000"));
  connect(AlphaBlendTrackBar, &QSlider::valueChanged, this,
          &TfrmToolsDesigner::AlphaBlendTrackBarChange);
  auto* alphaRow = new QHBoxLayout;
  alphaRow->addWidget(new QLabel("Прозрачность", groupBox1));
  alphaRow->addWidget(AlphaBlendTrackBar, 1);
  alphaRow->addWidget(AlphaBlendLabel);

  auto* groupBox2 = new QGroupBox("Цвет фона и шрифта", groupBox1);
  BackColorBox = new TColorBox(groupBox2);
  BackColorBox->setObjectName("BackColorBox");
  BackColorBox->Select(clBtnFace);
  FontColorBox = new TColorBox(groupBox2);
  FontColorBox->setObjectName("FontColorBox");
  FontColorBox->Select(clBlack);
  auto* colors = new QGridLayout(groupBox2);
  colors->addWidget(new QLabel("Цвет фона", groupBox2), 0, 0);
  colors->addWidget(BackColorBox, 0, 1);
  colors->addWidget(new QLabel("Цвет шрифта", groupBox2), 1, 0);
  colors->addWidget(FontColorBox, 1, 1);
  colors->setColumnMinimumWidth(0, 100);
  colors->setColumnStretch(1, 1);

  auto* groupBox3 = new QGroupBox("Автозапуск", groupBox1);
  AutoCheckBox = new QCheckBox(kAutoStartCaption, groupBox3);
  AutoCheckBox->setObjectName("AutoCheckBox");
  (new QVBoxLayout(groupBox3))->addWidget(AutoCheckBox);

  auto* inner = new QVBoxLayout(groupBox1);
  inner->addLayout(alphaRow);
  inner->addWidget(groupBox2);
  inner->addWidget(groupBox3);
  inner->addStretch(1);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(groupBox1);
}

void TfrmToolsDesigner::FormCreate() {
  auto cfg = GetLocalCfgIntf();
  if (auto color = ReadColor(*cfg, kBackgroundColor)) BackColorBox->Select(*color);
  if (auto color = ReadColor(*cfg, kFontColor)) FontColorBox->Select(*color);
  if (auto alpha = ReadInteger(*cfg, kAlphaBlend)) {
    AlphaBlendTrackBar->setValue(255 - *alpha);
    AlphaBlendTrackBarChange();  // also when the position did not move
  }
  if (auto autoStart = ReadBoolean(*cfg, kAutoStart)) AutoCheckBox->setChecked(*autoStart);
}

bool TfrmToolsDesigner::FormCloseQuery() {
  auto cfg = GetLocalCfgIntf();
  cfg->SetValue(kBackgroundColor, Variant::FromString(ColorToString(BackColorBox->Selected())));
  cfg->SetValue(kFontColor, Variant::FromString(ColorToString(FontColorBox->Selected())));
  cfg->SetValue(kAlphaBlend, Variant::FromInteger(255 - AlphaBlendTrackBar->value()));
  cfg->SetValue(kAutoStart, Variant::FromBoolean(AutoCheckBox->isChecked()));
  return true;
}

void TfrmToolsDesigner::AlphaBlendTrackBarChange() {
  AlphaBlendLabel->setText(QString::number(AlphaBlendTrackBar->value()));
}

}  // namespace corvina
