#pragma once
// Colour values of the settings turned into colours of this desktop.

#include <QColor>
#include <QPalette>

#include "settings/CfgColors.h"

namespace corvina {

// A plain colour as it is; a system colour as the palette's colour for the
// same element; clNone transparent; clDefault the fallback given.
QColor ToQColor(TColor color, const QPalette& palette, const QColor& fallback);

}  // namespace corvina
