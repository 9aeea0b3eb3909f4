#pragma once
// A traffic database of its own for report tests: the data module on a
// temporary folder, a fixed clock and Russian regional settings, and the
// prepared report of a run instead of a preview.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "database/DMU.h"
#include "platform/System.h"
#include "support/TempFolder.h"

namespace corvina::test {

// 15 March 2007, 10:30:00, the moment every report test is prepared at.
inline TDateTime FixedNow() { return EncodeDateTime({2007, 3, 15, 10, 30, 0, 0}); }

class TReportDatabase {
 public:
  TReportDatabase() {
    SetExecutablePath((folder.Path() / "Meter").string());
    SetNowFunction(FixedNow);
  }
  ~TReportDatabase() {
    dm.reset();
    SetNowFunction({});
    SetExecutablePath("");
  }

  TDM& Start() {
    dm = std::make_unique<TDM>(
        TDMCallbacks{[this](const std::string& message) { errors.push_back(message); }, {}, {}});
    dm->DataModuleCreate();
    TReportEngine& report = dm->Report();
    report.Settings = TFormatSettings::Russian();
    report.OnDialog = [this](const TReportDialog& dialog, TDateTime& date) {
      dialogs.push_back(dialog.Caption + "/" + dialog.Label);
      if (!dialogDate) return false;
      date = *dialogDate;
      return true;
    };
    report.OnPreview = [this](const TPreparedReport& r) { shown = r; };
    return *dm;
  }

  void Insert(const std::string& ip, const TCalendarDateTime& at, std::int64_t in,
              std::int64_t out) {
    dm->InsertTraffic(ip, EncodeDateTime(at), 0, in, out);
  }

  // The report as its preview would get it; nothing when no preview opened.
  std::optional<TPreparedReport> Run(const std::string& name,
                                     std::optional<TDateTime> date = std::nullopt) {
    dialogDate = date;
    shown.reset();
    dm->RunReport(name);
    return shown;
  }

  TTempFolder folder;
  std::unique_ptr<TDM> dm;
  std::vector<std::string> errors;
  std::vector<std::string> dialogs;  // caption/label of each dialog shown
  std::optional<TDateTime> dialogDate;
  std::optional<TPreparedReport> shown;
};

// The texts of a page's cells in the order they were laid out.
inline std::vector<std::string> Texts(const TPreparedPage& page) {
  std::vector<std::string> texts;
  for (const TPageCell& cell : page.Cells)
    if (!cell.Text.empty()) texts.push_back(cell.Text);
  return texts;
}

}  // namespace corvina::test
