#include "database/TrafficTotals.h"

#include "database/DateFunctions.h"

namespace corvina {
namespace {

constexpr const char* kFindTableSql =
    "SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = 'TRAFFICTOTALS' COLLATE NOCASE";
constexpr const char* kScanSql = "SELECT IP, STRT, INCOMING, OUTGOING FROM INETTRAFFIC";
constexpr const char* kUpsertSql =
    "INSERT INTO TRAFFICTOTALS (HOURKEY, IP, INCOMING, OUTGOING) VALUES (?1, ?2, ?3, ?4) "
    "ON CONFLICT (HOURKEY, IP) DO UPDATE SET INCOMING = INCOMING + excluded.INCOMING, "
    "OUTGOING = OUTGOING + excluded.OUTGOING";
constexpr const char* kDeleteSql = "DELETE FROM TRAFFICTOTALS WHERE HOURKEY >= ?1 AND HOURKEY < ?2";

constexpr TDateTime kMillisecond = 1.0 / 86400000.0;
constexpr TDateTime kHour = 1.0 / 24.0;

std::int64_t KeyOf(int year, int month, int day, int hour) {
  return ((static_cast<std::int64_t>(year) * 100 + month) * 100 + day) * 100 + hour;
}

std::int64_t ByteCount(const Variant& value) { return value.IsNull() ? 0 : value.AsInt64(); }

}  // namespace

std::int64_t TTrafficTotals::HourKey(TDateTime value) {
  const TCalendarDateTime c = DecodeDateTime(value);
  return KeyOf(c.year, c.month, c.day, c.hour);
}

void TTrafficTotals::Attach(TSQLiteConnection& connection) noexcept {
  Clear();
  ready_ = false;
  try {
    const std::vector<TRow> found = connection.Query(kFindTableSql);
    if (!found.empty()) {
      ready_ = found[0][0].IsText() && found[0][0].AsString() == kTrafficTotalsSchema;
      return;
    }
    connection.Execute("SAVEPOINT TRAFFICTOTALS_FILL");
    try {
      connection.Execute(kTrafficTotalsSchema);
      ready_ = true;
      Fill(connection);
      connection.Execute("RELEASE TRAFFICTOTALS_FILL");
    } catch (...) {
      ready_ = false;
      Clear();
      connection.Execute("ROLLBACK TO TRAFFICTOTALS_FILL");
      connection.Execute("RELEASE TRAFFICTOTALS_FILL");
    }
  } catch (...) {
    ready_ = false;  // a read-only or locked file: the reports read INETTRAFFIC
  }
}

void TTrafficTotals::Fill(TSQLiteConnection& connection) {
  // One pass summing in memory: a GROUP BY would sort every packet row.
  connection.QueryEach(kScanSql, {}, [this](TRow& row) {
    if (!row[0].IsText() || !row[1].IsText()) return;
    const std::string strt = row[1].AsString();
    TStoredHour h;
    if (!ParseStoredHour(strt.data(), strt.size(), h)) return;
    Sums& slot = Slot(row[0].AsString(), KeyOf(h.Year, h.Month, h.Day, h.Hour));
    slot.incoming += ByteCount(row[2]);
    slot.outgoing += ByteCount(row[3]);
  });
  Write(connection);
}

TTrafficTotals::Sums& TTrafficTotals::Slot(const std::string& ip, std::int64_t hour) {
  return pending_[Key{hour, ip}];
}

void TTrafficTotals::Add(const std::string& ip, TDateTime start, std::int64_t incoming,
                         std::int64_t outgoing) {
  if (!ready_) return;
  if (!(start > lastFrom_ && start < lastTo_)) {
    const TCalendarDateTime c = DecodeDateTime(start);
    lastHour_ = KeyOf(c.year, c.month, c.day, c.hour);
    const TDateTime begin = EncodeDate(c.year, c.month, c.day) + c.hour * kHour;
    // Within a millisecond of an hour's edge the rounding of the stored
    // text decides; such stamps are decoded every time.
    lastFrom_ = begin > 0 ? begin + kMillisecond : 0;
    lastTo_ = begin > 0 ? begin + kHour - kMillisecond : 0;
    lastSlot_ = nullptr;
  }
  if (!lastSlot_ || ip != lastIp_) {
    lastSlot_ = &Slot(ip, lastHour_);
    lastIp_ = ip;
  }
  lastSlot_->incoming += incoming;
  lastSlot_->outgoing += outgoing;
}

void TTrafficTotals::Write(TSQLiteConnection& connection) {
  for (const auto& [key, sums] : pending_)
    connection.Execute(kUpsertSql,
                       {Variant::FromInteger(key.hour, varInt64), Variant::FromString(key.ip),
                        Variant::FromInteger(sums.incoming, varInt64),
                        Variant::FromInteger(sums.outgoing, varInt64)});
  Clear();
}

void TTrafficTotals::Clear() {
  pending_.clear();
  lastSlot_ = nullptr;
}

void TTrafficTotals::DeletePeriod(TSQLiteConnection& connection, TDateTime fromDate,
                                  TDateTime toDate) {
  if (!ready_) return;
  connection.Execute(kDeleteSql, {Variant::FromInteger(HourKey(DateOf(fromDate)), varInt64),
                                  Variant::FromInteger(HourKey(DateOf(toDate) + 1), varInt64)});
}

}  // namespace corvina
