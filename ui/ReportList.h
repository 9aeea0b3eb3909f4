#pragma once
// The read-only row lists of the settings pages: columns with headers that
// do nothing when clicked, whole rows selected one at a time.

#include <QString>
#include <initializer_list>

class QTreeWidget;

namespace corvina {

struct TReportColumn {
  QString Caption;
  int Width;  // 0: the column takes the rest of the width
};

void SetUpReportList(QTreeWidget* list, std::initializer_list<TReportColumn> columns);

}  // namespace corvina
