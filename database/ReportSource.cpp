#include "database/ReportSource.h"

#include <strings.h>

namespace corvina {

TReportData RunReportQuery(TSQLiteConnection& connection, bool totalsReady,
                           const TReportQuery& query) {
  const std::string& sql = totalsReady && !query.TotalsSql.empty() ? query.TotalsSql : query.Sql;
  std::vector<Variant> values;
  for (const std::string& name : connection.ParameterNames(sql)) {
    const Variant* value = nullptr;
    for (const auto& [given, v] : query.Parameters)
      if (name.size() > 1 && strcasecmp(given.c_str(), name.c_str() + 1) == 0) value = &v;
    if (!value) throw EDatabaseError("нет значения параметра " + name);
    values.push_back(*value);
  }
  TReportData data;
  data.Columns = connection.ColumnNames(sql);
  data.Rows = connection.Query(sql, values);
  return data;
}

}  // namespace corvina
