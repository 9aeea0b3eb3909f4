#pragma once
// Colours as the settings keep them: 32-bit values (0x00BBGGRR for a plain
// colour, 0xFF000000 + index for a system colour, two special values) and
// their texts, a colour name or "$" with eight hexadecimal digits. Turning a
// system colour index into a concrete colour is the user interface's job.

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace corvina {

using TColor = std::uint32_t;

constexpr TColor kSystemColorBase = 0xFF000000;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clBlack = 0x000000;
constexpr TColor clBtnFace = kSystemColorBase + 15;

constexpr bool IsSystemColor(TColor color) { return (color & 0xFF000000) == kSystemColorBase; }
// The system colour index (the Windows GetSysColor numbering) of a system colour.
constexpr int SystemColorIndex(TColor color) { return static_cast<int>(color & 0xFF); }

class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TColorName {
  const char* Name;
  TColor Value;
};

// The 52 named colours, in the order the colour lists show them.
std::span<const TColorName> ColorNames();

// The first name with that value, else "$" and eight upper-case hexadecimal digits.
std::string ColorToString(TColor color);
// A colour name (ASCII case ignored), else a "$" hexadecimal or a decimal integer.
std::optional<TColor> TryStringToColor(const std::string& text);
// As TryStringToColor; EConvertError for any other text.
TColor StringToColor(const std::string& text);

}  // namespace corvina
