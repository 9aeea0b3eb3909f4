// The report texts the program reads: a report definition (the built-in ones,
// loaded from the program's resources) and a prepared report, which the
// preview opens from any file the user picks. Neither may crash; a definition
// that loads is laid out over a few rows, and a prepared report that loads
// must save and load back as itself.
//
// Input: a first byte choosing the reader, then the text.

#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "reports/ReportLayout.h"
#include "reports/ReportText.h"

using namespace corvina;

namespace {

// A day's rows of two addresses, in the columns every built-in query gives.
TReportData SampleRows() {
  TReportData data;
  data.Columns = {"IP", "Y", "M", "D", "H", "TINC", "TOUT"};
  for (int i = 0; i < 30; ++i)
    data.Rows.push_back(
        {Variant::FromString(i < 15 ? "192.168.0.10" : "192.168.0.2"), Variant::FromInteger(2007),
         Variant::FromInteger(1), Variant::FromInteger(5), Variant::FromInteger(i % 24),
         Variant::FromInteger(1234567LL * i, varInt64), Variant::FromInteger(i, varInt64)});
  return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  try {
    if (data[0] % 2 == 0) {
      const TReportDefinition definition = LoadReportDefinition(in);
      LayoutReport(definition, SampleRows(), {EncodeDate(2007, 1, 5), EncodeDate(2007, 2, 1)});
    } else {
      const TPreparedReport report = LoadPreparedReport(in);
      std::ostringstream saved;
      SavePreparedReport(report, saved);
      std::istringstream again(saved.str());
      FUZZ_CHECK(LoadPreparedReport(again) == report);
    }
  } catch (const EReportError&) {
    // A clear refusal is what a malformed text must get.
  }
  return 0;
}
