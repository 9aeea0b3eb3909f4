#include "ui/ColorBox.h"

#include <QPainter>
#include <QPixmap>

#include "ui/SystemColors.h"

namespace corvina {
namespace {

constexpr QSize kSwatchSize(24, 12);

QIcon Swatch(const QColor& color) {
  QPixmap pixmap(kSwatchSize);
  pixmap.fill(color);
  QPainter painter(&pixmap);
  painter.setPen(Qt::black);
  painter.drawRect(0, 0, kSwatchSize.width() - 1, kSwatchSize.height() - 1);
  return QIcon(pixmap);
}

}  // namespace

TColorBox::TColorBox(QWidget* parent) : QComboBox(parent) {
  setIconSize(kSwatchSize);
  setMaxVisibleItems(16);
  for (const TColorName& c : ColorNames())
    if (c.Value != clNone && c.Value != clDefault) AddColor(c.Value, c.Name);
}

void TColorBox::AddColor(TColor color, const QString& name) {
  addItem(Swatch(ToQColor(color, palette(), palette().color(QPalette::Window))), name,
          QVariant::fromValue(color));
}

TColor TColorBox::Selected() const { return currentData().value<TColor>(); }

void TColorBox::Select(TColor color) {
  int index = findData(QVariant::fromValue(color));
  if (index < 0) {
    AddColor(color, QString::fromStdString(ColorToString(color)));
    index = count() - 1;
  }
  setCurrentIndex(index);
}

}  // namespace corvina
