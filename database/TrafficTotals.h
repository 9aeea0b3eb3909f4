#pragma once
// Sums of the traffic rows per local address and hour, kept in their own
// table beside INETTRAFFIC, so a report reads a few thousand sums instead of
// scanning millions of packet rows. The insert path adds each stored row here
// (a hash-map add); the sums reach the table inside the same transaction as
// the rows, just before it commits, and are dropped when it rolls back.

#include <cstdint>
#include <string>
#include <unordered_map>

#include "database/SQLiteConnection.h"
#include "framework/DateTime.h"

namespace corvina {

// The table as the database template and Attach create it. A table of this
// name with any other definition is not ours and is left alone.
inline constexpr const char* kTrafficTotalsSchema =
    "CREATE TABLE TRAFFICTOTALS (HOURKEY INTEGER NOT NULL, IP VARCHAR(15) NOT NULL, "
    "INCOMING INTEGER NOT NULL, OUTGOING INTEGER NOT NULL, PRIMARY KEY (HOURKEY, IP)) "
    "WITHOUT ROWID";

class TTrafficTotals {
 public:
  // Makes the table usable on a freshly opened connection: ours is taken as
  // it is; a file without one (made by an earlier version) gets it, filled
  // from INETTRAFFIC in one transaction. A foreign table, or a file that
  // cannot be written, leaves the totals off: reports then read INETTRAFFIC.
  void Attach(TSQLiteConnection& connection) noexcept;
  bool Ready() const { return ready_; }

  // Counts one stored row. Does nothing while the totals are off.
  void Add(const std::string& ip, TDateTime start, std::int64_t incoming, std::int64_t outgoing);
  // Adds the pending sums to the table; called inside the open transaction
  // right before it commits. Raises EDatabaseError; the caller rolls back.
  void Write(TSQLiteConnection& connection);
  // Forgets the pending sums (their rows were rolled back, or were written).
  void Clear();
  // Removes the sums of whole days, as the deletion of their rows does;
  // called inside the deletion's transaction.
  void DeletePeriod(TSQLiteConnection& connection, TDateTime fromDate, TDateTime toDate);

  // YYYYMMDDHH of a time stamp, the hour its stored text shows.
  static std::int64_t HourKey(TDateTime value);

 private:
  struct Key {
    std::int64_t hour;
    std::string ip;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& k) const {
      return std::hash<std::string>()(k.ip) ^ std::hash<std::int64_t>()(k.hour);
    }
  };
  struct Sums {
    std::int64_t incoming = 0;
    std::int64_t outgoing = 0;
  };
  Sums& Slot(const std::string& ip, std::int64_t hour);
  void Fill(TSQLiteConnection& connection);

  bool ready_ = false;
  std::unordered_map<Key, Sums, KeyHash> pending_;
  // Packets come in runs of one address and hour: the last slot and the
  // time range that surely falls in its hour spare the hashing and the
  // calendar arithmetic.
  Sums* lastSlot_ = nullptr;
  std::string lastIp_;
  TDateTime lastFrom_ = 0, lastTo_ = 0;
  std::int64_t lastHour_ = -1;
};

}  // namespace corvina
