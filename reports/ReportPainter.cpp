#include "reports/ReportPainter.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <algorithm>

namespace corvina {
namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kTextPaddingMm = 1.0;  // keeps figures off the frame lines
constexpr double kLineWidthMm = 0.2;
const QColor kHighlight(255, 230, 0);

int TextFlags(const TCellStyle& s) {
  const int h = s.HAlign == THAlign::Left     ? Qt::AlignLeft
                : s.HAlign == THAlign::Center ? Qt::AlignHCenter
                                              : Qt::AlignRight;
  const int v = s.VAlign == TVAlign::Top      ? Qt::AlignTop
                : s.VAlign == TVAlign::Middle ? Qt::AlignVCenter
                                              : Qt::AlignBottom;
  return h | v | Qt::TextDontClip;
}

}  // namespace

void PaintReportPage(QPainter& painter, const TPreparedReport& report, int page,
                     const TPageCell* highlight) {
  const QPaintDevice* device = painter.device();
  const double sx = device->logicalDpiX() / kMmPerInch;
  const double sy = device->logicalDpiY() / kMmPerInch;
  const double fit = std::min({1.0, device->width() / (report.PageWidth * sx),
                               device->height() / (report.PageHeight * sy)});
  auto rect = [&](double x, double y, double w, double h) {
    return QRectF(x * sx * fit, y * sy * fit, w * sx * fit, h * sy * fit);
  };
  QPen line(Qt::black, kLineWidthMm * sx * fit);
  line.setCapStyle(Qt::SquareCap);
  for (const TPageCell& cell : report.Pages[static_cast<std::size_t>(page)].Cells) {
    const TCellStyle& s = cell.Style;
    const QRectF r = rect(cell.X, cell.Y, cell.Width, cell.Height);
    if (s.Fill) painter.fillRect(r, QColor(s.Fill->R, s.Fill->G, s.Fill->B));
    if (!cell.Text.empty()) {
      QFont font(QString::fromStdString(s.FontName));
      font.setPointSizeF(s.FontSize * fit);
      font.setBold(s.Bold);
      painter.setFont(font);
      const double pad = kTextPaddingMm * sx * fit;
      const QRectF textRect = r.adjusted(pad, 0, -pad, 0);
      const QString text = QString::fromStdString(cell.Text);
      if (&cell == highlight)
        painter.fillRect(painter.boundingRect(textRect, TextFlags(s), text), kHighlight);
      painter.setPen(Qt::black);
      painter.drawText(textRect, TextFlags(s), text);
    }
    painter.setPen(line);
    if (s.Frame & fsLeft) painter.drawLine(r.topLeft(), r.bottomLeft());
    if (s.Frame & fsTop) painter.drawLine(r.topLeft(), r.topRight());
    if (s.Frame & fsRight) painter.drawLine(r.topRight(), r.bottomRight());
    if (s.Frame & fsBottom) painter.drawLine(r.bottomLeft(), r.bottomRight());
  }
}

void PrintReport(QPrinter& printer, const TPreparedReport& report, const TPageCell* highlight) {
  const int pages = static_cast<int>(report.Pages.size());
  int first = 1, last = pages;
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    first = std::max(1, printer.fromPage());
    last = std::min(pages, printer.toPage() > 0 ? printer.toPage() : pages);
  }
  QPainter painter(&printer);
  for (int page = first; page <= last; ++page) {
    if (page > first) printer.newPage();
    PaintReportPage(painter, report, page - 1, highlight);
  }
}

QByteArray ReportToPdf(const TPreparedReport& report, const QString& title) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter pdf(&buffer);
    pdf.setTitle(title);
    pdf.setCreator("Corvina");
    pdf.setPageLayout(
        QPageLayout(QPageSize(QSizeF(report.PageWidth, report.PageHeight), QPageSize::Millimeter),
                    QPageLayout::Portrait, QMarginsF()));
    QPainter painter(&pdf);
    for (int page = 0; page < static_cast<int>(report.Pages.size()); ++page) {
      if (page > 0) pdf.newPage();
      PaintReportPage(painter, report, page);
    }
  }
  return bytes;
}

}  // namespace corvina
