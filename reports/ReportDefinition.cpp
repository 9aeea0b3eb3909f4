#include "reports/ReportDefinition.h"

#include <strings.h>

#include <algorithm>
#include <utility>

#include "reports/ReportText.h"

namespace corvina {
namespace {

constexpr std::pair<const char*, TBandKind> kBandNames[] = {
    {"title", TBandKind::Title},
    {"groupheader", TBandKind::GroupHeader},
    {"detail", TBandKind::Detail},
    {"groupfooter", TBandKind::GroupFooter},
    {"reportfooter", TBandKind::ReportFooter},
    {"pagefooter", TBandKind::PageFooter}};

constexpr double kTolerance = 1e-6;

class TLoader {
 public:
  explicit TLoader(std::istream& in) : reader_(in) {}

  TReportDefinition Load() {
    std::string line;
    while (reader_.Next(line)) {
      try {
        Statement(line);
      } catch (const EReportError& e) {
        reader_.Fail(e.what());
      }
    }
    Check();
    return std::move(d_);
  }

 private:
  void Statement(const std::string& line) {
    const std::string word = line.substr(0, line.find(' '));
    if (word == "var" || word == "param") {
      Named(word == "var" ? d_.Variables : d_.Parameters, line.substr(word.size()));
      return;
    }
    if (word == "query" || word == "totalsquery") {
      if (line != word) throw EReportError("после " + word + " ничего не пишется");
      std::string& target = word == "query" ? d_.Query : d_.TotalsQuery;
      if (!target.empty()) throw EReportError(word + " уже задан");
      target = Block();
      if (target.empty()) throw EReportError("пустой " + word);
      return;
    }
    std::vector<std::string> words = SplitWords(line);
    words.erase(words.begin());
    if (word == "dialog")
      Dialog(words);
    else if (word == "page")
      Page(words);
    else if (word == "band")
      Band(words);
    else if (word == "cell")
      Cell(words);
    else
      throw EReportError("неизвестная инструкция " + word);
  }

  void Named(std::vector<TNamedExpression>& list, const std::string& rest) {
    const std::size_t eq = rest.find('=');
    if (eq == std::string::npos) throw EReportError("нет знака =");
    const std::vector<std::string> names = SplitWords(rest.substr(0, eq));
    if (names.size() != 1) throw EReportError("перед = нужно одно имя");
    for (const TNamedExpression& n : list)
      if (strcasecmp(n.Name.c_str(), names[0].c_str()) == 0)
        throw EReportError("имя " + names[0] + " уже задано");
    list.push_back({names[0], TExpression::Parse(Trim(rest.substr(eq + 1)))});
  }

  std::string Block() {
    std::string text, line;
    while (reader_.NextRaw(line)) {
      if (Trim(line) == "end") return text;
      if (!text.empty()) text += "\r\n";
      text += line;
    }
    throw EReportError("нет строки end");
  }

  void Dialog(const std::vector<std::string>& words) {
    TReportDialog dialog;
    for (const std::string& w : words) {
      std::string key, value;
      SplitOption(w, key, value);
      if (key == "caption")
        dialog.Caption = value;
      else if (key == "label")
        dialog.Label = value;
      else
        throw EReportError("неизвестный параметр диалога: " + key);
    }
    d_.Dialog = dialog;
  }

  void Page(const std::vector<std::string>& words) {
    for (const std::string& w : words) {
      std::string key, value;
      SplitOption(w, key, value);
      const double v = ParseNumber(value);
      if (key == "width")
        d_.PageWidth = v;
      else if (key == "height")
        d_.PageHeight = v;
      else if (key == "margin")
        d_.Margin = v;
      else
        throw EReportError("неизвестный параметр страницы: " + key);
    }
    if (d_.Margin < 0 || d_.PageWidth <= 2 * d_.Margin || d_.PageHeight <= 2 * d_.Margin)
      throw EReportError("на странице не остается места");
  }

  void Band(const std::vector<std::string>& words) {
    if (words.empty()) throw EReportError("не указан вид полосы");
    const TBandKind* kind = nullptr;
    for (const auto& [name, k] : kBandNames)
      if (words[0] == name) kind = &k;
    if (!kind) throw EReportError("неизвестный вид полосы: " + words[0]);
    auto& slot = d_.Bands[static_cast<std::size_t>(*kind)];
    if (slot) throw EReportError("полоса " + words[0] + " уже задана");
    TBand band;
    for (std::size_t i = 1; i < words.size(); ++i) {
      std::string key, value;
      SplitOption(words[i], key, value);
      if (key == "height")
        band.Height = ParseNumber(value);
      else if (key == "group" && *kind == TBandKind::GroupHeader)
        band.Group = TExpression::Parse(value);
      else if (key == "keeptogether" && *kind == TBandKind::GroupHeader)
        band.KeepTogether = true;
      else if (key == "outline" && *kind == TBandKind::GroupHeader)
        band.Outline = TTextTemplate::Parse(value);
      else
        throw EReportError("неизвестный параметр полосы: " + key);
    }
    if (band.Height <= 0) throw EReportError("у полосы нет высоты");
    if (*kind == TBandKind::GroupHeader && !band.Group)
      throw EReportError("у заголовка группы нет условия group=");
    slot = std::move(band);
    current_ = &*slot;
  }

  void Cell(const std::vector<std::string>& words) {
    if (!current_) throw EReportError("ячейка вне полосы");
    TBandCell cell{ParseCell(words), {}};
    const TPageCell& c = cell.Cell;
    if (c.X < 0 || c.Y < 0 || c.X + c.Width > d_.PageWidth - 2 * d_.Margin + kTolerance ||
        c.Y + c.Height > current_->Height + kTolerance)
      throw EReportError("ячейка выходит за полосу");
    cell.Text = TTextTemplate::Parse(c.Text);
    current_->Cells.push_back(std::move(cell));
  }

  void Check() {
    if (d_.Query.empty()) throw EReportError("в описании нет запроса (query)");
    if (!d_.Band(TBandKind::Detail)) throw EReportError("в описании нет полосы detail");
    if (d_.Band(TBandKind::GroupFooter) && !d_.Band(TBandKind::GroupHeader))
      throw EReportError("у полосы groupfooter нет заголовка группы");
    double tallest = 0;
    for (const auto& band : d_.Bands)
      if (band) tallest = std::max(tallest, band->Height);
    const double footer =
        d_.Band(TBandKind::PageFooter) ? d_.Band(TBandKind::PageFooter)->Height : 0;
    if (tallest + footer > d_.PageHeight - 2 * d_.Margin)
      throw EReportError("полоса не помещается на странице");
  }

  TLineReader reader_;
  TReportDefinition d_;
  TBand* current_ = nullptr;
};

}  // namespace

TReportDefinition LoadReportDefinition(std::istream& in) { return TLoader(in).Load(); }

}  // namespace corvina
