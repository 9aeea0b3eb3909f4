#pragma once
// `corvina --report ... --pdf FILE`: a built-in report written as PDF
// without a window and without capture, for scheduled reports and scripts.

namespace corvina {

// Whether the command line asks for a report rather than the meter.
bool IsReportCommand(int argc, char** argv);
// Writes the report; 0 on success, else a message on standard error and a
// status that says what failed (2 a bad argument, 3 the database, 4 the
// report, 5 the output file).
int RunReportCommand(int argc, char** argv);

}  // namespace corvina
