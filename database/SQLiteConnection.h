#pragma once
// The one connection to the traffic database file. It opens an existing file
// only, proves it readable before anything is written, and keeps the compiled
// form of every statement it has run, so the per-packet insert is not parsed
// again for each row.

#include <functional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/DateTime.h"
#include "framework/Variant.h"

struct sqlite3;
struct sqlite3_stmt;

namespace corvina {

// Carries the database engine's own message text and result code (0 when
// the failure is the program's own).
class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message, int code = 0)
      : std::runtime_error(message), code_(code) {}
  int Code() const { return code_; }
  // Another connection holds the lock the statement needed: worth a later retry.
  bool Busy() const;

 private:
  int code_;
};

using TRow = std::vector<Variant>;

// How date-times are stored: local time as 'YYYY-MM-DD HH:MM:SS.SSS', which
// SQLite's date functions read directly and which sorts in time order.
// EDatabaseError for a value outside the years 1 to 9999.
std::string FormatSQLiteDateTime(TDateTime value);

class TSQLiteConnection {
 public:
  TSQLiteConnection() = default;
  ~TSQLiteConnection();
  TSQLiteConnection(const TSQLiteConnection&) = delete;
  TSQLiteConnection& operator=(const TSQLiteConnection&) = delete;

  // The database file's path; used by the next open.
  const std::string& ConnectionString() const { return connectionString_; }
  void SetConnectionString(const std::string& path) { connectionString_ = path; }
  // A read-only connection never writes the file (reports from the command
  // line); used by the next open.
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  // Runs after every successful open, the open on use included.
  std::function<void()> OnOpen;

  // Opens the existing file, reads its schema and the traffic table, and only
  // then switches it to WAL. A file that fails any step is left as it was, the
  // connection stays closed and EDatabaseError carries the engine's message.
  void Open();
  void Close();
  bool Connected() const { return db_ != nullptr; }
  // The file at the connection's path is no longer the one that was opened
  // (deleted, or another file put in its place).
  bool FileReplaced() const;
  // How long a statement waits for another connection's lock before it fails busy.
  static constexpr int kBusyTimeoutMilliseconds = 200;
  // An explicit transaction is open (one the engine rolled back after an error is not).
  bool InTransaction() const;
  // The engine's name and version, e.g. "SQLite 3.40.1".
  std::string Provider() const;

  // Runs a statement without rows; parameters bind to ?1, ?2, ... in order
  // (dates as FormatSQLiteDateTime text). A closed connection is opened
  // first. Returns the number of rows changed; EDatabaseError on failure.
  int Execute(const std::string& sql, const std::vector<Variant>& params = {});
  // Runs a query and returns all of its rows, opening on use like Execute.
  std::vector<TRow> Query(const std::string& sql, const std::vector<Variant>& params = {});
  // Hands each row to onRow as it is read, so a scan of millions of rows keeps none of them.
  void QueryEach(const std::string& sql, const std::vector<Variant>& params,
                 const std::function<void(TRow& row)>& onRow);
  // The names of a statement's parameters (":Y") in the order they bind, and of its columns.
  std::vector<std::string> ParameterNames(const std::string& sql);
  std::vector<std::string> ColumnNames(const std::string& sql);

 private:
  void OpenOnUse();
  sqlite3_stmt* Prepared(const std::string& sql);
  // Binds, steps to the end (handing rows over when asked) and resets.
  void Run(const std::string& sql, const std::vector<Variant>& params,
           const std::function<void(TRow& row)>* onRow);
  [[noreturn]] void Fail(sqlite3_stmt* stmt) const;

  std::string connectionString_;
  bool readOnly_ = false;
  sqlite3* db_ = nullptr;
  // Identity of the opened file.
  unsigned long long device_ = 0;
  unsigned long long inode_ = 0;
  std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

}  // namespace corvina
