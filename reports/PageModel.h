#pragma once
// A prepared report: pages of positioned cells in millimetres from the
// paper's top-left corner, the one form that the screen, the printer and
// PDF all draw, and that the preview saves and loads.

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace corvina {

enum class THAlign { Left, Center, Right };
enum class TVAlign { Top, Middle, Bottom };
enum TFrameSide : unsigned { fsLeft = 1, fsTop = 2, fsRight = 4, fsBottom = 8 };

struct TRgb {
  int R = 0, G = 0, B = 0;
  bool operator==(const TRgb&) const = default;
};

struct TCellStyle {
  std::string FontName = "Arial";
  double FontSize = 10;  // points
  bool Bold = false;
  THAlign HAlign = THAlign::Left;
  TVAlign VAlign = TVAlign::Middle;
  unsigned Frame = 0;  // TFrameSide bits
  std::optional<TRgb> Fill;
  bool operator==(const TCellStyle&) const = default;
};

// A rectangle with its frame lines, fill and text (lines split by '\n').
struct TPageCell {
  double X = 0, Y = 0, Width = 0, Height = 0;
  TCellStyle Style;
  std::string Text;
  bool operator==(const TPageCell&) const = default;
};

struct TPreparedPage {
  std::vector<TPageCell> Cells;
  bool operator==(const TPreparedPage&) const = default;
};

// One entry of the preview's outline: a group and where it starts.
struct TOutlineEntry {
  std::string Text;
  int Page = 0;  // from 0
  double Y = 0;
  bool operator==(const TOutlineEntry&) const = default;
};

struct TPreparedReport {
  std::string Title;  // the title band's text on one line, for window and document titles
  double PageWidth = 210, PageHeight = 297;
  std::vector<TPreparedPage> Pages;
  std::vector<TOutlineEntry> Outline;
  bool operator==(const TPreparedReport&) const = default;
};

// A cell statement of the text form: "cell X Y W H" and options (font=,
// size=, bold, align=, valign=, frame=LTRB, fill=R,G,B, text="..."). The
// words after "cell" are given; EReportError for a bad one.
TPageCell ParseCell(const std::vector<std::string>& words);
std::string FormatCell(const TPageCell& cell);

// The prepared-report file: a header line, then the page size, outline
// entries and pages of cells. Load raises EReportError naming the line.
void SavePreparedReport(const TPreparedReport& report, std::ostream& out);
TPreparedReport LoadPreparedReport(std::istream& in);

}  // namespace corvina
