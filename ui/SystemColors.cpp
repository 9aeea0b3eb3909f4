#include "ui/SystemColors.h"

#include <iterator>

namespace corvina {
namespace {

struct SystemElement {
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
};

using P = QPalette;
// The palette entry that plays the part of each Windows system colour index
// (25, unused there, stays the window colour).
constexpr SystemElement kElements[] = {
    {P::Active, P::Button},             // 0 scroll bar
    {P::Active, P::Dark},               // 1 desktop
    {P::Active, P::Highlight},          // 2 active caption
    {P::Inactive, P::Mid},              // 3 inactive caption
    {P::Active, P::Window},             // 4 menu
    {P::Active, P::Base},               // 5 window
    {P::Active, P::Shadow},             // 6 window frame
    {P::Active, P::WindowText},         // 7 menu text
    {P::Active, P::Text},               // 8 window text
    {P::Active, P::HighlightedText},    // 9 caption text
    {P::Active, P::Window},             // 10 active border
    {P::Inactive, P::Window},           // 11 inactive border
    {P::Active, P::Dark},               // 12 application workspace
    {P::Active, P::Highlight},          // 13 highlight
    {P::Active, P::HighlightedText},    // 14 highlight text
    {P::Active, P::Button},             // 15 button face
    {P::Active, P::Mid},                // 16 button shadow
    {P::Disabled, P::Text},             // 17 grey text
    {P::Active, P::ButtonText},         // 18 button text
    {P::Inactive, P::HighlightedText},  // 19 inactive caption text
    {P::Active, P::Light},              // 20 button highlight
    {P::Active, P::Shadow},             // 21 3D dark shadow
    {P::Active, P::Midlight},           // 22 3D light
    {P::Active, P::ToolTipText},        // 23 info text
    {P::Active, P::ToolTipBase},        // 24 info background
    {P::Active, P::Window},             // 25
    {P::Active, P::Link},               // 26 hot light
    {P::Active, P::Highlight},          // 27 gradient active caption
    {P::Inactive, P::Mid},              // 28 gradient inactive caption
    {P::Active, P::Highlight},          // 29 menu highlight
    {P::Active, P::Window},             // 30 menu bar
};

SystemElement ElementOf(int index) {
  constexpr int count = int(std::size(kElements));
  return index >= 0 && index < count ? kElements[index] : SystemElement{P::Active, P::Window};
}

}  // namespace

QColor ToQColor(TColor color, const QPalette& palette, const QColor& fallback) {
  if (color == clNone) return Qt::transparent;
  if (color == clDefault) return fallback;
  if (IsSystemColor(color)) {
    const SystemElement e = ElementOf(SystemColorIndex(color));
    return palette.color(e.group, e.role);
  }
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

}  // namespace corvina
