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
constexpr const char* kDaySumsSql =
    "SELECT SUM(INCOMING), SUM(OUTGOING) FROM INETTRAFFIC WHERE STRT >= ?1 AND STRT < ?2";
constexpr const char* kDayTotalsSql =
    "SELECT SUM(INCOMING), SUM(OUTGOING) FROM TRAFFICTOTALS WHERE HOURKEY >= ?1 AND HOURKEY < ?2";

}  // namespace

TDM* DM = nullptr;

TDM::TDM(TDMCallbacks callbacks) : callbacks_(std::move(callbacks)) {}

TDM::~TDM() { DataModuleDestroy(); }

void TDM::DataModuleCreate() {
  connection_ = std::make_unique<TSQLiteConnection>();
  // Every open, the open on use included, checks or makes the totals table.
  connection_->OnOpen = [this] { totals_.Attach(*connection_); };
  // Reports run on this connection; the rows still waiting count too.
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

namespace {

// The empty database from the template, when no file is at the path; an
// existing one is never touched.
void WriteTemplateIfMissing(const std::string& fileName) {
  std::error_code ec;
  // symlink_status: a dangling link is an existing name too and stays untouched.
  if (!std::filesystem::exists(std::filesystem::symlink_status(fileName, ec)))
    SaveResourceToFile("DB", "MDB", fileName);
}

}  // namespace

void TDM::OpenDatabase() {
  const std::string fileName = DataFileName();
  WriteTemplateIfMissing(fileName);
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
    if (!connection_->Connected()) connection_->Open();
    FormatSQLiteDateTime(start);  // a time the file cannot hold fails now, not with its group
    if (pending_.size() >= kMaxPendingRows) throw EDatabaseError("too many rows waiting");
    if (pending_.empty()) groupStart_ = std::chrono::steady_clock::now();
    pending_.push_back({ip, start, duration, incoming, outgoing, false});
  } catch (...) {
    ++failedInserts_;
  }
  if (!pending_.empty() && std::chrono::steady_clock::now() - groupStart_ >= kCommitInterval)
    Flush();
}

void TDM::Flush() noexcept {
  if (pending_.empty()) return;
  if (!connection_) return DropPending();
  try {
    FollowReplacedFile();
    // Takes the write lock now, waiting a moment for another writer.
    connection_->Execute("BEGIN IMMEDIATE");
  } catch (const EDatabaseError& e) {
    if (!e.Busy()) return DropPending();
    groupStart_ = std::chrono::steady_clock::now();  // try again with the next group
    return;
  }
  totals_.Clear();
  try {
    if (WritePending()) {
      totals_.Write(*connection_);  // the sums commit with their rows
      connection_->Execute("COMMIT");
      totals_.Clear();
      pending_.clear();
      return;
    }
  } catch (...) {
    // The commit failed: the group is rolled back below.
  }
  totals_.Clear();
  try {
    if (connection_->InTransaction()) connection_->Execute("ROLLBACK");
  } catch (...) {
    // Nothing left to undo.
  }
  DropPending();
}

bool TDM::WritePending() {
  for (TPendingRow& row : pending_) {
    if (row.refused) continue;
    try {
      connection_->Execute(kInsertSql, {Variant::FromDate(row.start), Variant::FromString(row.ip),
                                        Variant::FromInteger(row.duration, varInt64),
                                        Variant::FromInteger(row.incoming, varInt64),
                                        Variant::FromInteger(row.outgoing, varInt64)});
      totals_.Add(row.ip, row.start, row.incoming, row.outgoing);
    } catch (const EDatabaseError&) {
      // One bad row costs that row; a lost transaction costs the group.
      if (!connection_->InTransaction()) return false;
      row.refused = true;
      ++failedInserts_;
    }
  }
  return true;
}

void TDM::DropPending() {
  for (const TPendingRow& row : pending_) failedInserts_ += !row.refused;
  pending_.clear();
}

void TDM::FollowReplacedFile() {
  if (!connection_->FileReplaced()) return;
  connection_->Close();
  // The engine keeps the journal of a file that is gone; left at the path,
  // it would be played into whatever file comes there next.
  const std::string fileName = connection_->ConnectionString();
  std::error_code ec;
  std::filesystem::remove(fileName + "-wal", ec);
  std::filesystem::remove(fileName + "-shm", ec);
  WriteTemplateIfMissing(fileName);
  connection_->Open();
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

TTrafficSums TDM::DaySums(TDateTime day) noexcept {
  if (!DatabaseOpen()) return {};
  Flush();  // the rows still waiting count too
  const TDateTime from = DateOf(day), to = from + 1;
  try {
    const std::vector<TRow> rows =
        totals_.Ready()
            ? connection_->Query(kDayTotalsSql,
                                 {Variant::FromInteger(TTrafficTotals::HourKey(from), varInt64),
                                  Variant::FromInteger(TTrafficTotals::HourKey(to), varInt64)})
            : connection_->Query(kDaySumsSql, {Variant::FromDate(from), Variant::FromDate(to)});
    const auto sum = [&](std::size_t column) {
      return rows.empty() || rows[0][column].IsNull() ? 0 : rows[0][column].AsInt64();
    };
    return {sum(0), sum(1)};
  } catch (const std::exception&) {
    return {};  // a file that cannot be read starts the day from zero, as before
  }
}

void TDM::RunReport(const std::string& resName) {
  report_.Clear();
  report_.LoadFromResource(resName);
  report_.ShowReport();
}

}  // namespace corvina
