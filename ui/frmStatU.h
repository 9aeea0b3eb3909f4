#pragma once
// The meter window: a tiny borderless window on top of all others with the
// day's received and sent bytes, the tray icon, and the menus from which
// everything else is reached.

#include <QAction>
#include <QElapsedTimer>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "capture/SnifferStat.h"
#include "settings/CfgColors.h"
#include "ui/ToolsPage.h"

class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvina {

class TDM;
class TfrmTools;

enum TTrayImage { tiStopped = 0, tiCapturing = 1, tiStandby = 2 };

constexpr int kRefreshInterval = 100;  // milliseconds between two refreshes of the totals

class TfrmStatic : public QWidget {
  Q_OBJECT
 public:
  // dm may be null (no database): rows are then not stored.
  explicit TfrmStatic(TDM* dm, QWidget* parent = nullptr);
  ~TfrmStatic() override;

  // The creation step; an error leaving it is the caller's to show.
  void FormCreate();
  // Saves the position (an error is shown) and releases the statistics.
  void FormDestroy();
  void ApplySettings();
  void RestoreWindow();
  void ShowIncoming(std::int64_t count);
  void ShowOutgoing(std::int64_t count);
  void UpdateTrayHint(std::int64_t incoming, std::int64_t outgoing);
  // Re-evaluates the enabled and checked states of the actions.
  void UpdateActions();
  // The three report actions are enabled while the database is open.
  void ActionReportPerDayUpdate();
  // End of the desktop session: capture off, then the normal shutdown.
  void EndSession();
  // The settings transaction around the settings dialog.
  void ActionToolsExecute();

  // Whether the window is to be shown when the event loop starts; always
  // without a tray, as nothing else could bring it back.
  bool ShowMainForm() const { return ShowMainForm_ || !HasTray_; }
  // Asks TrayAvailable again; a tray that came lets the window be hidden.
  void CheckTray();
  TSnifferStat* Stat() const { return Stat_.get(); }
  int TrayImage() const { return TrayImage_; }
  QString TrayHint() const { return TrayHint_; }

  QFrame* Panel;
  QLabel* IncomingLabel;
  QLabel* OutgoingLabel;
  QSystemTrayIcon* TrayIcon;
  QMenu* PopupMenu;
  QMenu* PopupMenuTray;
  QAction* ActionReportPerDay;
  QAction* ActionReportPerMonth;
  QAction* ActionReportPerAll;
  QAction* ActionFormShow;
  QAction* ActionFormHide;
  QAction* ActionDumpFile;
  QAction* ActionTools;
  QAction* ActionAbout;
  QAction* ActionExit;
  // The settings dialog's page tree and page classes; tests put their own.
  std::function<void(TfrmTools*, QTreeWidget*)> FillTree;
  std::function<void(TfrmTools*, QTreeWidgetItem*, TToolsPageClass&)> PageClassOf;
  // Whether the desktop shows tray icons; tests put their own.
  static inline std::function<bool()> TrayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateActions();
  void CreateReportActions();
  QMenu* CreateMenu();
  void AddReportMenu(QMenu* menu);
  void SetTrayImage(int index);
  void TrayIconActivated(QSystemTrayIcon::ActivationReason reason);
  void ShowTotals(const TSnifferHostData& hostData);
  // The labels and the hint follow the traffic at most kRefreshInterval
  // apart: a tray tooltip set per packet is a message to the desktop per packet.
  void ShowTrafficTotals(const TSnifferHostData& hostData);
  void RefreshTotals();
  void FlushRows();
  void StatTraffic(const TSnifferHostData& hostData, const TSnifferStatCounters& counters);
  void StatCaptureStart(const TSnifferHostData& hostData);
  void StatCaptureStop(const TSnifferHostData& hostData);
  void StatStandby();
  void StatError(int errorCode, const std::string& errorText);
  void ApplyColors(TColor background, bool hasBackground, TColor font, bool hasFont);

  TDM* DM_;
  QTimer* FlushTimer_;    // commits the stored rows once packets stop coming
  QTimer* RefreshTimer_;  // shows the latest totals once the refresh interval has passed
  QTimer* TrayWatch_;     // asks for a tray again while there is none
  QElapsedTimer LastRefresh_;
  std::int64_t ShownIncoming_ = 0;  // the totals of the latest event
  std::int64_t ShownOutgoing_ = 0;
  std::unique_ptr<TSnifferStat> Stat_;
  std::array<QIcon, 3> ImageList32;
  int TrayImage_ = tiStandby;
  QString TrayHint_;
  QString CaptureError_;  // why capture stopped, while it stays stopped by an error
  bool ShowMainForm_ = false;
  bool HasTray_ = true;
  QPoint DragOffset_;
  bool Dragging_ = false;
};

// The settings dialog's tree and page classes of this program.
void FillToolsTree(TfrmTools* sender, QTreeWidget* nodes);
void GetToolsPageClass(TfrmTools* sender, QTreeWidgetItem* node, TToolsPageClass& pageClass);

// Where a window dragged to `window` ends up: an edge within `distance`
// pixels of the screen's edge is moved onto it.
QPoint SnapToScreenEdges(const QRect& window, const QRect& screen, int distance = 20);

}  // namespace corvina
