#include "reports/ReportLayout.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "reports/ReportText.h"

namespace corvina {
namespace {

constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);
constexpr double kTolerance = 1e-6;
constexpr int kMaxVariableDepth = 32;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Names mean, in this order: the page numbers (in a page footer), the
// current row's columns, the definition's variables.
class TBandScope : public TExpressionScope {
 public:
  TBandScope(const TReportDefinition& d, const TReportData& data,
             const std::map<std::string, std::size_t>& columns, const TReportMoment& moment)
      : d_(d), data_(data), columns_(columns), moment_(moment), last_(data.Rows.size()) {}

  // The current row, and the rows a Sum covers.
  void SetRows(std::size_t row, std::size_t first, std::size_t last) {
    row_ = row;
    first_ = first;
    last_ = last;
  }
  void SetPage(int page, int pages) {
    page_ = page;
    pages_ = pages;
  }

  Variant Value(const std::string& name) const override {
    if (page_ > 0 && strcasecmp(name.c_str(), "Page") == 0) return Variant::FromInteger(page_);
    if (page_ > 0 && strcasecmp(name.c_str(), "TotalPages") == 0)
      return Variant::FromInteger(pages_);
    const auto column = columns_.find(Upper(name));
    if (column != columns_.end())
      return row_ == kNoRow ? Variant::Null() : data_.Rows[row_][column->second];
    for (const TNamedExpression& v : d_.Variables) {
      if (strcasecmp(v.Name.c_str(), name.c_str()) != 0) continue;
      if (depth_ >= kMaxVariableDepth)
        throw EReportError("переменная " + name + " ссылается на себя");
      ++depth_;
      try {
        Variant value = v.Value.Evaluate(*this);
        --depth_;
        return value;
      } catch (...) {
        --depth_;
        throw;
      }
    }
    throw EReportError("неизвестное имя " + name);
  }

  Variant Sum(const TExpression& operand) const override {
    TBandScope row(*this);
    Variant sum = Variant::FromInteger(0, varInt64);
    for (std::size_t r = first_; r < last_; ++r) {
      row.row_ = r;
      const Variant v = operand.Evaluate(row);
      if (!v.IsNull()) sum = AddNumbers(sum, v, 1, *moment_.Settings);
    }
    return sum;
  }

  TDateTime DialogDate() const override { return moment_.DialogDate; }
  TDateTime Now() const override { return moment_.Now; }
  const TFormatSettings& FormatSettings() const override { return *moment_.Settings; }

 private:
  const TReportDefinition& d_;
  const TReportData& data_;
  const std::map<std::string, std::size_t>& columns_;
  const TReportMoment& moment_;
  std::size_t row_ = kNoRow, first_ = 0, last_;
  int page_ = 0, pages_ = 0;
  mutable int depth_ = 0;
};

class TLayout {
 public:
  TLayout(const TReportDefinition& d, const TReportData& data, const TReportMoment& moment)
      : d_(d), data_(data), scope_(d, data, columns_, moment) {
    for (std::size_t i = 0; i < data.Columns.size(); ++i) columns_[Upper(data.Columns[i])] = i;
    for (const auto& row : data.Rows)
      if (row.size() != data.Columns.size()) throw EReportError("строка запроса не той длины");
    report_.PageWidth = d.PageWidth;
    report_.PageHeight = d.PageHeight;
    const auto& pageFooter = d.Band(TBandKind::PageFooter);
    bottom_ = d.PageHeight - d.Margin - (pageFooter ? pageFooter->Height : 0);
  }

  TPreparedReport Run() {
    const std::size_t rows = data_.Rows.size();
    NewPage();
    scope_.SetRows(rows ? 0 : kNoRow, 0, rows);
    Place(TBandKind::Title);
    for (const TPageCell& cell : report_.Pages[0].Cells)
      if (report_.Title.empty()) report_.Title = cell.Text;
    std::replace(report_.Title.begin(), report_.Title.end(), '\n', ' ');
    for (std::size_t first = 0; first < rows;) {
      const std::size_t last = GroupEnd(first);
      Group(first, last);
      first = last;
    }
    scope_.SetRows(rows ? rows - 1 : kNoRow, 0, rows);
    Room(Height(TBandKind::ReportFooter));
    Place(TBandKind::ReportFooter);
    PageFooters();
    return std::move(report_);
  }

 private:
  double Height(TBandKind kind) const {
    const auto& band = d_.Band(kind);
    return band ? band->Height : 0;
  }
  bool Fits(double height) const { return y_ + height <= bottom_ + kTolerance; }
  bool PageEmpty() const { return y_ <= d_.Margin + kTolerance; }
  void NewPage() {
    report_.Pages.emplace_back();
    y_ = d_.Margin;
  }
  // A new page unless the band fits here; a band taller than a page is
  // placed on an empty one all the same.
  void Room(double height) {
    if (!Fits(height) && !PageEmpty()) NewPage();
  }

  void Place(TBandKind kind) {
    const auto& band = d_.Band(kind);
    if (!band) return;
    PlaceAt(*band, y_, report_.Pages.back());
    y_ += band->Height;
  }
  void PlaceAt(const TBand& band, double y, TPreparedPage& page) {
    for (const TBandCell& source : band.Cells) {
      TPageCell cell = source.Cell;
      cell.X += d_.Margin;
      cell.Y += y;
      cell.Text = source.Text.Evaluate(scope_);
      page.Cells.push_back(std::move(cell));
    }
  }

  // Rows [first, end) share the group expression's value.
  std::size_t GroupEnd(std::size_t first) {
    const auto& header = d_.Band(TBandKind::GroupHeader);
    if (!header) return data_.Rows.size();
    scope_.SetRows(first, first, first + 1);
    const Variant key = header->Group->Evaluate(scope_);
    std::size_t end = first + 1;
    for (; end < data_.Rows.size(); ++end) {
      scope_.SetRows(end, end, end + 1);
      if (!(header->Group->Evaluate(scope_) == key)) break;
    }
    return end;
  }

  void Group(std::size_t first, std::size_t last) {
    const auto& header = d_.Band(TBandKind::GroupHeader);
    const double detail = Height(TBandKind::Detail);
    const double whole = Height(TBandKind::GroupHeader) +
                         static_cast<double>(last - first) * detail +
                         Height(TBandKind::GroupFooter);
    if (header && header->KeepTogether && !Fits(whole) && whole <= bottom_ - d_.Margin + kTolerance)
      Room(whole);
    Room(Height(TBandKind::GroupHeader) + detail);
    scope_.SetRows(first, first, last);
    if (header && header->Outline)
      report_.Outline.push_back(
          {header->Outline->Evaluate(scope_), static_cast<int>(report_.Pages.size()) - 1, y_});
    Place(TBandKind::GroupHeader);
    for (std::size_t row = first; row < last; ++row) {
      Room(detail);
      scope_.SetRows(row, first, last);
      Place(TBandKind::Detail);
    }
    scope_.SetRows(last - 1, first, last);
    Room(Height(TBandKind::GroupFooter));
    Place(TBandKind::GroupFooter);
  }

  void PageFooters() {
    const auto& footer = d_.Band(TBandKind::PageFooter);
    if (!footer) return;
    const int pages = static_cast<int>(report_.Pages.size());
    scope_.SetRows(kNoRow, 0, data_.Rows.size());
    for (int page = 0; page < pages; ++page) {
      scope_.SetPage(page + 1, pages);
      PlaceAt(*footer, bottom_, report_.Pages[static_cast<std::size_t>(page)]);
    }
  }

  const TReportDefinition& d_;
  const TReportData& data_;
  std::map<std::string, std::size_t> columns_;
  TBandScope scope_;
  TPreparedReport report_;
  double y_ = 0, bottom_ = 0;
};

}  // namespace

TQueryParameters EvaluateParameters(const TReportDefinition& definition,
                                    const TReportMoment& moment) {
  const TReportData none;
  const std::map<std::string, std::size_t> noColumns;
  TBandScope scope(definition, none, noColumns, moment);
  TQueryParameters parameters;
  for (const TNamedExpression& p : definition.Parameters)
    parameters.emplace_back(p.Name, p.Value.Evaluate(scope));
  return parameters;
}

TPreparedReport LayoutReport(const TReportDefinition& definition, const TReportData& data,
                             const TReportMoment& moment) {
  return TLayout(definition, data, moment).Run();
}

}  // namespace corvina
