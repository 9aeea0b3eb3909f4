#pragma once
// The report engine: loads a definition, runs its date dialog, evaluates its
// parameters, has its query answered and lays out the pages. The dialog,
// the query and the preview are callbacks: the engine knows no toolkit and
// no database.

#include <functional>
#include <istream>
#include <optional>
#include <string>

#include "reports/PageModel.h"
#include "reports/ReportDefinition.h"
#include "reports/ReportLayout.h"

namespace corvina {

struct TReportQuery {
  std::string Sql;        // the designed query
  std::string TotalsSql;  // the same from the table of hourly totals; may be empty
  TQueryParameters Parameters;
};

class TReportEngine {
 public:
  static constexpr const char* kProductName = "Corvina Report";
  static constexpr const char* kVersion = "1.0";
  // The resource type of the built-in definitions.
  static constexpr const char* kResourceType = "FR3";

  // Answers the query of a run; its errors end the run.
  std::function<TReportData(const TReportQuery& query)> OnQuery;
  // Shows the date dialog with date preset to now; false ends the run
  // without a preview. Unset: the date is now.
  std::function<bool(const TReportDialog& dialog, TDateTime& date)> OnDialog;
  // Shows the prepared report; returns when it is closed.
  std::function<void(const TPreparedReport& report)> OnPreview;
  // The regional settings the report's texts follow.
  TFormatSettings Settings = DefaultFormatSettings();

  // The definition loaded last is dropped. EReportError while a run is on.
  void Clear();
  // EReportError with the line for a malformed definition.
  void LoadFromStream(std::istream& in);
  // A built-in definition; EReportError when the program carries none of that name.
  void LoadFromResource(const std::string& name);
  bool Loaded() const { return definition_.has_value(); }
  const TReportDefinition& Definition() const;

  // The dialog (if the definition has one), the query and the layout;
  // nothing when the dialog was not closed with OK.
  std::optional<TPreparedReport> Prepare();
  // Prepare, then the preview.
  void ShowReport();
  // A run (its dialog or preview) is open.
  bool Running() const { return running_; }

 private:
  void CheckIdle() const;
  std::optional<TReportDefinition> definition_;
  bool running_ = false;
};

}  // namespace corvina
