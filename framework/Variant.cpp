#include "framework/Variant.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace corvina {
namespace {

bool IsIntegerKind(std::uint16_t k) {
  return k == varSmallint || k == varInteger || k == varShortInt || k == varByte || k == varWord ||
         k == varLongWord || k == varInt64;
}
bool IsFloatKind(std::uint16_t k) { return k == varSingle || k == varDouble || k == varCurrency; }

bool EqualsIgnoreCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && !b[i];
}

std::string Trimmed(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

}  // namespace

bool TryStrToInt64(const std::string& input, std::int64_t& value) {
  const std::string text = Trimmed(input);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (text.compare(i, 1, "$") == 0) {
    base = 16;
    i += 1;
  } else if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  unsigned long long acc = 0;
  const unsigned long long limit =
      base == 16 ? std::numeric_limits<unsigned long long>::max()
                 : static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max()) +
                       (negative ? 1 : 0);
  for (; i < text.size(); ++i) {
    const int c = std::tolower(static_cast<unsigned char>(text[i]));
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else
      return false;
    if (acc > (limit - static_cast<unsigned>(digit)) / static_cast<unsigned>(base)) return false;
    acc = acc * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
  }
  // Hexadecimal texts are bit patterns: $FFFFFFFFFFFFFFFF is -1.
  value = negative ? static_cast<std::int64_t>(0 - acc) : static_cast<std::int64_t>(acc);
  return true;
}

const char* VarTypeName(std::uint16_t kind) {
  switch (kind) {
    case varEmpty:
      return "Empty";
    case varNull:
      return "Null";
    case varSmallint:
      return "Smallint";
    case varInteger:
      return "Integer";
    case varSingle:
      return "Single";
    case varDouble:
      return "Double";
    case varCurrency:
      return "Currency";
    case varDate:
      return "Date";
    case varOleStr:
      return "OleStr";
    case varBoolean:
      return "Boolean";
    case varShortInt:
      return "ShortInt";
    case varByte:
      return "Byte";
    case varWord:
      return "Word";
    case varLongWord:
      return "LongWord";
    case varInt64:
      return "Int64";
    case varString:
      return "String";
    default:
      return "Unknown";
  }
}

Variant Variant::Null() { return OfKind(varNull); }

Variant Variant::FromInteger(std::int64_t value, TVarType kind) {
  Variant v;
  v.kind_ = IsIntegerKind(kind) ? kind : varInt64;
  v.value_ = value;
  return v;
}

Variant Variant::FromFloat(double value, TVarType kind) {
  Variant v;
  v.kind_ = IsFloatKind(kind) ? kind : varDouble;
  v.value_ = value;
  return v;
}

Variant Variant::FromDate(TDateTime value) {
  Variant v;
  v.kind_ = varDate;
  v.value_ = value;
  return v;
}

Variant Variant::FromBoolean(bool value) {
  Variant v;
  v.kind_ = varBoolean;
  v.value_ = value;
  return v;
}

Variant Variant::FromString(std::string value, TVarType kind) {
  Variant v;
  v.kind_ = kind == varOleStr ? varOleStr : varString;
  v.value_ = std::move(value);
  return v;
}

Variant Variant::OfKind(std::uint16_t kind) {
  Variant v;
  v.kind_ = kind;
  return v;
}

bool Variant::IsNumeric() const { return IsIntegerKind(kind_) || IsFloatKind(kind_); }

bool Variant::IsInteger() const { return IsIntegerKind(kind_); }

void Variant::CannotConvert(const char* target) const {
  throw EVariantError(std::string("Could not convert variant of type (") + VarTypeName(kind_) +
                      ") into type (" + target + ")");
}

std::int64_t Variant::AsInt64(const TFormatSettings& fs) const {
  if (const auto* i = std::get_if<std::int64_t>(&value_)) return *i;
  if (const auto* b = std::get_if<bool>(&value_)) return *b ? -1 : 0;
  if (const auto* d = std::get_if<double>(&value_)) {
    if (!std::isfinite(*d) || std::fabs(*d) > 9.2e18) CannotConvert("Int64");
    return std::llround(*d);
  }
  if (const auto* s = std::get_if<std::string>(&value_)) {
    std::int64_t v = 0;
    if (TryStrToInt64(*s, v)) return v;
    if (auto f = TryStrToFloat(*s, fs); f && std::isfinite(*f) && std::fabs(*f) <= 9.2e18)
      return std::llround(*f);
    CannotConvert("Int64");
  }
  if (kind_ == varEmpty) return 0;
  CannotConvert("Int64");
}

std::int32_t Variant::AsInteger(const TFormatSettings& fs) const {
  // Wider values wrap to 32 bits, as a typecast of the stored number would.
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(AsInt64(fs)));
}

double Variant::AsDouble(const TFormatSettings& fs) const {
  if (const auto* d = std::get_if<double>(&value_)) return *d;
  if (const auto* i = std::get_if<std::int64_t>(&value_)) return static_cast<double>(*i);
  if (const auto* b = std::get_if<bool>(&value_)) return *b ? -1.0 : 0.0;
  if (const auto* s = std::get_if<std::string>(&value_)) {
    if (auto f = TryStrToFloat(*s, fs)) return *f;
    std::int64_t v = 0;
    if (TryStrToInt64(*s, v)) return static_cast<double>(v);
    CannotConvert("Double");
  }
  if (kind_ == varEmpty) return 0;
  CannotConvert("Double");
}

TDateTime Variant::AsDate(const TFormatSettings& fs) const {
  if (const auto* s = std::get_if<std::string>(&value_)) {
    if (auto d = TryStrToDateTime(*s, fs)) return *d;
    if (auto f = TryStrToFloat(*s, fs)) return *f;
    CannotConvert("Date");
  }
  return AsDouble(fs);
}

bool Variant::AsBoolean(const TFormatSettings& fs) const {
  if (const auto* b = std::get_if<bool>(&value_)) return *b;
  if (const auto* i = std::get_if<std::int64_t>(&value_)) return *i != 0;
  if (const auto* d = std::get_if<double>(&value_)) return *d != 0;
  if (const auto* s = std::get_if<std::string>(&value_)) {
    const std::string t = Trimmed(*s);
    if (EqualsIgnoreCase(t, "true")) return true;
    if (EqualsIgnoreCase(t, "false")) return false;
    std::int64_t v = 0;
    if (TryStrToInt64(t, v)) return v != 0;
    if (auto f = TryStrToFloat(t, fs)) return *f != 0;
    CannotConvert("Boolean");
  }
  if (kind_ == varEmpty) return false;
  CannotConvert("Boolean");
}

std::string Variant::AsString(const TFormatSettings& fs) const {
  if (const auto* s = std::get_if<std::string>(&value_)) return *s;
  if (const auto* i = std::get_if<std::int64_t>(&value_)) return std::to_string(*i);
  if (const auto* b = std::get_if<bool>(&value_)) return *b ? "True" : "False";
  if (const auto* d = std::get_if<double>(&value_))
    return kind_ == varDate ? DateTimeToStr(*d, fs) : FloatToStr(*d, fs);
  if (kind_ == varEmpty || kind_ == varNull) return "";
  CannotConvert("String");
}

}  // namespace corvina
