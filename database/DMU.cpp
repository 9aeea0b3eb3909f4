#include "database/DMU.h"

#include <filesystem>

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
  // The reports run their queries on Connection() directly; no separate
  // report adapter needs to be pointed at it.
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
      connection_->Execute("BEGIN");
      groupStart_ = std::chrono::steady_clock::now();
    }
    connection_->Execute(kInsertSql, {Variant::FromDate(start), Variant::FromString(ip),
                                      Variant::FromInteger(duration, varInt64),
                                      Variant::FromInteger(incoming, varInt64),
                                      Variant::FromInteger(outgoing, varInt64)});
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
    return;
  }
  try {
    connection_->Execute("COMMIT");
  } catch (...) {
    failedInserts_ += groupRows_;
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
  return connection_->Execute(
      kDeleteSql, {Variant::FromDate(DateOf(fromDate)), Variant::FromDate(DateOf(toDate) + 1)});
}

}  // namespace corvina
