#include "reports/PageModel.h"

#include <cmath>
#include <cstdio>

#include "reports/ReportText.h"

namespace corvina {
namespace {

constexpr const char* kHeader = "CORVINA PREPARED REPORT 1";
constexpr const char* kFrameLetters = "LTRB";

int ColorPart(const std::string& text) {
  const double v = ParseNumber(text);
  if (v < 0 || v > 255 || v != std::floor(v)) throw EReportError("не цвет: " + text);
  return static_cast<int>(v);
}

TRgb ParseRgb(const std::string& text) {
  const std::size_t a = text.find(','), b = text.find(',', a + 1);
  if (a == std::string::npos || b == std::string::npos) throw EReportError("не цвет: " + text);
  return {ColorPart(text.substr(0, a)), ColorPart(text.substr(a + 1, b - a - 1)),
          ColorPart(text.substr(b + 1))};
}

unsigned ParseFrame(const std::string& text) {
  unsigned frame = 0;
  for (char c : text) {
    const char* at = std::char_traits<char>::find(kFrameLetters, 4, c);
    if (!at) throw EReportError("не рамка: " + text);
    frame |= 1u << (at - kFrameLetters);
  }
  return frame;
}

template <typename T>
T Choice(const std::string& text, std::initializer_list<std::pair<const char*, T>> choices) {
  for (const auto& [name, value] : choices)
    if (text == name) return value;
  throw EReportError("неизвестное значение: " + text);
}

double NonNegative(const std::string& text) {
  const double v = ParseNumber(text);
  if (v < 0) throw EReportError("отрицательный размер: " + text);
  return v;
}

}  // namespace

TPageCell ParseCell(const std::vector<std::string>& words) {
  if (words.size() < 4) throw EReportError("у ячейки нет положения и размера");
  TPageCell cell;
  cell.X = ParseNumber(words[0]);
  cell.Y = ParseNumber(words[1]);
  cell.Width = NonNegative(words[2]);
  cell.Height = NonNegative(words[3]);
  for (std::size_t i = 4; i < words.size(); ++i) {
    std::string key, value;
    SplitOption(words[i], key, value);
    TCellStyle& s = cell.Style;
    if (key == "font")
      s.FontName = value;
    else if (key == "size")
      s.FontSize = NonNegative(value);
    else if (key == "bold")
      s.Bold = true;
    else if (key == "align")
      s.HAlign = Choice<THAlign>(
          value, {{"left", THAlign::Left}, {"center", THAlign::Center}, {"right", THAlign::Right}});
    else if (key == "valign")
      s.VAlign = Choice<TVAlign>(
          value, {{"top", TVAlign::Top}, {"middle", TVAlign::Middle}, {"bottom", TVAlign::Bottom}});
    else if (key == "frame")
      s.Frame = ParseFrame(value);
    else if (key == "fill")
      s.Fill = ParseRgb(value);
    else if (key == "text")
      cell.Text = value;
    else
      throw EReportError("неизвестный параметр ячейки: " + key);
  }
  if (cell.Style.FontSize <= 0) throw EReportError("нулевой размер шрифта");
  return cell;
}

std::string FormatCell(const TPageCell& cell) {
  const TCellStyle& s = cell.Style;
  std::string line = "cell " + FormatNumber(cell.X) + " " + FormatNumber(cell.Y) + " " +
                     FormatNumber(cell.Width) + " " + FormatNumber(cell.Height);
  line += " font=" + Quoted(s.FontName) + " size=" + FormatNumber(s.FontSize);
  if (s.Bold) line += " bold";
  line += std::string(" align=") + (s.HAlign == THAlign::Left     ? "left"
                                    : s.HAlign == THAlign::Center ? "center"
                                                                  : "right");
  line += std::string(" valign=") + (s.VAlign == TVAlign::Top      ? "top"
                                     : s.VAlign == TVAlign::Middle ? "middle"
                                                                   : "bottom");
  if (s.Frame) {
    line += " frame=";
    for (int i = 0; i < 4; ++i)
      if (s.Frame & (1u << i)) line += kFrameLetters[i];
  }
  if (s.Fill)
    line += " fill=" + std::to_string(s.Fill->R) + "," + std::to_string(s.Fill->G) + "," +
            std::to_string(s.Fill->B);
  if (!cell.Text.empty()) line += " text=" + Quoted(cell.Text);
  return line;
}

void SavePreparedReport(const TPreparedReport& report, std::ostream& out) {
  out << kHeader << "\n";
  out << "title " << Quoted(report.Title) << "\n";
  out << "page-size " << FormatNumber(report.PageWidth) << " " << FormatNumber(report.PageHeight)
      << "\n";
  for (const TOutlineEntry& e : report.Outline)
    out << "outline " << e.Page << " " << FormatNumber(e.Y) << " " << Quoted(e.Text) << "\n";
  for (const TPreparedPage& page : report.Pages) {
    out << "page\n";
    for (const TPageCell& cell : page.Cells) out << FormatCell(cell) << "\n";
  }
}

TPreparedReport LoadPreparedReport(std::istream& in) {
  TLineReader reader(in);
  std::string line;
  if (!reader.Next(line) || line != kHeader) throw EReportError("это не файл отчета");
  TPreparedReport report;
  report.Pages.clear();
  try {
    while (reader.Next(line)) {
      std::vector<std::string> words = SplitWords(line);
      const std::string statement = words.front();
      words.erase(words.begin());
      if (statement == "title" && words.size() == 1) {
        report.Title = words[0];
      } else if (statement == "page-size" && words.size() == 2) {
        report.PageWidth = NonNegative(words[0]);
        report.PageHeight = NonNegative(words[1]);
        if (report.PageWidth == 0 || report.PageHeight == 0) throw EReportError("пустая страница");
      } else if (statement == "outline" && words.size() == 3) {
        const double page = ParseNumber(words[0]);
        if (page < 0 || page > 1e9 || page != std::floor(page))
          throw EReportError("не номер страницы");
        report.Outline.push_back({words[2], static_cast<int>(page), ParseNumber(words[1])});
      } else if (statement == "page" && words.empty()) {
        report.Pages.emplace_back();
      } else if (statement == "cell" && !report.Pages.empty()) {
        report.Pages.back().Cells.push_back(ParseCell(words));
      } else {
        throw EReportError("непонятная строка");
      }
    }
  } catch (const EReportError& e) {
    reader.Fail(e.what());
  }
  if (report.Pages.empty()) throw EReportError("в отчете нет страниц");
  for (const TOutlineEntry& e : report.Outline)
    if (e.Page >= static_cast<int>(report.Pages.size()))
      throw EReportError("оглавление ссылается на страницу, которой нет");
  return report;
}

}  // namespace corvina
