#pragma once
// The small expression language of report definitions: numbers, 'texts',
// names (query columns, report variables, Page, TotalPages), + and -, and a
// fixed set of functions (YearOf, MonthOf, DayOf, EncodeDate, FormatDateTime,
// Format, Now, DialogDate, Sum, Chr). Cell texts hold expressions in [ ].

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "framework/FormatSettings.h"
#include "framework/Variant.h"

namespace corvina {

class TExpression;

// What the names and aggregates of an expression mean where it is evaluated.
class TExpressionScope {
 public:
  virtual ~TExpressionScope() = default;
  // EReportError for a name that means nothing here.
  virtual Variant Value(const std::string& name) const = 0;
  // The operand summed over the rows the evaluating band covers.
  virtual Variant Sum(const TExpression& operand) const = 0;
  virtual TDateTime DialogDate() const = 0;
  // One moment for the whole report, so every page shows the same time.
  virtual TDateTime Now() const = 0;
  virtual const TFormatSettings& FormatSettings() const = 0;
};

class TExpression {
 public:
  struct Node;
  TExpression() = default;
  // EReportError for text that is no complete expression.
  static TExpression Parse(const std::string& text);
  // Reads the expression at text[pos] up to a character that cannot continue
  // it; pos ends on that character.
  static TExpression ParseAt(const std::string& text, std::size_t& pos);
  // EReportError naming the expression when it cannot be evaluated.
  Variant Evaluate(const TExpressionScope& scope) const;
  const std::string& Text() const { return text_; }
  // A parsed tree and the text it came from (Node is the parser's own).
  TExpression(std::shared_ptr<const Node> root, std::string text);

 private:
  std::shared_ptr<const Node> root_;
  std::string text_;
};

// Literal text with expressions in [ ], e.g. "Итого по группе: [IP]".
class TTextTemplate {
 public:
  TTextTemplate() = default;
  static TTextTemplate Parse(const std::string& text);  // EReportError
  std::string Evaluate(const TExpressionScope& scope) const;

 private:
  struct Part {
    std::string Literal;
    std::shared_ptr<TExpression> Expression;  // null for literal text
  };
  std::vector<Part> parts_;
};

// a + sign * b: integers exactly (EReportError when the result overflows),
// anything else as floating point.
Variant AddNumbers(const Variant& a, const Variant& b, int sign, const TFormatSettings& fs);
// A value as a cell shows it; Null shows nothing.
std::string DisplayText(const Variant& value, const TFormatSettings& fs);
// One "%[width][.decimals]n|d|s" specifier with text around it: n groups the
// digits by the locale's separator and writes the decimals after ",". Null
// gives an empty text.
std::string FormatValue(const std::string& format, const Variant& value, const TFormatSettings& fs);

}  // namespace corvina
