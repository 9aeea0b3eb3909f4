#pragma once
// The banded layout: a definition and its query's rows become the pages of
// a prepared report. No drawing and no toolkit here; sizes are millimetres.

#include <string>
#include <utility>
#include <vector>

#include "framework/FormatSettings.h"
#include "framework/Variant.h"
#include "reports/PageModel.h"
#include "reports/ReportDefinition.h"

namespace corvina {

struct TReportData {
  std::vector<std::string> Columns;
  std::vector<std::vector<Variant>> Rows;
};

// What a run knows besides its rows: the dialog's date, the moment it was
// prepared and the regional settings its texts follow.
struct TReportMoment {
  TDateTime DialogDate = 0;
  TDateTime Now = 0;
  const TFormatSettings* Settings = &DefaultFormatSettings();
};

using TQueryParameters = std::vector<std::pair<std::string, Variant>>;

// The definition's parameters, evaluated before the query runs.
TQueryParameters EvaluateParameters(const TReportDefinition& definition,
                                    const TReportMoment& moment);

// Title on the first page; per group its header (moved to a new page with
// its group when the group fits there but not here, and never left alone at
// the bottom of a page), its rows and its footer; the report footer; a page
// footer on every page that knows the page count. No rows give the title,
// the report footer (sums of nothing are 0) and the page footer.
TPreparedReport LayoutReport(const TReportDefinition& definition, const TReportData& data,
                             const TReportMoment& moment);

}  // namespace corvina
