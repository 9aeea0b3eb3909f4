#pragma once
// The data module: owns the traffic database connection, runs the start-up
// sequence, writes one row per packet and clears periods of rows.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "database/SQLiteConnection.h"
#include "database/TrafficTotals.h"
#include "framework/DateTime.h"
#include "reports/ReportEngine.h"

namespace corvina {

class TDM;

// Bytes received and sent, summed over the stored rows of some period.
struct TTrafficSums {
  std::int64_t Incoming = 0;
  std::int64_t Outgoing = 0;
  bool operator==(const TTrafficSums&) const = default;
};

// The start-up steps that belong to the user interface; ui/ fills them.
struct TDMCallbacks {
  std::function<void(const std::string& message)> ShowError;  // error box with one OK button
  std::function<void(TDM& dm)> BuildProductInfo;
  std::function<void(TDM& dm)> CreateMainWindow;
};

class TDM {
 public:
  explicit TDM(TDMCallbacks callbacks);
  ~TDM();
  TDM(const TDM&) = delete;
  TDM& operator=(const TDM&) = delete;

  // Creates the connection, opens the database (creating a missing file from
  // the template), then builds the product information and creates the main
  // window. A template that cannot be written raises its error from here and
  // the later steps do not run; a file that cannot be opened only shows an
  // error and start-up goes on.
  void DataModuleCreate();
  // Frees the connection, which closes the database.
  void DataModuleDestroy();

  // Null before DataModuleCreate and after DataModuleDestroy.
  TSQLiteConnection* Connection() const { return connection_.get(); }
  // The report and clean-up actions are enabled only while this holds.
  bool DatabaseOpen() const { return connection_ && connection_->Connected(); }

  // The executable's path with ".dat"; letter case as the system gives it.
  static std::string DataFileName();
  // The settings file's name, exactly as the settings store names it, so the
  // first-start test looks for the very file the store writes.
  static std::string CfgFileName();

  // Writes the template when no file exists (never touching an existing
  // one), then opens the connection on it.
  void OpenDatabase();
  // (Re)opens the connection on fileName; an error goes to the error box.
  // True when the connection is open afterwards; false before DataModuleCreate.
  bool OpenConnection(const std::string& fileName);

  // Appends one row. Never throws and shows nothing, so the packet flow goes
  // on; a row that cannot be written is counted instead. A closed connection
  // is opened again first, once per call.
  //
  // Rows are written in groups: a commit per row writes a whole page to the
  // journal and takes the file locks each time, which caps a busy link at a
  // few ten thousand packets a second. The rows wait here and go to the file
  // in one transaction at the first insert after kCommitInterval, at Flush
  // (the window calls it when rows stop coming), before a deletion, and at
  // close. While another program holds the file's write lock they keep
  // waiting, up to kMaxPendingRows, and go in with a later group.
  void InsertTraffic(const std::string& ip, TDateTime start, std::int64_t duration,
                     std::int64_t incoming, std::int64_t outgoing) noexcept;
  // Writes the waiting rows in one transaction. Rows the file refuses are
  // counted as lost; rows a busy file could not take yet keep waiting.
  void Flush() noexcept;
  std::uint64_t FailedInsertCount() const { return failedInserts_; }
  bool RowsPending() const { return !pending_.empty(); }
  static constexpr std::chrono::milliseconds kCommitInterval{250};
  static constexpr std::size_t kMaxPendingRows = 1000000;

  // Deletes the rows from the start of fromDate's day up to, not including,
  // the start of the day after toDate, and their hourly totals with them.
  // Raises EDatabaseError with the engine's message when the deletion
  // fails. Returns the rows deleted.
  int DeletePeriod(TDateTime fromDate, TDateTime toDate);

  // The sums of the rows stored on day's date (local time), every address
  // together: from the hourly totals when they are kept, else from the rows.
  // Zero while the database is closed or cannot be read.
  TTrafficSums DaySums(TDateTime day) noexcept;

  // Runs the built-in report of that resource name ("FR00D", "FR00M",
  // "FR00ALL") and returns when its preview is closed. Errors (a missing or
  // malformed definition, a failing query) are the caller's to show.
  void RunReport(const std::string& resName);
  // The one report engine; ui/ gives it its dialog and preview.
  TReportEngine& Report() { return report_; }
  // Whether reports read the table of hourly totals (else INETTRAFFIC).
  bool TotalsReady() const { return totals_.Ready(); }

 private:
  struct TPendingRow {
    std::string ip;
    TDateTime start;
    std::int64_t duration;
    std::int64_t incoming;
    std::int64_t outgoing;
    bool refused;  // the file refused it once; not tried again
  };
  // Inserts the waiting rows inside the open transaction; false when the
  // transaction was lost on the way.
  bool WritePending();
  // The rows of the group are lost: counted, and no longer kept.
  void DropPending();
  // A file deleted or replaced under the running program is left for the
  // one now at its path (made from the template when none is).
  void FollowReplacedFile();

  TDMCallbacks callbacks_;
  std::unique_ptr<TSQLiteConnection> connection_;
  TTrafficTotals totals_;
  TReportEngine report_;
  std::uint64_t failedInserts_ = 0;
  std::vector<TPendingRow> pending_;
  // When the oldest waiting row came (or the last busy attempt was made).
  std::chrono::steady_clock::time_point groupStart_;
};

// The program's one data module, set by the program entry.
extern TDM* DM;

}  // namespace corvina
