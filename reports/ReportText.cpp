#include "reports/ReportText.h"

#include <charconv>
#include <cmath>

namespace corvina {
std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

bool TLineReader::NextRaw(std::string& line) {
  if (!std::getline(in_, line)) return false;
  ++lineNumber_;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool TLineReader::Next(std::string& line) {
  while (NextRaw(line)) {
    line = Trim(line);
    if (!line.empty() && line[0] != ';') return true;
  }
  return false;
}

void TLineReader::Fail(const std::string& what) const {
  throw EReportError("строка " + std::to_string(lineNumber_) + ": " + what);
}

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    std::string word;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
      if (line[i] != '"') {
        word += line[i++];
        continue;
      }
      ++i;
      for (;;) {
        if (i >= line.size()) throw EReportError("нет закрывающей кавычки");
        const char c = line[i++];
        if (c == '"') break;
        if (c == '\\' && i < line.size()) {
          const char e = line[i++];
          word += e == 'n' ? '\n' : e;
        } else {
          word += c;
        }
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::string Quoted(const std::string& value) {
  std::string out = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\')
      out += {'\\', c};
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out + '"';
}

void SplitOption(const std::string& word, std::string& key, std::string& value) {
  const std::size_t eq = word.find('=');
  key = word.substr(0, eq);
  value = eq == std::string::npos ? "" : word.substr(eq + 1);
}

double ParseNumber(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value))
    throw EReportError("не число: " + text);
  return value;
}

std::string FormatNumber(double value) {
  char buf[32];
  const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return ec == std::errc() ? std::string(buf, ptr) : "0";
}

}  // namespace corvina
