#include "settings/CfgColors.h"

#include <array>
#include <cstdio>
#include <limits>

#include "framework/Variant.h"
#include "settings/IniDocument.h"

namespace corvina {
namespace {

constexpr TColor Sys(int index) { return kSystemColorBase + static_cast<TColor>(index); }

constexpr std::array<TColorName, 52> kColorNames{{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clActiveBorder", Sys(10)},
    {"clActiveCaption", Sys(2)},
    {"clAppWorkSpace", Sys(12)},
    {"clBackground", Sys(1)},
    {"clBtnFace", Sys(15)},
    {"clBtnHighlight", Sys(20)},
    {"clBtnShadow", Sys(16)},
    {"clBtnText", Sys(18)},
    {"clCaptionText", Sys(9)},
    {"clDefault", clDefault},
    {"clGradientActiveCaption", Sys(27)},
    {"clGradientInactiveCaption", Sys(28)},
    {"clGrayText", Sys(17)},
    {"clHighlight", Sys(13)},
    {"clHighlightText", Sys(14)},
    {"clHotLight", Sys(26)},
    {"clInactiveBorder", Sys(11)},
    {"clInactiveCaption", Sys(3)},
    {"clInactiveCaptionText", Sys(19)},
    {"clInfoBk", Sys(24)},
    {"clInfoText", Sys(23)},
    {"clMenu", Sys(4)},
    {"clMenuBar", Sys(30)},
    {"clMenuHighlight", Sys(29)},
    {"clMenuText", Sys(7)},
    {"clNone", clNone},
    {"clScrollBar", Sys(0)},
    {"cl3DDkShadow", Sys(21)},
    {"cl3DLight", Sys(22)},
    {"clWindow", Sys(5)},
    {"clWindowFrame", Sys(6)},
    {"clWindowText", Sys(8)},
}};

}  // namespace

std::span<const TColorName> ColorNames() { return kColorNames; }

std::string ColorToString(TColor color) {
  for (const TColorName& entry : kColorNames)
    if (entry.Value == color) return entry.Name;
  char text[10];
  std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(color));
  return text;
}

std::optional<TColor> TryStringToColor(const std::string& text) {
  for (const TColorName& entry : kColorNames)
    if (SameTextAscii(text, entry.Name)) return entry.Value;
  std::int64_t value = 0;
  // Negative decimals are the signed form of the same 32 bits ("-16777201" is clBtnFace).
  if (!TryStrToInt64(text, value) || value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::uint32_t>::max())
    return std::nullopt;
  return static_cast<TColor>(value);
}

TColor StringToColor(const std::string& text) {
  if (const auto color = TryStringToColor(text)) return *color;
  throw EConvertError("'" + text + "' is not a valid colour");
}

}  // namespace corvina
