#include "reports/ReportEngine.h"

#include <sstream>

#include "platform/Resources.h"
#include "reports/ReportText.h"

namespace corvina {
namespace {

// Marks a run as open for as long as it lasts, however it ends.
class TRunning {
 public:
  explicit TRunning(bool& flag) : flag_(flag) { flag_ = true; }
  ~TRunning() { flag_ = false; }
  TRunning(const TRunning&) = delete;
  TRunning& operator=(const TRunning&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void TReportEngine::CheckIdle() const {
  if (running_) throw EReportError("Отчет уже открыт");
}

void TReportEngine::Clear() {
  CheckIdle();
  definition_.reset();
}

void TReportEngine::LoadFromStream(std::istream& in) {
  CheckIdle();
  definition_.reset();
  definition_ = LoadReportDefinition(in);
}

void TReportEngine::LoadFromResource(const std::string& name) {
  CheckIdle();
  definition_.reset();
  const TResource* resource = FindResource(name, kResourceType);
  if (!resource) throw EReportError("Нет описания отчета " + name);
  std::istringstream in(std::string(reinterpret_cast<const char*>(resource->data), resource->size));
  try {
    definition_ = LoadReportDefinition(in);
  } catch (const EReportError& e) {
    throw EReportError("Описание отчета " + name + ", " + e.what());
  }
}

const TReportDefinition& TReportEngine::Definition() const {
  if (!definition_) throw EReportError("Отчет не загружен");
  return *definition_;
}

std::optional<TPreparedReport> TReportEngine::Prepare() {
  const TReportDefinition& d = Definition();
  TReportMoment moment;
  moment.Now = Now();
  moment.DialogDate = moment.Now;
  moment.Settings = &Settings;
  if (d.Dialog && OnDialog && !OnDialog(*d.Dialog, moment.DialogDate)) return std::nullopt;
  if (!OnQuery) throw EReportError("Отчету не с чем работать: нет базы данных");
  const TReportData data = OnQuery({d.Query, d.TotalsQuery, EvaluateParameters(d, moment)});
  moment.Now = Now();  // the time the rows were read, not when the dialog opened
  return LayoutReport(d, data, moment);
}

void TReportEngine::ShowReport() {
  CheckIdle();
  TRunning running(running_);
  std::optional<TPreparedReport> report = Prepare();
  if (report && OnPreview) OnPreview(*report);
}

}  // namespace corvina
