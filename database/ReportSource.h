#pragma once
// Answers a report's query on the traffic database: from the table of
// hourly totals when it is ready and the definition reads it, else with the
// designed query on INETTRAFFIC. Both give the same rows.

#include "database/SQLiteConnection.h"
#include "reports/ReportEngine.h"

namespace corvina {

// Parameters bind by name (":Y" takes Y); EDatabaseError for a failing query
// or a parameter without a value.
TReportData RunReportQuery(TSQLiteConnection& connection, bool totalsReady,
                           const TReportQuery& query);

}  // namespace corvina
