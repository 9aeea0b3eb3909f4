#pragma once
// A report definition: the optional date dialog, the variables, the query
// with its parameters, and the bands of the page layout. Definitions are
// text (see the files in reports/definitions/) loaded from a stream.

#include <array>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "reports/PageModel.h"
#include "reports/ReportExpression.h"

namespace corvina {

enum class TBandKind { Title, GroupHeader, Detail, GroupFooter, ReportFooter, PageFooter };
inline constexpr std::size_t kBandKinds = 6;

struct TBandCell {
  TPageCell Cell;  // position within the band; its text is the template's source
  TTextTemplate Text;
};

struct TBand {
  double Height = 0;
  std::vector<TBandCell> Cells;
  std::optional<TExpression> Group;  // group header: a new group starts where it changes
  bool KeepTogether = false;         // group header: move the group to a new page if it fits there
  std::optional<TTextTemplate> Outline;  // group header: the group's outline entry
};

struct TReportDialog {
  std::string Caption;
  std::string Label;
};

struct TNamedExpression {
  std::string Name;
  TExpression Value;
};

struct TReportDefinition {
  std::optional<TReportDialog> Dialog;
  // Evaluated where they are named, so a variable may use the current row.
  std::vector<TNamedExpression> Variables;
  // Bound by name to the query's parameters (:Y).
  std::vector<TNamedExpression> Parameters;
  std::string Query;  // as designed, lines joined by CR LF
  // The same result read from the table of hourly totals; empty when there is none.
  std::string TotalsQuery;
  double PageWidth = 210, PageHeight = 297, Margin = 10;
  std::array<std::optional<TBand>, kBandKinds> Bands;

  const std::optional<TBand>& Band(TBandKind kind) const {
    return Bands[static_cast<std::size_t>(kind)];
  }
};

// EReportError naming the line for a definition that is malformed.
TReportDefinition LoadReportDefinition(std::istream& in);

}  // namespace corvina
