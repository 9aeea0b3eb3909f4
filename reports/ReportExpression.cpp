#include "reports/ReportExpression.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <functional>

#include "reports/ReportText.h"

namespace corvina {

struct TExpression::Node {
  enum Kind { Literal, Name, Call, Add, Subtract, Negate } kind = Literal;
  Variant value;     // Literal
  std::string name;  // Name, Call (as the table below spells it)
  std::vector<std::shared_ptr<const Node>> args;
};

namespace {

using Node = TExpression::Node;
using NodePtr = std::shared_ptr<const Node>;

struct TFunction {
  const char* name;
  std::size_t arity;
};
constexpr TFunction kFunctions[] = {
    {"YearOf", 1}, {"MonthOf", 1}, {"DayOf", 1},      {"EncodeDate", 3}, {"FormatDateTime", 2},
    {"Format", 2}, {"Now", 0},     {"DialogDate", 0}, {"Sum", 1},        {"Chr", 1}};

class TParser {
 public:
  TParser(const std::string& text, std::size_t pos) : text_(text), pos_(pos) {}

  NodePtr Expression() {
    NodePtr left = Unary();
    for (;;) {
      SkipBlanks();
      if (pos_ >= text_.size() || (text_[pos_] != '+' && text_[pos_] != '-')) return left;
      auto node = std::make_shared<Node>();
      node->kind = text_[pos_++] == '+' ? Node::Add : Node::Subtract;
      node->args = {left, Unary()};
      left = node;
    }
  }
  std::size_t Position() {
    SkipBlanks();
    return pos_;
  }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  [[noreturn]] void Fail(const std::string& what) const {
    throw EReportError("выражение \"" + text_ + "\", позиция " + std::to_string(pos_ + 1) + ": " +
                       what);
  }
  bool Take(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  NodePtr Unary() {
    if (Take('-')) {
      auto node = std::make_shared<Node>();
      node->kind = Node::Negate;
      node->args = {Unary()};
      return node;
    }
    return Primary();
  }

  NodePtr Primary() {
    SkipBlanks();
    if (pos_ >= text_.size()) Fail("выражение не закончено");
    const char c = text_[pos_];
    if (Take('(')) {
      NodePtr inner = Expression();
      if (!Take(')')) Fail("нет закрывающей скобки");
      return inner;
    }
    auto node = std::make_shared<Node>();
    if (std::isdigit(static_cast<unsigned char>(c))) {
      std::size_t end = pos_;
      while (end < text_.size() && std::isdigit(static_cast<unsigned char>(text_[end]))) ++end;
      const bool fraction = end + 1 < text_.size() && text_[end] == '.' &&
                            std::isdigit(static_cast<unsigned char>(text_[end + 1]));
      if (fraction) {
        ++end;
        while (end < text_.size() && std::isdigit(static_cast<unsigned char>(text_[end]))) ++end;
        node->value = Variant::FromFloat(ParseNumber(text_.substr(pos_, end - pos_)));
      } else {
        std::int64_t v = 0;
        if (end - pos_ > 18 || !TryStrToInt64(text_.substr(pos_, end - pos_), v))
          Fail("слишком большое число");
        node->value = Variant::FromInteger(v, varInt64);
      }
      pos_ = end;
      return node;
    }
    if (c == '\'') {
      std::string s;
      for (++pos_;; ++pos_) {
        if (pos_ >= text_.size()) Fail("нет закрывающего апострофа");
        if (text_[pos_] == '\'') {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
            s += '\'';
            ++pos_;
            continue;
          }
          ++pos_;
          break;
        }
        s += text_[pos_];
      }
      node->value = Variant::FromString(s);
      return node;
    }
    if (!std::isalpha(static_cast<unsigned char>(c)) && c != '_') Fail("непонятный знак");
    std::size_t end = pos_;
    while (end < text_.size() &&
           (std::isalnum(static_cast<unsigned char>(text_[end])) || text_[end] == '_'))
      ++end;
    node->name = text_.substr(pos_, end - pos_);
    pos_ = end;
    if (!Take('(')) {
      node->kind = Node::Name;
      return node;
    }
    node->kind = Node::Call;
    const TFunction* function = nullptr;
    for (const TFunction& f : kFunctions)
      if (strcasecmp(f.name, node->name.c_str()) == 0) function = &f;
    if (!function) Fail("неизвестная функция " + node->name);
    node->name = function->name;
    if (!Take(')')) {
      do node->args.push_back(Expression());
      while (Take(','));
      if (!Take(')')) Fail("нет закрывающей скобки");
    }
    if (node->args.size() != function->arity)
      Fail("функции " + node->name + " нужно аргументов: " + std::to_string(function->arity));
    return node;
  }

  const std::string& text_;
  std::size_t pos_;
};

std::string GroupDigits(std::string digits, const std::string& separator) {
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
    digits.insert(static_cast<std::size_t>(i), separator);
  return digits;
}

std::string NumberText(const Variant& value, int decimals, const TFormatSettings& fs) {
  std::string sign, whole, fraction;
  if (value.IsInteger()) {
    const std::int64_t v = value.AsInt64();
    // Through unsigned, so the lowest value has a magnitude too.
    const std::uint64_t magnitude =
        v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    sign = v < 0 ? "-" : "";
    whole = std::to_string(magnitude);
    fraction = std::string(static_cast<std::size_t>(decimals), '0');
  } else {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value.AsDouble(fs));
    std::string text = buf;
    if (text[0] == '-') {
      sign = "-";
      text.erase(0, 1);
    }
    const std::size_t dot = text.find('.');
    whole = text.substr(0, dot);
    fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  }
  return sign + GroupDigits(whole, fs.ThousandSeparator) + (fraction.empty() ? "" : "," + fraction);
}

class TEvaluator {
 public:
  TEvaluator(const TExpressionScope& scope, const std::string& text) : scope_(scope), text_(text) {}

  Variant Eval(const Node& n) const {
    switch (n.kind) {
      case Node::Literal:
        return n.value;
      case Node::Name:
        return scope_.Value(n.name);
      case Node::Negate:
        return Arithmetic(false, Variant::FromInteger(0, varInt64), Eval(*n.args[0]));
      case Node::Add:
      case Node::Subtract:
        return Arithmetic(n.kind == Node::Add, Eval(*n.args[0]), Eval(*n.args[1]));
      case Node::Call:
        return Call(n);
    }
    return {};
  }

 private:
  const TFormatSettings& Fs() const { return scope_.FormatSettings(); }

  Variant Arithmetic(bool add, const Variant& a, const Variant& b) const {
    if (add && (a.IsText() || b.IsText()))
      return Variant::FromString(DisplayText(a, Fs()) + DisplayText(b, Fs()));
    if (a.IsNull() || b.IsNull()) return Variant::Null();
    return AddNumbers(a, b, add ? 1 : -1, Fs());
  }

  Variant Call(const Node& n) const {
    const std::string& f = n.name;
    if (f == "Now") return Variant::FromDate(scope_.Now());
    if (f == "DialogDate") return Variant::FromDate(scope_.DialogDate());
    if (f == "Sum") return scope_.Sum(TExpression(n.args[0], text_));
    std::vector<Variant> a;
    for (const NodePtr& arg : n.args) a.push_back(Eval(*arg));
    if (f == "YearOf" || f == "MonthOf" || f == "DayOf") {
      if (a[0].IsNull()) return a[0];
      const TCalendarDateTime c = DecodeDateTime(a[0].AsDate(Fs()));
      return Variant::FromInteger(f == "YearOf" ? c.year : f == "MonthOf" ? c.month : c.day);
    }
    if (f == "EncodeDate") {
      const std::int64_t y = a[0].AsInt64(), m = a[1].AsInt64(), d = a[2].AsInt64();
      if (y > 9999 || m > 12 || d > 31 ||
          !IsValidDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)))
        throw EReportError("неверная дата");
      return Variant::FromDate(
          EncodeDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)));
    }
    if (f == "FormatDateTime") {
      if (a[1].IsNull()) return Variant::FromString("");
      return Variant::FromString(FormatDateTime(a[0].AsString(Fs()), a[1].AsDate(Fs()), Fs()));
    }
    if (f == "Format") return Variant::FromString(FormatValue(a[0].AsString(Fs()), a[1], Fs()));
    // Chr
    const std::int64_t code = a[0].AsInt64();
    if (code < 1 || code > 127) throw EReportError("Chr: код вне 1..127");
    return Variant::FromString(std::string(1, static_cast<char>(code)));
  }

  const TExpressionScope& scope_;
  const std::string& text_;
};

}  // namespace

TExpression::TExpression(std::shared_ptr<const Node> root, std::string text)
    : root_(std::move(root)), text_(std::move(text)) {}

TExpression TExpression::Parse(const std::string& text) {
  std::size_t pos = 0;
  TExpression e = ParseAt(text, pos);
  if (pos != text.size())
    throw EReportError("выражение \"" + text + "\", позиция " + std::to_string(pos + 1) +
                       ": лишний текст");
  return e;
}

TExpression TExpression::ParseAt(const std::string& text, std::size_t& pos) {
  const std::size_t start = pos;
  TParser parser(text, pos);
  NodePtr root = parser.Expression();
  pos = parser.Position();
  return TExpression(std::move(root), text.substr(start, pos - start));
}

Variant TExpression::Evaluate(const TExpressionScope& scope) const {
  if (!root_) return Variant::Null();
  try {
    return TEvaluator(scope, text_).Eval(*root_);
  } catch (const EReportError& e) {
    const std::string what = e.what();
    if (what.rfind("выражение ", 0) == 0) throw;  // already names the innermost expression
    throw EReportError("выражение \"" + text_ + "\": " + what);
  } catch (const EVariantError& e) {
    throw EReportError("выражение \"" + text_ + "\": " + e.what());
  }
}

TTextTemplate TTextTemplate::Parse(const std::string& text) {
  TTextTemplate t;
  std::size_t pos = 0;
  std::string literal;
  while (pos < text.size()) {
    if (text[pos] != '[') {
      literal += text[pos++];
      continue;
    }
    if (!literal.empty()) t.parts_.push_back({std::move(literal), nullptr});
    literal.clear();
    ++pos;
    auto e = std::make_shared<TExpression>(TExpression::ParseAt(text, pos));
    if (pos >= text.size() || text[pos] != ']')
      throw EReportError("текст \"" + text + "\": нет закрывающей ]");
    ++pos;
    t.parts_.push_back({"", std::move(e)});
  }
  if (!literal.empty()) t.parts_.push_back({std::move(literal), nullptr});
  return t;
}

std::string TTextTemplate::Evaluate(const TExpressionScope& scope) const {
  std::string out;
  for (const Part& p : parts_)
    out += p.Expression ? DisplayText(p.Expression->Evaluate(scope), scope.FormatSettings())
                        : p.Literal;
  return out;
}

Variant AddNumbers(const Variant& a, const Variant& b, int sign, const TFormatSettings& fs) {
  if (a.IsInteger() && b.IsInteger()) {
    std::int64_t sum = 0;
    if (sign > 0 ? __builtin_add_overflow(a.AsInt64(), b.AsInt64(), &sum)
                 : __builtin_sub_overflow(a.AsInt64(), b.AsInt64(), &sum))
      throw EReportError("переполнение");
    return Variant::FromInteger(sum, varInt64);
  }
  return Variant::FromFloat(a.AsDouble(fs) + sign * b.AsDouble(fs));
}

std::string DisplayText(const Variant& value, const TFormatSettings& fs) {
  if (value.IsNull() || value.IsEmpty()) return "";
  if (value.Kind() == varDate) return DateTimeToStr(value.AsDate(fs), fs);
  if (value.Kind() == varDouble || value.Kind() == varSingle)
    return FloatToStr(value.AsDouble(fs), fs);
  return value.AsString(fs);
}

std::string FormatValue(const std::string& format, const Variant& value,
                        const TFormatSettings& fs) {
  const std::size_t percent = format.find('%');
  if (percent == std::string::npos) return format;
  std::size_t i = percent + 1;
  auto number = [&] {
    int n = 0;
    while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])) && n < 100)
      n = n * 10 + (format[i++] - '0');
    return n;
  };
  const int width = number();
  int decimals = 2;
  if (i < format.size() && format[i] == '.') {
    ++i;
    decimals = number();
  }
  if (i >= format.size()) throw EReportError("формат \"" + format + "\" не закончен");
  const char type = static_cast<char>(std::tolower(static_cast<unsigned char>(format[i])));
  if (value.IsNull()) return "";  // a sum of nothing but Nulls shows nothing
  std::string text;
  if (type == 'n') {
    text = NumberText(value, decimals, fs);
  } else if (type == 'd') {
    text = std::to_string(value.AsInt64(fs));
  } else if (type == 's') {
    text = DisplayText(value, fs);
  } else {
    throw EReportError("формат \"" + format + "\": неизвестный тип");
  }
  if (static_cast<int>(text.size()) < width)
    text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
  return format.substr(0, percent) + text + format.substr(i + 1);
}

}  // namespace corvina
