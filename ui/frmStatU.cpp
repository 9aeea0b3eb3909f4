#include "ui/frmStatU.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <algorithm>
#include <filesystem>

#include "database/DMU.h"
#include "netinfo/sysutil.h"
#include "platform/System.h"
#include "reports/frmPreviewU.h"
#include "reports/frmToolsReportU.h"
#include "settings/CfgKeys.h"
#include "ui/DesktopSession.h"
#include "ui/Dialogs.h"
#include "ui/SystemColors.h"
#include "ui/TaskbarHint.h"
#include "ui/frmAboutU.h"
#include "ui/frmToolsConnectU.h"
#include "ui/frmToolsDesignerU.h"
#include "ui/frmToolsStatU.h"
#include "ui/frmToolsU.h"

namespace corvina {
namespace {

constexpr int kCounterWidth = 90;

QLabel* CounterLabel(QWidget* parent, const char* name, const char* hint) {
  auto* label = new QLabel("0", parent);
  label->setObjectName(name);
  label->setFixedSize(kCounterWidth, 15);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setLineWidth(1);
  label->setToolTip(hint);
  label->setAutoFillBackground(true);
  label->setContextMenuPolicy(Qt::CustomContextMenu);
  return label;
}

// A heavy day's figure does not fit the designed width ("10 485 760,0 Кб"):
// the label widens to its text, and narrows again when the counters restart.
void FitCounter(QLabel* label) {
  // The text, the indent a framed label keeps (an "x"), the frame; not
  // sizeHint, which never goes below the width already set.
  const QFontMetrics metrics = label->fontMetrics();
  const int needed = metrics.horizontalAdvance(label->text()) + metrics.horizontalAdvance(u'x') +
                     label->width() - label->contentsRect().width();
  const int width = std::max(kCounterWidth, needed);
  if (label->width() != width) label->setFixedWidth(width);
}

void SetRoleColor(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(role, color);
  widget->setPalette(palette);
}

struct PageNode {
  const char* caption;
  int pageId;
};
constexpr PageNode kPageNodes[] = {
    {"Программа", 0}, {"Отчеты", 1}, {"Фильтрация пакетов", 2}, {"Выбор сети", 3}};

}  // namespace

QPoint SnapToScreenEdges(const QRect& window, const QRect& screen, int distance) {
  QPoint p = window.topLeft();
  if (std::abs(window.left() - screen.left()) < distance)
    p.setX(screen.left());
  else if (std::abs(window.right() - screen.right()) < distance)
    p.setX(screen.right() - window.width() + 1);
  if (std::abs(window.top() - screen.top()) < distance)
    p.setY(screen.top());
  else if (std::abs(window.bottom() - screen.bottom()) < distance)
    p.setY(screen.bottom() - window.height() + 1);
  return p;
}

TfrmStatic::TfrmStatic(TDM* dm, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      FillTree(FillToolsTree),
      PageClassOf(GetToolsPageClass),
      DM_(dm) {
  setObjectName("frmStatic");
  QFont font =
      QApplication::font();  // the desktop's UI font at the size the window was designed for
  font.setPointSize(8);
  setFont(font);

  Panel = new QFrame(this);
  Panel->setObjectName("Panel");
  Panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel->setLineWidth(1);
  Panel->setAutoFillBackground(true);
  IncomingLabel = CounterLabel(Panel, "IncomingLabel", "Принято");
  OutgoingLabel = CounterLabel(Panel, "OutgoingLabel", "Отправлено");
  auto* counters = new QHBoxLayout(Panel);
  counters->setContentsMargins(2, 2, 2, 2);
  counters->setSpacing(2);
  counters->addWidget(IncomingLabel);
  counters->addWidget(OutgoingLabel);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // the window takes the size of its contents
  layout->addWidget(Panel);
  ApplyColors(clBtnFace, true, clBlack, true);

  ImageList32 = {QIcon(":/icons/tray-stopped.svg"), QIcon(":/icons/tray-capturing.svg"),
                 QIcon(":/icons/tray-standby.svg")};
  CreateActions();
  CreateReportActions();
  PopupMenu = CreateMenu();
  PopupMenuTray = CreateMenu();
  TrayIcon = new QSystemTrayIcon(this);
  TrayIcon->setContextMenu(PopupMenuTray);
  connect(TrayIcon, &QSystemTrayIcon::activated, this, &TfrmStatic::TrayIconActivated);
  for (QLabel* label : {IncomingLabel, OutgoingLabel})
    connect(label, &QWidget::customContextMenuRequested, this,
            [this, label](const QPoint& at) { PopupMenu->popup(label->mapToGlobal(at)); });
  for (QWidget* w : std::initializer_list<QWidget*>{this, Panel, IncomingLabel, OutgoingLabel})
    w->installEventFilter(this);
  FlushTimer_ = new QTimer(this);
  FlushTimer_->setSingleShot(true);
  FlushTimer_->setInterval(TDM::kCommitInterval);
  connect(FlushTimer_, &QTimer::timeout, this, &TfrmStatic::FlushRows);
  RefreshTimer_ = new QTimer(this);
  RefreshTimer_->setSingleShot(true);
  connect(RefreshTimer_, &QTimer::timeout, this, &TfrmStatic::RefreshTotals);
  TrayWatch_ = new QTimer(this);
  TrayWatch_->setInterval(2000);
  connect(TrayWatch_, &QTimer::timeout, this, &TfrmStatic::CheckTray);
}

TfrmStatic::~TfrmStatic() {
  // The statistics' last events reach the tray and labels, which must still exist.
  Stat_.reset();
}

void TfrmStatic::CreateActions() {
  auto make = [this](const char* name, const QString& caption, const QString& hint) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    if (!hint.isEmpty()) action->setStatusTip(hint);
    if (!hint.isEmpty()) action->setToolTip(hint);
    return action;
  };
  ActionFormShow = make("ActionFormShow", "&Показать форму", "Показать форму");
  ActionFormHide = make("ActionFormHide", "&Спрятать форму", "Спрятать форму");
  ActionDumpFile = make("ActionDumpFile", "&Сохранять трафик в *.dump", "");
  ActionDumpFile->setCheckable(true);
  ActionTools = make("ActionTools", "&Настройки...", "");
  ActionAbout = make("ActionAbout", "О программе...", "");
  ActionExit = make("ActionExit", "&Выход", "Выход из приложения");

  connect(ActionFormShow, &QAction::triggered, this, [this] { showNormal(); });
  connect(ActionFormHide, &QAction::triggered, this, [this] { hide(); });
  connect(ActionDumpFile, &QAction::triggered, this,
          [this](bool checked) { Stat_->SetDumpEnabled(checked); });
  connect(ActionTools, &QAction::triggered, this, [this] { ActionToolsExecute(); });
  connect(ActionAbout, &QAction::triggered, this, [] { CreateAboutDialog()->Execute(); });
  connect(ActionExit, &QAction::triggered, this, [] { QApplication::quit(); });
}

void TfrmStatic::CreateReportActions() {
  auto make = [this](const char* name, const QString& caption, const char* resName) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [this, resName] { RunReportFromUi(DM_, resName); });
    return action;
  };
  ActionReportPerDay = make("ActionReportPerDay", "Отчет за день", "FR00D");
  ActionReportPerMonth = make("ActionReportPerMonth", "Отчет за месяц", "FR00M");
  ActionReportPerAll = make("ActionReportPerAll", "Отчет за весь период", "FR00ALL");
  ActionReportPerDayUpdate();
}

void TfrmStatic::AddReportMenu(QMenu* menu) {
  QMenu* reports = menu->addMenu("&Отчеты");
  reports->addAction(ActionReportPerDay);
  reports->addAction(ActionReportPerMonth);
  reports->addAction(ActionReportPerAll);
  menu->addSeparator();
}

void TfrmStatic::ActionReportPerDayUpdate() {
  const bool open = DM_ && DM_->DatabaseOpen();
  for (QAction* action : {ActionReportPerDay, ActionReportPerMonth, ActionReportPerAll})
    action->setEnabled(open);
}

QMenu* TfrmStatic::CreateMenu() {
  auto* menu = new QMenu(this);
  AddReportMenu(menu);
  menu->addAction(ActionFormShow);
  menu->addAction(ActionFormHide);
  menu->addSeparator();
  menu->addAction(ActionDumpFile);
  menu->addAction(ActionTools);
  menu->addSeparator();
  menu->addAction(ActionAbout);
  menu->addSeparator();
  menu->addAction(ActionExit);
  connect(menu, &QMenu::aboutToShow, this, &TfrmStatic::UpdateActions);
  return menu;
}

void TfrmStatic::UpdateActions() {
  ActionReportPerDayUpdate();
  ActionFormShow->setEnabled(!isVisible());
  ActionFormHide->setEnabled(isVisible() && HasTray_);
}

void TfrmStatic::CheckTray() {
  HasTray_ = TrayAvailable();
  // Qt shows the icon by itself once a tray comes; only the window's state follows here.
  if (HasTray_)
    TrayWatch_->stop();
  else if (!TrayWatch_->isActive())
    TrayWatch_->start();
  UpdateActions();
}

void TfrmStatic::TrayIconActivated(QSystemTrayIcon::ActivationReason reason) {
  if (reason != QSystemTrayIcon::DoubleClick) return;
  if (isVisible())
    hide();
  else
    showNormal();
}

void TfrmStatic::FormCreate() {
  CheckTray();
  Stat_ = std::make_unique<TSnifferStat>();
  Stat_->OnTraffic = [this](auto*, const TSnifferHostData& h, const TSnifferStatCounters& c) {
    StatTraffic(h, c);
  };
  Stat_->OnCaptureStart = [this](auto*, const TSnifferHostData& h, const TSnifferStatCounters&) {
    StatCaptureStart(h);
  };
  Stat_->OnCaptureStop = [this](auto*, const TSnifferHostData& h, const TSnifferStatCounters&) {
    StatCaptureStop(h);
  };
  Stat_->OnStandby = [this](auto*) { StatStandby(); };
  // Not in the original design: a capture error is shown in the tray hint.
  Stat_->OnError = [this](auto*, int, int code, const std::string& text) { StatError(code, text); };
  // Not in the original design: today's traffic stored before this start
  // still counts, so a restart does not show the day from zero.
  if (DM_) {
    const TTrafficSums today = DM_->DaySums(Now());
    Stat_->SetEarlierTotals(today.Incoming, today.Outgoing);
  }
  RestoreWindow();
  ApplySettings();
  if (!std::filesystem::exists(TDM::CfgFileName())) ActionToolsExecute();
  ShowMainForm_ = true;
}

void TfrmStatic::RestoreWindow() {
  setWindowTitle(QApplication::applicationDisplayName());
  auto cfg = GetLocalCfgIntf();
  QPoint position = pos();
  if (auto left = ReadInteger(*cfg, kFormLeft)) position.setX(*left);
  if (auto top = ReadInteger(*cfg, kFormTop)) position.setY(*top);
  move(position);  // a position off every screen is kept as it is
  SetTrayImage(tiStandby);
  TrayIcon->show();
  ShowTotals(Stat_->HostData());
}

void TfrmStatic::ApplySettings() {
  auto cfg = GetLocalCfgIntf();
  Stat_->SetActive(false);
  if (auto autoStart = ReadBoolean(*cfg, kAutoStart)) {
    const std::string exe = ExecutablePath();
    const std::string name = std::filesystem::path(exe).filename().string();
    // Only the entry's name is lowered: a lowered path would name another
    // file on a case-sensitive file system.
    SetAutoStart(LowerCaseCyrillicUtf8(name), exe, *autoStart);
  }
  if (!cfg->GetValue(kLocalIPRangeCount).IsNull()) {
    // Emptied before the count is read, so a count that does not convert
    // leaves no ranges rather than the old ones.
    auto ranges = Stat_->Ranges();
    ranges->Clear();
    const auto stored = ReadLocalIPRanges(*cfg);
    for (const TStoredIPRange& range : *stored) ranges->AddRange(range.Start, range.End);
  }
  const auto background = ReadColor(*cfg, kBackgroundColor);
  if (background) ApplyColors(*background, true, 0, false);
  const auto fontColor = ReadColor(*cfg, kFontColor);
  if (fontColor) ApplyColors(0, false, *fontColor, true);
  if (auto alpha = ReadInteger(*cfg, kAlphaBlend))
    setWindowOpacity(std::clamp(*alpha, 0, 255) / 255.0);
  TSnifferProtocolTypes filter = Stat_->ProtocolFilter;
  auto apply = [&](const char* key, TSnifferProtocolType type) {
    if (auto on = ReadBoolean(*cfg, key))
      filter = static_cast<TSnifferProtocolTypes>(*on ? filter | ProtocolBit(type)
                                                      : filter & ~ProtocolBit(type));
  };
  apply(kShowICMP, sptICMP);
  apply(kShowUDP, sptUDP);
  apply(kShowTCP, sptTCP);
  Stat_->ProtocolFilter = filter;
  if (auto mac = ReadString(*cfg, kMacBind)) Stat_->SetAdapterMac(*mac);
  Stat_->SetActive(true);
}

void TfrmStatic::ApplyColors(TColor background, bool hasBackground, TColor font, bool hasFont) {
  if (hasBackground) {
    const QColor color = ToQColor(background, QApplication::palette(),
                                  QApplication::palette().color(QPalette::Button));
    for (QWidget* w : std::initializer_list<QWidget*>{Panel, IncomingLabel, OutgoingLabel})
      SetRoleColor(w, QPalette::Window, color);
  }
  if (hasFont) {
    const QColor color = ToQColor(font, QApplication::palette(),
                                  QApplication::palette().color(QPalette::WindowText));
    for (QLabel* l : {IncomingLabel, OutgoingLabel}) SetRoleColor(l, QPalette::WindowText, color);
  }
}

void TfrmStatic::ShowIncoming(std::int64_t count) {
  IncomingLabel->setText(QString::fromStdString(FormatByteCount(count)));
  FitCounter(IncomingLabel);
}

void TfrmStatic::ShowOutgoing(std::int64_t count) {
  OutgoingLabel->setText(QString::fromStdString(FormatByteCount(count)));
  FitCounter(OutgoingLabel);
}

void TfrmStatic::UpdateTrayHint(std::int64_t incoming, std::int64_t outgoing) {
  QString hint = QApplication::applicationDisplayName();
  if (!CaptureError_.isEmpty()) hint += "\n" + CaptureError_;
  hint += "\nПринято: " + QString::fromStdString(FormatByteCount(incoming));
  hint += "\nОтправлено: " + QString::fromStdString(FormatByteCount(outgoing));
  // Not in the original design: the totals are short when packets or rows were lost.
  if (const std::uint64_t lost = Stat_ ? Stat_->KernelDropped() : 0)
    hint += "\nПотеряно пакетов: " + QString::number(lost);
  if (const std::uint64_t failed = DM_ ? DM_->FailedInsertCount() : 0)
    hint += "\nНе сохранено записей: " + QString::number(failed);
  if (hint == TrayHint_) return;
  TrayHint_ = hint;
  TrayIcon->setToolTip(hint);
}

void TfrmStatic::SetTrayImage(int index) {
  TrayImage_ = index;
  TrayIcon->setIcon(ImageList32[static_cast<std::size_t>(index)]);
}

void TfrmStatic::ShowTotals(const TSnifferHostData& h) {
  ShownIncoming_ = h.TotalIncoming;
  ShownOutgoing_ = h.TotalOutgoing;
  ShowIncoming(h.TotalIncoming);
  ShowOutgoing(h.TotalOutgoing);
  UpdateTrayHint(h.TotalIncoming, h.TotalOutgoing);
}

void TfrmStatic::ShowTrafficTotals(const TSnifferHostData& h) {
  ShownIncoming_ = h.TotalIncoming;
  ShownOutgoing_ = h.TotalOutgoing;
  if (RefreshTimer_->isActive()) return;
  // The first packet after a quiet spell shows at once, the rest of a burst with the next refresh.
  const qint64 since = LastRefresh_.isValid() ? LastRefresh_.elapsed() : kRefreshInterval;
  if (since >= kRefreshInterval)
    RefreshTotals();
  else
    RefreshTimer_->start(int(kRefreshInterval - since));
}

void TfrmStatic::RefreshTotals() {
  LastRefresh_.start();
  ShowIncoming(ShownIncoming_);
  ShowOutgoing(ShownOutgoing_);
  UpdateTrayHint(ShownIncoming_, ShownOutgoing_);
}

void TfrmStatic::StatTraffic(const TSnifferHostData& h, const TSnifferStatCounters&) {
  if (DM_) {
    DM_->InsertTraffic(h.Address, h.StartTime, h.Duration, h.Incoming, h.Outgoing);
    if (!FlushTimer_->isActive()) FlushTimer_->start();
  }
  ShowTrafficTotals(h);
}

void TfrmStatic::FlushRows() {
  DM_->Flush();
  // Rows a busy file could not take yet are tried again; the hint shows what was lost.
  if (DM_->RowsPending()) FlushTimer_->start();
  UpdateTrayHint(ShownIncoming_, ShownOutgoing_);
}

void TfrmStatic::StatCaptureStart(const TSnifferHostData& h) {
  CaptureError_.clear();
  SetTrayImage(tiCapturing);
  ShowTotals(h);
}

void TfrmStatic::StatCaptureStop(const TSnifferHostData& h) {
  SetTrayImage(tiStopped);
  ShowTotals(h);
}

void TfrmStatic::StatStandby() {
  CaptureError_.clear();
  TrayHint_ = QApplication::applicationDisplayName() + " - Дежурный режим";
  // Not in the original design: without a chosen adapter nothing says why it waits.
  if (Stat_->AdapterMac().empty()) TrayHint_ += ": сеть не выбрана (Настройки... - Выбор сети)";
  TrayIcon->setToolTip(TrayHint_);
  SetTrayImage(tiStandby);
}

void TfrmStatic::StatError(int, const std::string& text) {
  CaptureError_ = QString::fromStdString(text);
  const TSnifferHostData& h = Stat_->HostData();
  UpdateTrayHint(h.TotalIncoming, h.TotalOutgoing);
}

void TfrmStatic::ActionToolsExecute() {
  std::shared_ptr<ICfgIntf> cfg;
  try {
    cfg = GetLocalCfgIntf();
  } catch (const std::exception& e) {
    ShowErrorBox(nullptr, e);  // settings that cannot be read cannot be edited either
    return;
  }
  cfg->BeginUpdate();
  int result = 0;
  try {
    result = CreateToolsDialog(FillTree, PageClassOf)->Execute();
  } catch (...) {
    cfg->CancelUpdate();  // dropped without a message, as the dialog's own errors are
    return;
  }
  if (result != 1) {
    cfg->CancelUpdate();
    return;
  }
  try {
    cfg->EndUpdate();
    ApplySettings();
  } catch (...) {
    // The store keeps what the dialog wrote; nothing is shown.
  }
}

void TfrmStatic::EndSession() {
  if (Stat_) Stat_->SetActive(false);
  // Open dialogs end as if cancelled; the first-start one runs before the
  // main loop, which quit() alone would not reach.
  CloseDialogsForSessionEnd();
  QApplication::quit();
}

void TfrmStatic::FormDestroy() {
  if (!Stat_) return;
  std::shared_ptr<ICfgIntf> cfg;
  try {
    cfg = GetLocalCfgIntf();
    cfg->BeginUpdate();
    cfg->SetValue(kFormLeft, Variant::FromInteger(x()));
    cfg->SetValue(kFormTop, Variant::FromInteger(y()));
    cfg->EndUpdate();
  } catch (const std::exception& e) {
    if (cfg) cfg->CancelUpdate();
    ShowErrorBox(nullptr, e);
  }
  Stat_.reset();
  // The last events are in: their rows go to the file now, not with the timer.
  if (DM_) DM_->Flush();
}

bool TfrmStatic::eventFilter(QObject* watched, QEvent* event) {
  // Dragging by the left button anywhere on the window, with snapping to the screen edges.
  if (event->type() == QEvent::MouseButtonPress) {
    auto* e = static_cast<QMouseEvent*>(event);
    if (e->button() == Qt::LeftButton) {
      // Where the program cannot move its windows, the window system's own move drags it.
      if (!ClientPlacesWindows() && windowHandle() && windowHandle()->startSystemMove())
        return true;
      Dragging_ = true;
      DragOffset_ = e->globalPosition().toPoint() - pos();
      return true;
    }
  } else if (event->type() == QEvent::MouseMove && Dragging_) {
    auto* e = static_cast<QMouseEvent*>(event);
    const QPoint target = e->globalPosition().toPoint() - DragOffset_;
    const QScreen* screen = QGuiApplication::screenAt(e->globalPosition().toPoint());
    move(screen ? SnapToScreenEdges(QRect(target, size()), screen->geometry()) : target);
    return true;
  } else if (event->type() == QEvent::MouseButtonRelease && Dragging_) {
    Dragging_ = false;
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TfrmStatic::showEvent(QShowEvent* event) {
  // The window manager drops the taskbar and pager hints whenever the window
  // is hidden; they are set again before every showing.
  if (!event->spontaneous()) HideFromTaskbar(this);
  QWidget::showEvent(event);
}

void TfrmStatic::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // A window kept at the right edge of its screen stays there as its figures
  // widen or narrow, and wider figures never push it past that edge. A
  // window left entirely off the screen stays where it is.
  const QScreen* at = screen();
  if (event->oldSize().width() == width() || !at) return;
  const int end = at->geometry().x() + at->geometry().width();
  if (x() < end && (x() + event->oldSize().width() == end || x() + width() > end))
    move(end - width(), y());
}

void FillToolsTree(TfrmTools*, QTreeWidget* nodes) {
  nodes->setUpdatesEnabled(false);
  const QIcon page(":/icons/page.svg");
  for (const PageNode& n : kPageNodes) {
    auto* item = new QTreeWidgetItem(nodes, QStringList{n.caption});
    item->setData(0, kPageIdRole, n.pageId);
    item->setIcon(0, page);
  }
  nodes->setUpdatesEnabled(true);
}

void GetToolsPageClass(TfrmTools*, QTreeWidgetItem* node, TToolsPageClass& pageClass) {
  switch (node->data(0, kPageIdRole).toInt()) {
    case 0:
      pageClass = &TfrmToolsDesigner::staticMetaObject;
      break;
    case 1:
      pageClass = &TfrmToolsReport::staticMetaObject;
      break;
    case 2:
      pageClass = &TfrmToolsStat::staticMetaObject;
      break;
    case 3:
      pageClass = &TfrmToolsConnect::staticMetaObject;
      break;
    default:
      break;
  }
}

}  // namespace corvina
