#include "framework/FormatSettings.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace corvina {
namespace {

const std::array<std::string, 12> kEnglishMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

// Turns a strftime pattern of the locale into our pattern letters; the first
// punctuation character met becomes the separator.
std::string FromStrftime(const std::string& f, std::string& separator) {
  std::string out;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%' || i + 1 == f.size()) {
      const bool letter = std::isalpha(static_cast<unsigned char>(f[i]));
      if (separator.empty() && !letter && f[i] != ' ') separator = f[i];
      out += letter ? "\"" + std::string(1, f[i]) + "\"" : std::string(1, f[i]);
      continue;
    }
    char c = f[++i];
    while ((c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0') && i + 1 < f.size())
      c = f[++i];
    switch (c) {
      case 'd':
        out += "dd";
        break;
      case 'e':
        out += "d";
        break;
      case 'm':
        out += "mm";
        break;
      case 'y':
      case 'Y':
        out += "yyyy";
        break;  // four-digit years read back without guessing
      case 'H':
      case 'I':
        out += "hh";
        break;
      case 'k':
      case 'l':
        out += "h";
        break;
      case 'M':
        out += "nn";
        break;
      case 'S':
        out += "ss";
        break;
      case 'T':
        out += "hh:nn:ss";
        if (separator.empty()) separator = ":";
        break;
      case 'R':
        out += "hh:nn";
        if (separator.empty()) separator = ":";
        break;
      case 'D':
        out += "mm/dd/yyyy";
        if (separator.empty()) separator = "/";
        break;
      case 'F':
        out += "yyyy-mm-dd";
        if (separator.empty()) separator = "-";
        break;
      default:
        break;  // weekday names, AM/PM and the like are left out
    }
  }
  return out;
}

std::string Capitalized(std::string s) {
  if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
  return s;
}

std::string Pad(int value, int width) {
  std::string s = std::to_string(value);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

// Splits text into runs of digits; everything between them must be one of
// the allowed separators or blanks.
bool ReadNumbers(const std::string& text, std::vector<int>& numbers,
                 std::vector<std::string>& gaps) {
  size_t i = 0;
  std::string gap;
  while (i < text.size()) {
    if (std::isdigit(static_cast<unsigned char>(text[i]))) {
      size_t j = i;
      while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
      if (j - i > 9) return false;
      numbers.push_back(std::atoi(text.substr(i, j - i).c_str()));
      gaps.push_back(gap);
      gap.clear();
      i = j;
    } else {
      gap += text[i++];
    }
  }
  return gap.empty();
}

}  // namespace

TFormatSettings TFormatSettings::FromLocale() {
  TFormatSettings fs;
  locale_t loc = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
  if (!loc) loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (!loc) return fs;
  auto info = [&](nl_item item) { return std::string(nl_langinfo_l(item, loc)); };
  if (!info(RADIXCHAR).empty()) fs.DecimalSeparator = info(RADIXCHAR);
  // The C locale has no grouping; a blank keeps large counts readable.
  fs.ThousandSeparator = info(THOUSEP).empty() ? " " : info(THOUSEP);
  if (fs.ThousandSeparator == fs.DecimalSeparator) fs.ThousandSeparator = " ";
  std::string dateSep, timeSep;
  fs.ShortDateFormat = FromStrftime(info(D_FMT), dateSep);
  fs.LongTimeFormat = FromStrftime(info(T_FMT), timeSep);
  fs.DateSeparator = dateSep.empty() ? "/" : dateSep;
  fs.TimeSeparator = timeSep.empty() ? ":" : timeSep;
  if (fs.ShortDateFormat.find('d') == std::string::npos) fs.ShortDateFormat = "yyyy-mm-dd";
  if (fs.LongTimeFormat.find('h') == std::string::npos) fs.LongTimeFormat = "hh:nn:ss";
  for (int m = 0; m < 12; ++m) {
#ifdef ALTMON_1
    std::string name = info(ALTMON_1 + m);  // nominative form where the language has cases
#else
    std::string name = info(MON_1 + m);
#endif
    fs.LongMonthNames[static_cast<size_t>(m)] =
        name.empty() ? kEnglishMonths[static_cast<size_t>(m)] : Capitalized(name);
  }
  freelocale(loc);
  return fs;
}

TFormatSettings TFormatSettings::Russian() {
  TFormatSettings fs;
  fs.DecimalSeparator = ",";
  fs.ThousandSeparator = " ";
  fs.DateSeparator = ".";
  fs.TimeSeparator = ":";
  fs.ShortDateFormat = "dd.mm.yyyy";
  fs.LongTimeFormat = "hh:nn:ss";
  fs.LongMonthNames = {"Январь", "Февраль", "Март",     "Апрель",  "Май",    "Июнь",
                       "Июль",   "Август",  "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};
  return fs;
}

const TFormatSettings& DefaultFormatSettings() {
  static const TFormatSettings settings = TFormatSettings::FromLocale();
  return settings;
}

std::string FormatDateTime(const std::string& format, TDateTime value, const TFormatSettings& fs) {
  const TCalendarDateTime c = DecodeDateTime(value);
  std::string out;
  bool afterHour = false;  // "mm" right after an hour means minutes
  size_t i = 0;
  auto run = [&](char ch) {
    size_t n = 0;
    while (i + n < format.size() && std::tolower(static_cast<unsigned char>(format[i + n])) == ch)
      ++n;
    return n;
  };
  while (i < format.size()) {
    const char ch = static_cast<char>(std::tolower(static_cast<unsigned char>(format[i])));
    if (format[i] == '"' || format[i] == '\'') {
      const char quote = format[i];
      size_t end = format.find(quote, i + 1);
      if (end == std::string::npos) end = format.size();
      out += format.substr(i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    size_t n = run(ch);
    switch (ch) {
      case 'd':
        out += Pad(c.day, n >= 2 ? 2 : 1);
        break;
      case 'm':
        if (afterHour && n <= 2)
          out += Pad(c.minute, n == 2 ? 2 : 1);
        else if (n >= 3)
          out += fs.LongMonthNames[static_cast<size_t>(c.month - 1)];
        else
          out += Pad(c.month, n);
        break;
      case 'y':
        out += n <= 2 ? Pad(c.year % 100, 2) : Pad(c.year, 4);
        break;
      case 'h':
        out += Pad(c.hour, n >= 2 ? 2 : 1);
        break;
      case 'n':
        out += Pad(c.minute, n >= 2 ? 2 : 1);
        break;
      case 's':
        out += Pad(c.second, n >= 2 ? 2 : 1);
        break;
      case 'z':
        out += Pad(c.millisecond, n >= 3 ? 3 : 1);
        break;
      case '/':
        out += fs.DateSeparator;
        n = 1;
        break;
      case ':':
        out += fs.TimeSeparator;
        n = 1;
        break;
      default:
        out += format[i];
        n = 1;
        break;
    }
    if (ch == 'h')
      afterHour = true;
    else if (ch != ':' && ch != ' ' && ch != '/')
      afterHour = false;
    i += n;
  }
  return out;
}

std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs) {
  const TCalendarDateTime c = DecodeDateTime(value);
  std::string text = FormatDateTime(fs.ShortDateFormat, value, fs);
  if (c.hour || c.minute || c.second || c.millisecond)
    text += " " + FormatDateTime(fs.LongTimeFormat, value, fs);
  return text;
}

std::optional<TDateTime> TryStrToDateTime(const std::string& input, const TFormatSettings& fs) {
  const std::string text = Trim(input);
  std::vector<int> n;
  std::vector<std::string> gaps;
  if (text.empty() || !ReadNumbers(text, n, gaps) ||
      (n.size() != 3 && (n.size() < 5 || n.size() > 7)))
    return std::nullopt;
  // The order of day, month and year follows the short date pattern.
  std::string order;
  for (char ch : fs.ShortDateFormat) {
    const char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if ((lc == 'd' || lc == 'm' || lc == 'y') && order.find(lc) == std::string::npos) order += lc;
  }
  if (order.size() != 3) order = "dmy";
  const std::string trimmedDateSep = Trim(fs.DateSeparator);
  for (size_t k = 1; k < 3; ++k)
    if (Trim(gaps[k]) != trimmedDateSep) return std::nullopt;
  int year = 0, month = 0, day = 0;
  for (size_t k = 0; k < 3; ++k) {
    if (order[k] == 'd') day = n[k];
    if (order[k] == 'm') month = n[k];
    if (order[k] == 'y') year = n[k] < 100 ? 2000 + n[k] : n[k];
  }
  if (!IsValidDate(year, month, day)) return std::nullopt;
  int hour = 0, minute = 0, second = 0, ms = 0;
  if (n.size() > 3) {
    if (Trim(gaps[3]) != "") return std::nullopt;
    if (Trim(gaps[4]) != Trim(fs.TimeSeparator)) return std::nullopt;
    hour = n[3];
    minute = n[4];
    if (n.size() > 5) {
      if (Trim(gaps[5]) != Trim(fs.TimeSeparator)) return std::nullopt;
      second = n[5];
    }
    if (n.size() > 6) {
      if (gaps[6] != "." && gaps[6] != fs.DecimalSeparator) return std::nullopt;
      ms = n[6];
    }
  }
  if (!IsValidTime(hour, minute, second, ms)) return std::nullopt;
  return EncodeDateTime({year, month, day, hour, minute, second, ms});
}

std::string FloatToStr(double value, const TFormatSettings& fs) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char buf[64];
  const double magnitude = std::fabs(value);
  if (magnitude != 0 && (magnitude < 1e-5 || magnitude >= 1e15)) {
    std::snprintf(buf, sizeof buf, "%.14E", value);
    std::string s = buf;
    const size_t e = s.find('E');
    std::string mantissa = s.substr(0, e);
    int exponent = std::atoi(s.c_str() + e + 1);
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
    std::string out = mantissa;
    const size_t dot = out.find('.');
    if (dot != std::string::npos) out.replace(dot, 1, fs.DecimalSeparator);
    return out + "E" + std::to_string(exponent);
  }
  std::snprintf(buf, sizeof buf, "%.15g", value);
  std::string out = buf;
  const size_t dot = out.find('.');
  if (dot != std::string::npos) out.replace(dot, 1, fs.DecimalSeparator);
  return out;
}

std::optional<double> TryStrToFloat(const std::string& input, const TFormatSettings& fs) {
  std::string text = Trim(input);
  if (text.empty()) return std::nullopt;
  if (fs.DecimalSeparator != ".") {
    if (text.find('.') != std::string::npos) return std::nullopt;
    const size_t sep = text.find(fs.DecimalSeparator);
    if (sep != std::string::npos) text.replace(sep, fs.DecimalSeparator.size(), ".");
  }
  if (text[0] == '+') text.erase(0, 1);
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

std::string FormatGrouped(double value, int decimals, const TFormatSettings& fs) {
  // printf rounds an exact half to even (1.25 -> "1.2"); the regional number
  // format rounds it away from zero (1.25 -> "1,3").
  const double scale = std::pow(10.0, decimals);
  const double rounded = std::round(value * scale) / scale;
  // to_chars, not printf: the Qt program runs in the user's locale, where
  // printf may already write a decimal comma.
  char buf[400];  // room for the largest double in fixed notation
  const auto end =
      std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed, decimals).ptr;
  std::string digits(buf, end);
  std::string sign;
  if (!digits.empty() && digits[0] == '-') {
    sign = "-";
    digits.erase(0, 1);
  }
  const size_t dot = digits.find('.');
  std::string whole = digits.substr(0, dot);
  const std::string fraction = dot == std::string::npos ? "" : digits.substr(dot + 1);
  std::string grouped;
  for (size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) grouped += fs.ThousandSeparator;
    grouped += whole[i];
  }
  return sign + grouped + (fraction.empty() ? "" : fs.DecimalSeparator + fraction);
}

}  // namespace corvina
