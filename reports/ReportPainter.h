#pragma once
// The one routine that draws prepared pages, on the screen (through the
// preview), on a printer and into PDF.

#include <QByteArray>
#include <QString>

#include "reports/PageModel.h"

class QPainter;
class QPrinter;

namespace corvina {

// Draws a page with the painter's device origin at the paper's top-left
// corner, at the device's resolution, shrunk to fit a smaller paper. The
// highlighted cell (a found text) gets a marker behind its text.
void PaintReportPage(QPainter& painter, const TPreparedReport& report, int page,
                     const TPageCell* highlight = nullptr);

// Paints the pages the printer's range asks for (all when it names none).
void PrintReport(QPrinter& printer, const TPreparedReport& report,
                 const TPageCell* highlight = nullptr);

// The report as a PDF document: vector drawing, text that can be searched
// and copied, the fonts embedded.
QByteArray ReportToPdf(const TPreparedReport& report, const QString& title);

}  // namespace corvina
