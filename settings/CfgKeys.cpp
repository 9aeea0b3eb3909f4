#include "settings/CfgKeys.h"

#include <algorithm>

namespace corvina {

std::string LocalIPRangeStartKey(int index) { return "LocalIPRangeStart" + std::to_string(index); }
std::string LocalIPRangeEndKey(int index) { return "LocalIPRangeEnd" + std::to_string(index); }

namespace {

// The stored value, or nullopt when it is Null (absent).
std::optional<Variant> Present(ICfgIntf& cfg, const std::string& key) {
  Variant value = cfg.GetValue(key);
  if (value.IsNull()) return std::nullopt;
  return value;
}

// Converts a stored value; when it does not convert, the error of the same
// kind says which setting of which file holds it.
template <typename Convert>
auto Converted(ICfgIntf& cfg, const std::string& key, Convert convert) {
  const auto where = [&] {
    std::string text = "Invalid value of setting \"" + key + "\"";
    if (const auto* local = dynamic_cast<const TLocalCfgIntf*>(&cfg))
      text += " in \"" + local->FileName() + "\"";
    return text + ": ";
  };
  try {
    return convert();
  } catch (const EVariantError& e) {
    throw EVariantError(where() + e.what());
  } catch (const EConvertError& e) {
    throw EConvertError(where() + e.what());
  }
}

}  // namespace

std::optional<bool> ReadBoolean(ICfgIntf& cfg, const std::string& key) {
  if (const auto v = Present(cfg, key)) return Converted(cfg, key, [&] { return v->AsBoolean(); });
  return std::nullopt;
}

std::optional<std::int32_t> ReadInteger(ICfgIntf& cfg, const std::string& key) {
  if (const auto v = Present(cfg, key)) return Converted(cfg, key, [&] { return v->AsInteger(); });
  return std::nullopt;
}

std::optional<std::string> ReadString(ICfgIntf& cfg, const std::string& key) {
  if (const auto v = Present(cfg, key)) return v->AsString();
  return std::nullopt;
}

std::optional<TColor> ReadColor(ICfgIntf& cfg, const std::string& key) {
  if (const auto text = ReadString(cfg, key))
    return Converted(cfg, key, [&] { return StringToColor(*text); });
  return std::nullopt;
}

std::optional<std::vector<TStoredIPRange>> ReadLocalIPRanges(ICfgIntf& cfg, int maxRanges) {
  const auto count = ReadInteger(cfg, kLocalIPRangeCount);
  if (!count) return std::nullopt;
  std::vector<TStoredIPRange> ranges;
  for (int i = 0; i < std::min(*count, maxRanges); ++i) {
    auto start = ReadString(cfg, LocalIPRangeStartKey(i));
    auto end = ReadString(cfg, LocalIPRangeEndKey(i));
    if (start && end) ranges.push_back({std::move(*start), std::move(*end)});
  }
  return ranges;
}

}  // namespace corvina
