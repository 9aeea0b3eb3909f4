#pragma once
// The names of every setting the program keeps, and typed readers that turn
// a stored value into what a caller uses. An absent setting reads as nullopt;
// each caller keeps its own default then.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/CfgColors.h"
#include "settings/CfgIntf.h"

namespace corvina {

constexpr const char* kMacBind = "MacBind";                      // string: adapter hardware address
constexpr const char* kShowICMP = "ShowICMP";                    // boolean
constexpr const char* kShowUDP = "ShowUDP";                      // boolean
constexpr const char* kShowTCP = "ShowTCP";                      // boolean
constexpr const char* kLocalIPRangeCount = "LocalIPRangeCount";  // integer N
constexpr const char* kBackgroundColor = "BackgroundColor";      // colour text
constexpr const char* kFontColor = "FontColor";                  // colour text
constexpr const char* kAlphaBlend = "AlphaBlend";                // integer 0..255, 255 opaque
constexpr const char* kAutoStart = "AutoStart";                  // boolean
constexpr const char* kFormLeft = "FormLeft";                    // integer, screen pixels
constexpr const char* kFormTop = "FormTop";                      // integer, screen pixels

// First and last address of excluded range index (0 <= index < N): the name
// followed by the index in decimal digits without leading zeros.
std::string LocalIPRangeStartKey(int index);
std::string LocalIPRangeEndKey(int index);

// Typed readers. The conversions are the variant's own; a stored text that
// does not convert raises EVariantError (EConvertError for a colour text)
// whose message names the setting and the settings file.
std::optional<bool> ReadBoolean(ICfgIntf& cfg, const std::string& key);
std::optional<std::int32_t> ReadInteger(ICfgIntf& cfg, const std::string& key);
std::optional<std::string> ReadString(ICfgIntf& cfg, const std::string& key);
std::optional<TColor> ReadColor(ICfgIntf& cfg, const std::string& key);

// The excluded ranges as stored, in index order; nullopt when no count is
// stored. A pair with a missing half is skipped. Indexes from
// kMaxLocalIPRanges on are not read: a hand-edited count of two thousand
// million would otherwise take minutes of look-ups.
constexpr int kMaxLocalIPRanges = 65536;
struct TStoredIPRange {
  std::string Start;
  std::string End;
};
// maxRanges: a lower cap for callers that read many files (the fuzz target).
std::optional<std::vector<TStoredIPRange>> ReadLocalIPRanges(ICfgIntf& cfg,
                                                             int maxRanges = kMaxLocalIPRanges);

}  // namespace corvina
