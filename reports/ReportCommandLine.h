#pragma once
// The command line that writes a built-in report as PDF without opening a
// window: corvina --report FR00D|FR00M|FR00ALL [--date YYYY-MM-DD]
// [--database FILE] --pdf FILE

#include <optional>
#include <string>
#include <vector>

#include "framework/DateTime.h"

namespace corvina {

inline constexpr const char* kReportUsage =
    "corvina --report FR00D|FR00M|FR00ALL [--date ГГГГ-ММ-ДД] [--database ФАЙЛ] --pdf ФАЙЛ";

struct TReportCommandLine {
  std::string ReportName;
  std::optional<TDateTime> Date;  // the day or month to report; today when absent
  std::string Database;           // empty: the file beside the executable
  std::string PdfFile;
};

// Whether the arguments (without the program's name) ask for a report.
bool IsReportCommandLine(const std::vector<std::string>& args);
// EReportError saying what is wrong with the arguments.
TReportCommandLine ParseReportCommandLine(const std::vector<std::string>& args);

}  // namespace corvina
