#include "ui/ReportList.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace corvina {

void SetUpReportList(QTreeWidget* list, std::initializer_list<TReportColumn> columns) {
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSortingEnabled(false);
  QStringList captions;
  for (const TReportColumn& c : columns) captions << c.Caption;
  list->setHeaderLabels(captions);
  QHeaderView* header = list->header();
  header->setSectionsClickable(false);
  header->setSectionsMovable(false);
  header->setStretchLastSection(true);
  int i = 0;
  for (const TReportColumn& c : columns) {
    if (c.Width > 0) list->setColumnWidth(i, c.Width);
    ++i;
  }
}

}  // namespace corvina
