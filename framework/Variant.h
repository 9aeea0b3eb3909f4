#pragma once
// The tagged value that carries a setting. The kind numbers are also the
// type codes of the settings file.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>

#include "framework/DateTime.h"
#include "framework/FormatSettings.h"

namespace corvina {

enum TVarType : std::uint16_t {
  varEmpty = 0,
  varNull = 1,
  varSmallint = 2,
  varInteger = 3,
  varSingle = 4,
  varDouble = 5,
  varCurrency = 6,
  varDate = 7,
  varOleStr = 8,
  varDispatch = 9,
  varError = 10,
  varBoolean = 11,
  varVariant = 12,
  varUnknown = 13,
  varDecimal = 14,
  varShortInt = 16,
  varByte = 17,
  varWord = 18,
  varLongWord = 19,
  varInt64 = 20,
  varString = 256,
  varArray = 0x2000,
  varByRef = 0x4000,
};

class EVariantError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Variant {
 public:
  Variant() = default;  // Empty
  static Variant Null();
  static Variant FromInteger(std::int64_t value, TVarType kind = varInteger);
  static Variant FromFloat(double value, TVarType kind = varDouble);
  static Variant FromDate(TDateTime value);
  static Variant FromBoolean(bool value);
  static Variant FromString(std::string value, TVarType kind = varString);
  // A kind the store does not hold (arrays, interfaces and the like), carrying no value.
  static Variant OfKind(std::uint16_t kind);

  std::uint16_t Kind() const { return kind_; }
  bool IsNull() const { return kind_ == varNull; }
  bool IsEmpty() const { return kind_ == varEmpty; }
  bool IsNumeric() const;  // an integer or float kind, Boolean excluded
  bool IsInteger() const;  // an integer kind, Boolean excluded
  bool IsText() const { return kind_ == varString || kind_ == varOleStr; }

  // Conversions as the variant rules give them; EVariantError when they cannot convert.
  std::int64_t AsInt64(const TFormatSettings& fs = DefaultFormatSettings()) const;
  std::int32_t AsInteger(const TFormatSettings& fs = DefaultFormatSettings()) const;
  double AsDouble(const TFormatSettings& fs = DefaultFormatSettings()) const;
  TDateTime AsDate(const TFormatSettings& fs = DefaultFormatSettings()) const;
  bool AsBoolean(const TFormatSettings& fs = DefaultFormatSettings()) const;
  std::string AsString(const TFormatSettings& fs = DefaultFormatSettings()) const;

  bool operator==(const Variant&) const = default;

 private:
  [[noreturn]] void CannotConvert(const char* target) const;
  std::uint16_t kind_ = varEmpty;
  std::variant<std::monostate, std::int64_t, double, bool, std::string> value_;
};

// Reads an integer text: optional sign, decimal digits, or hexadecimal after
// "0x", "0X" or "$". Surrounding blanks are allowed; anything else fails.
bool TryStrToInt64(const std::string& text, std::int64_t& value);
const char* VarTypeName(std::uint16_t kind);

}  // namespace corvina
