#include "reports/ReportCommandLine.h"

#include <algorithm>
#include <cstdio>

#include "reports/ReportText.h"

namespace corvina {
namespace {

std::optional<TDateTime> ParseIsoDate(const std::string& text) {
  int y = 0, m = 0, d = 0, used = 0;
  if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &y, &m, &d, &used) != 3 ||
      used != 10 || text[4] != '-' || text[7] != '-' || !IsValidDate(y, m, d))
    return std::nullopt;
  return EncodeDate(y, m, d);
}

}  // namespace

bool IsReportCommandLine(const std::vector<std::string>& args) {
  return std::find(args.begin(), args.end(), "--report") != args.end();
}

TReportCommandLine ParseReportCommandLine(const std::vector<std::string>& args) {
  TReportCommandLine c;
  bool seen[4] = {};
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    const char* options[] = {"--report", "--date", "--database", "--pdf"};
    const auto known = std::find(std::begin(options), std::end(options), option);
    if (known == std::end(options)) throw EReportError("неизвестный параметр " + option);
    const std::size_t which = static_cast<std::size_t>(known - std::begin(options));
    if (seen[which]) throw EReportError("параметр " + option + " указан дважды");
    seen[which] = true;
    if (i + 1 >= args.size() || args[i + 1].empty())
      throw EReportError("после " + option + " нет значения");
    const std::string& value = args[++i];
    switch (which) {
      case 0:
        if (value != "FR00D" && value != "FR00M" && value != "FR00ALL")
          throw EReportError("неизвестный отчет " + value + " (есть FR00D, FR00M, FR00ALL)");
        c.ReportName = value;
        break;
      case 1:
        c.Date = ParseIsoDate(value);
        if (!c.Date) throw EReportError("дата " + value + " не в виде ГГГГ-ММ-ДД");
        break;
      case 2:
        c.Database = value;
        break;
      default:
        c.PdfFile = value;
    }
  }
  if (c.ReportName.empty()) throw EReportError("не указан отчет (--report)");
  if (c.PdfFile.empty()) throw EReportError("не указан файл PDF (--pdf)");
  return c;
}

}  // namespace corvina
