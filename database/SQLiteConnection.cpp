#include "database/SQLiteConnection.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cmath>

#include "database/DateFunctions.h"

namespace corvina {
namespace {

// Reading the first row forces the engine to parse the file header and the
// schema and to visit the table's root page, which SQLite otherwise defers
// to the first statement: a damaged or foreign file fails here, unwritten.
constexpr const char* kProbeSql =
    "SELECT IP, STRT, DURATION, INCOMING, OUTGOING FROM INETTRAFFIC LIMIT 1";

// WAL with NORMAL sync: no disk flush per row, and a crash never corrupts
// the file. An already-WAL file (the template is one) is not written here.
constexpr const char* kSetupSql = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;";

// Taking the write lock needs the journal files writable too (a -wal left by
// another user is not), which reading the file never shows. Writes nothing.
constexpr const char* kWriteProbeSql = "BEGIN IMMEDIATE; ROLLBACK;";

bool BusyCode(int code) { return (code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED; }

constexpr TDateTime kFirstDay = -693593;     // 1 January 0001
constexpr TDateTime kPastLastDay = 2958466;  // 1 January 10000

void Bind(sqlite3_stmt* stmt, int index, const Variant& value) {
  switch (value.Kind()) {
    case varEmpty:
    case varNull:
      sqlite3_bind_null(stmt, index);
      break;
    case varDate:
      sqlite3_bind_text(stmt, index, FormatSQLiteDateTime(value.AsDate()).c_str(), -1,
                        SQLITE_TRANSIENT);
      break;
    case varSingle:
    case varDouble:
    case varCurrency:
      sqlite3_bind_double(stmt, index, value.AsDouble());
      break;
    default:
      if (value.IsText()) {
        const std::string text = value.AsString();
        sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
      } else {
        sqlite3_bind_int64(stmt, index, value.AsInt64());
      }
  }
}

Variant Column(sqlite3_stmt* stmt, int index) {
  switch (sqlite3_column_type(stmt, index)) {
    case SQLITE_INTEGER:
      return Variant::FromInteger(sqlite3_column_int64(stmt, index), varInt64);
    case SQLITE_FLOAT:
      return Variant::FromFloat(sqlite3_column_double(stmt, index));
    case SQLITE_NULL:
      return Variant::Null();
    default:
      return Variant::FromString(
          std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, index)),
                      static_cast<std::size_t>(sqlite3_column_bytes(stmt, index))));
  }
}

}  // namespace

bool EDatabaseError::Busy() const { return BusyCode(code_); }

std::string FormatSQLiteDateTime(TDateTime value) {
  if (!(value >= kFirstDay && value < kPastLastDay)) throw EDatabaseError("date-time out of range");
  const TCalendarDateTime c = DecodeDateTime(value);
  // Every stored row is stamped through here: digits are placed by hand.
  std::string text = "0000-00-00 00:00:00.000";
  const auto put = [&text](std::size_t end, int number, int digits) {
    for (; digits > 0; --digits, number /= 10) text[--end] = char('0' + number % 10);
  };
  put(4, c.year, 4);
  put(7, c.month, 2);
  put(10, c.day, 2);
  put(13, c.hour, 2);
  put(16, c.minute, 2);
  put(19, c.second, 2);
  put(23, c.millisecond, 3);
  return text;
}

TSQLiteConnection::~TSQLiteConnection() { Close(); }

void TSQLiteConnection::Open() {
  Close();
  // An empty name would make SQLite open a private temporary database.
  if (connectionString_.empty()) throw EDatabaseError(sqlite3_errstr(SQLITE_CANTOPEN));
  sqlite3* db = nullptr;
  // No SQLITE_OPEN_CREATE: a missing file is an error, never a new empty database.
  int rc = sqlite3_open_v2(connectionString_.c_str(), &db,
                           readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
  std::string error;
  if (rc == SQLITE_OK) {
    // Another program writing the file (a second sqlite3 session, a backup)
    // makes us wait a moment rather than fail at once.
    sqlite3_busy_timeout(db, kBusyTimeoutMilliseconds);
    RegisterDateFunctions(db);
    sqlite3_stmt* probe = nullptr;
    rc = sqlite3_prepare_v2(db, kProbeSql, -1, &probe, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(probe);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) error = sqlite3_errmsg(db);
    sqlite3_finalize(probe);
  } else {
    error = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  }
  // SQLite quietly falls back to reading a file it may not write; every
  // insert would then fail, so such a file does not count as open.
  if (error.empty() && !readOnly_ && sqlite3_db_readonly(db, "main") == 1)
    error = sqlite3_errstr(SQLITE_READONLY);
  if (error.empty() && !readOnly_ &&
      sqlite3_exec(db, kSetupSql, nullptr, nullptr, nullptr) != SQLITE_OK)
    error = sqlite3_errmsg(db);
  // Another writer at work is no reason to refuse the file: rows wait for it.
  if (error.empty() && !readOnly_ &&
      sqlite3_exec(db, kWriteProbeSql, nullptr, nullptr, nullptr) != SQLITE_OK &&
      !BusyCode(sqlite3_extended_errcode(db)))
    error = sqlite3_errmsg(db);
  if (!error.empty()) {
    const int code = db ? sqlite3_extended_errcode(db) : rc;
    sqlite3_close(db);
    throw EDatabaseError(error, code);
  }
  struct stat opened {};
  if (stat(connectionString_.c_str(), &opened) == 0) {
    device_ = opened.st_dev;
    inode_ = opened.st_ino;
  }
  db_ = db;
  if (OnOpen) OnOpen();
}

bool TSQLiteConnection::FileReplaced() const {
  struct stat now {};
  if (!db_) return false;
  return stat(connectionString_.c_str(), &now) != 0 || now.st_dev != device_ ||
         now.st_ino != inode_;
}

void TSQLiteConnection::Close() {
  for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
  statements_.clear();
  sqlite3_close(db_);
  db_ = nullptr;
}

std::string TSQLiteConnection::Provider() const {
  return std::string("SQLite ") + sqlite3_libversion();
}

bool TSQLiteConnection::InTransaction() const { return db_ && sqlite3_get_autocommit(db_) == 0; }

void TSQLiteConnection::OpenOnUse() {
  if (!Connected()) Open();
}

sqlite3_stmt* TSQLiteConnection::Prepared(const std::string& sql) {
  OpenOnUse();
  auto found = statements_.find(sql);
  if (found != statements_.end()) return found->second;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                         &stmt, nullptr) != SQLITE_OK)
    throw EDatabaseError(sqlite3_errmsg(db_), sqlite3_extended_errcode(db_));
  statements_.emplace(sql, stmt);
  return stmt;
}

void TSQLiteConnection::Fail(sqlite3_stmt* stmt) const {
  const std::string error = sqlite3_errmsg(db_);
  const int code = sqlite3_extended_errcode(db_);
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  throw EDatabaseError(error, code);
}

int TSQLiteConnection::Execute(const std::string& sql, const std::vector<Variant>& params) {
  Run(sql, params, nullptr);
  return sqlite3_changes(db_);
}

std::vector<TRow> TSQLiteConnection::Query(const std::string& sql,
                                           const std::vector<Variant>& params) {
  std::vector<TRow> rows;
  QueryEach(sql, params, [&rows](TRow& row) { rows.push_back(std::move(row)); });
  return rows;
}

void TSQLiteConnection::QueryEach(const std::string& sql, const std::vector<Variant>& params,
                                  const std::function<void(TRow& row)>& onRow) {
  Run(sql, params, &onRow);
}

std::vector<std::string> TSQLiteConnection::ParameterNames(const std::string& sql) {
  sqlite3_stmt* stmt = Prepared(sql);
  std::vector<std::string> names;
  for (int i = 1; i <= sqlite3_bind_parameter_count(stmt); ++i) {
    const char* name = sqlite3_bind_parameter_name(stmt, i);
    names.emplace_back(name ? name : "");
  }
  return names;
}

std::vector<std::string> TSQLiteConnection::ColumnNames(const std::string& sql) {
  sqlite3_stmt* stmt = Prepared(sql);
  std::vector<std::string> names;
  for (int i = 0; i < sqlite3_column_count(stmt); ++i)
    names.emplace_back(sqlite3_column_name(stmt, i));
  return names;
}

void TSQLiteConnection::Run(const std::string& sql, const std::vector<Variant>& params,
                            const std::function<void(TRow& row)>* onRow) {
  sqlite3_stmt* stmt = Prepared(sql);
  if (static_cast<int>(params.size()) != sqlite3_bind_parameter_count(stmt))
    throw EDatabaseError(sqlite3_errstr(SQLITE_RANGE));
  try {
    for (std::size_t i = 0; i < params.size(); ++i) Bind(stmt, static_cast<int>(i + 1), params[i]);
  } catch (...) {
    sqlite3_clear_bindings(stmt);
    throw;
  }
  const int columns = sqlite3_column_count(stmt);
  int rc;
  TRow row;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (!onRow) continue;
    row.clear();
    row.reserve(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) row.push_back(Column(stmt, i));
    try {
      (*onRow)(row);
    } catch (...) {
      sqlite3_reset(stmt);
      sqlite3_clear_bindings(stmt);
      throw;
    }
  }
  if (rc != SQLITE_DONE) Fail(stmt);
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
}

}  // namespace corvina
