#include "database/DMU.h"

#include <filesystem>

#include "database/ReportSource.h"
#include "netinfo/sysutil.h"
#include "settings/CfgIntf.h"

namespace corvina {
namespace {

constexpr const char* kInsertSql =
    "INSERT INTO INETTRAFFIC (STRT, IP, DURATION, INCOMING, OUTGOING) VALUES (?1, ?2, ?3, ?4, ?5)";
// The stored text sorts in time order, so a half-open range of whole days
// catches every millisecond of the last day.
constexpr const char* kDeleteSql = "DELETE FROM INETTRAFFIC WHERE STRT >= ?1 AND STRT < ?2";

}  // namespace

TDM* DM = nullptr;

TDM::TDM(TDMCallbacks callbacks) : callbacks_(std::move(callbacks)) {}

TDM::~TDM() { DataModuleDestroy(); }

void TDM::DataModuleCreate() {
  connection_ = std::make_unique<TSQLiteConnection>();
  // Every open, the open on use included, checks or makes the totals table.
  connection_->OnOpen = [this] { totals_.Attach(*connection_); };
  // Reports run on this connection; the rows of the open group count too.
  report_.OnQuery = [this](const TReportQuery& query) {
    Flush();
    return RunReportQuery(*connection_, totals_.Ready(), query);
  };
  OpenDatabase();
  if (callbacks_.BuildProductInfo) callbacks_.BuildProductInfo(*this);
  if (callbacks_.CreateMainWindow) callbacks_.CreateMainWindow(*this);
}

void TDM::DataModuleDestroy() {
  Flush();
  connection_.reset();
}

std::string TDM::DataFileName() { return ExecutableFileWithExt(".dat"); }

std::string TDM::CfgFileName() { return LocalCfgFileName(); }

void TDM::OpenDatabase() {
  const std::string fileName = DataFileName();
  std::error_code ec;
  // symlink_status: a dangling link is an existing name too and stays untouched.
  if (!std::filesystem::exists(std::filesystem::symlink_status(fileName, ec)))
    SaveResourceToFile("DB", "MDB", fileName);
  OpenConnection(fileName);
}

bool TDM::OpenConnection(const std::string& fileName) {
  if (!connection_) return false;  // before DataModuleCreate
  try {
    connection_->Close();
    connection_->SetConnectionString(fileName);
    connection_->Open();
  } catch (const std::exception& e) {
    if (callbacks_.ShowError) callbacks_.ShowError(e.what());
  }
  return connection_->Connected();
}

void TDM::InsertTraffic(const std::string& ip, TDateTime start, std::int64_t duration,
                        std::int64_t incoming, std::int64_t outgoing) noexcept {
  try {
    if (!connection_) throw EDatabaseError("no connection");
    if (groupRows_ == 0 || !connection_->InTransaction()) {
      failedInserts_ += groupRows_;  // the engine rolled the group back after an error
      groupRows_ = 0;
      totals_.Clear();
      connection_->Execute("BEGIN");
      groupStart_ = std::chrono::steady_clock::now();
    }
    connection_->Execute(kInsertSql, {Variant::FromDate(start), Variant::FromString(ip),
                                      Variant::FromInteger(duration, varInt64),
                                      Variant::FromInteger(incoming, varInt64),
                                      Variant::FromInteger(outgoing, varInt64)});
    totals_.Add(ip, start, incoming, outgoing);
    ++groupRows_;
  } catch (...) {
    ++failedInserts_;
  }
  if (groupRows_ > 0 && std::chrono::steady_clock::now() - groupStart_ >= kCommitInterval) Flush();
}

void TDM::Flush() noexcept {
  if (!connection_ || !connection_->InTransaction()) {
    failedInserts_ += groupRows_;  // rolled back by the engine, or the connection is gone
    groupRows_ = 0;
    totals_.Clear();
    return;
  }
  try {
    totals_.Write(*connection_);  // the sums commit with their rows
    connection_->Execute("COMMIT");
  } catch (...) {
    failedInserts_ += groupRows_;
    totals_.Clear();
    try {
      connection_->Execute("ROLLBACK");
    } catch (...) {
      // Nothing left to undo.
    }
  }
  groupRows_ = 0;
}

int TDM::DeletePeriod(TDateTime fromDate, TDateTime toDate) {
  if (!connection_) throw EDatabaseError("no connection");
  Flush();
  // The rows and their totals go together or not at all.
  connection_->Execute("BEGIN");
  try {
    const int deleted = connection_->Execute(
        kDeleteSql, {Variant::FromDate(DateOf(fromDate)), Variant::FromDate(DateOf(toDate) + 1)});
    totals_.DeletePeriod(*connection_, fromDate, toDate);
    connection_->Execute("COMMIT");
    return deleted;
  } catch (...) {
    try {
      connection_->Execute("ROLLBACK");
    } catch (...) {
      // The engine rolled back already.
    }
    throw;
  }
}

void TDM::RunReport(const std::string& resName) {
  report_.Clear();
  report_.LoadFromResource(resName);
  report_.ShowReport();
}

}  // namespace corvina
