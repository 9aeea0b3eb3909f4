#include "reports/frmPreviewU.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QSpinBox>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>
#include <sstream>

#include "database/DMU.h"
#include "platform/System.h"
#include "reports/ReportEngine.h"
#include "reports/ReportPainter.h"
#include "reports/ReportText.h"
#include "reports/frmReportDialogU.h"
#include "ui/Dialogs.h"

namespace corvina {
namespace {

const QString kReportFilter = "Отчет Corvina (*.cpr)";
const QString kPdfFilter = "Документ PDF (*.pdf)";
constexpr int kZooms[] = {25, 50, 75, 100, 150, 200, 300};

void WriteFile(const QString& fileName, std::string_view data) {
  if (const int error = ReplaceFileContents(fileName.toStdString(), data))
    throw EReportError("Не удалось записать файл " + fileName.toStdString() + ": " +
                       SystemErrorText(error));
}

}  // namespace

TfrmPreview::TfrmPreview(TPreparedReport report, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      report_(std::move(report)),
      printer_(QPrinter::HighResolution) {
  setObjectName("frmPreview");
  setWindowTitle("Предварительный просмотр - " + QString::fromStdString(report_.Title));
  printer_.setFullPage(true);
  printer_.setPageLayout(
      QPageLayout(QPageSize(QSizeF(report_.PageWidth, report_.PageHeight), QPageSize::Millimeter),
                  QPageLayout::Portrait, QMarginsF()));

  Preview = new QPrintPreviewWidget(&printer_, this);
  Preview->setObjectName("Preview");
  connect(Preview, &QPrintPreviewWidget::paintRequested, this, &TfrmPreview::PaintPreview);
  connect(Preview, &QPrintPreviewWidget::previewChanged, this, &TfrmPreview::UpdateControls);
  Preview->setZoomMode(QPrintPreviewWidget::CustomZoom);
  Preview->setZoomFactor(1.0);

  Outline = new QTreeWidget(this);
  Outline->setObjectName("Outline");
  Outline->setHeaderHidden(true);
  Outline->setRootIsDecorated(false);
  connect(Outline, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { GoToPage(item->data(0, Qt::UserRole).toInt() + 1); });
  connect(Outline, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item) { GoToPage(item->data(0, Qt::UserRole).toInt() + 1); });

  CreateActions();
  auto* tools = new QToolBar(this);
  tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  tools->addAction(ActionPrint);
  tools->addAction(ActionPageSetup);
  tools->addSeparator();
  tools->addAction(ActionOpen);
  tools->addAction(ActionSave);
  tools->addAction(ActionExportPdf);
  tools->addSeparator();
  tools->addAction(ActionFirst);
  tools->addAction(ActionPrior);
  PageEdit = new QSpinBox(tools);
  PageEdit->setObjectName("PageEdit");
  PageEdit->setAlignment(Qt::AlignRight);
  connect(PageEdit, &QSpinBox::editingFinished, this, [this] { GoToPage(PageEdit->value()); });
  tools->addWidget(PageEdit);
  PageCount = new QLabel(tools);
  tools->addWidget(PageCount);
  tools->addAction(ActionNext);
  tools->addAction(ActionLast);
  tools->addSeparator();
  tools->addAction(ActionFitWidth);
  tools->addAction(ActionFitPage);
  ZoomBox = new QComboBox(tools);
  ZoomBox->setObjectName("ZoomBox");
  ZoomBox->setEditable(true);
  for (int zoom : kZooms) ZoomBox->addItem(QString::number(zoom) + " %");
  connect(ZoomBox, &QComboBox::textActivated, this, [this](const QString& text) {
    bool ok = false;
    const double percent = QString(text).remove('%').trimmed().toDouble(&ok);
    if (ok && percent >= 10 && percent <= 1000) Preview->setZoomFactor(percent / 100);
    SetZoomText();
  });
  tools->addWidget(ZoomBox);
  for (QAction* a : {ActionFirst, ActionPrior, ActionNext, ActionLast})
    if (auto* button = qobject_cast<QToolButton*>(tools->widgetForAction(a)))
      button->setToolButtonStyle(Qt::ToolButtonIconOnly);

  // The find bar sits below the pages, where browsers put theirs.
  auto* findBar = new QToolBar(this);
  findBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  findBar->addWidget(new QLabel(" Найти: ", findBar));
  FindEdit = new QLineEdit(findBar);
  FindEdit->setObjectName("FindEdit");
  FindEdit->setClearButtonEnabled(true);
  FindEdit->setMaximumWidth(260);
  connect(FindEdit, &QLineEdit::returnPressed, this, [this] { Find(true); });
  findBar->addWidget(FindEdit);
  findBar->addAction(ActionFindNext);
  findBar->addAction(ActionFindPrior);
  FindNote = new QLabel(findBar);
  findBar->addWidget(FindNote);

  auto* split = new QSplitter(this);
  split->addWidget(Outline);
  split->addWidget(Preview);
  split->setStretchFactor(1, 1);
  split->setSizes({180, 1000});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tools);
  layout->addWidget(split, 1);
  layout->addWidget(findBar);
  FillOutline();
  UpdateControls();
}

void TfrmPreview::CreateActions() {
  auto make = [this](const char* name, const QString& text, const QKeySequence& keys,
                     std::function<void()> run,
                     QStyle::StandardPixmap icon = QStyle::SP_CustomBase) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    if (icon != QStyle::SP_CustomBase) action->setIcon(style()->standardIcon(icon));
    action->setShortcut(keys);
    connect(action, &QAction::triggered, this, std::move(run));
    addAction(action);  // shortcuts work wherever the focus is
    return action;
  };
  ActionPrint = make("ActionPrint", "Печать...", QKeySequence::Print, [this] {
    QPrintDialog dialog(&printer_, this);
    dialog.setMinMax(1, static_cast<int>(report_.Pages.size()));
    if (dialog.exec() == QDialog::Accepted) PrintReport(printer_, report_);
  });
  ActionPageSetup = make("ActionPageSetup", "Параметры страницы...", {}, [this] {
    QPageSetupDialog dialog(&printer_, this);
    if (dialog.exec() == QDialog::Accepted) Preview->updatePreview();
  });
  ActionOpen = make(
      "ActionOpen", "Открыть...", QKeySequence::Open,
      [this] {
        const QString file = QFileDialog::getOpenFileName(this, "Открыть отчет", {}, kReportFilter);
        if (!file.isEmpty()) Guarded([&] { LoadFile(file); });
      },
      QStyle::SP_DialogOpenButton);
  ActionSave = make(
      "ActionSave", "Сохранить...", QKeySequence::Save,
      [this] {
        const QString file =
            QFileDialog::getSaveFileName(this, "Сохранить отчет", {}, kReportFilter);
        if (!file.isEmpty()) Guarded([&] { SaveFile(file); });
      },
      QStyle::SP_DialogSaveButton);
  ActionExportPdf = make("ActionExportPdf", "Экспорт в PDF...", {}, [this] {
    const QString file = QFileDialog::getSaveFileName(this, "Экспорт в PDF", {}, kPdfFilter);
    if (!file.isEmpty()) Guarded([&] { ExportPdf(file); });
  });
  ActionFirst = make(
      "ActionFirst", "Первая страница", Qt::CTRL | Qt::Key_Home, [this] { GoToPage(1); },
      QStyle::SP_MediaSkipBackward);
  ActionPrior = make(
      "ActionPrior", "Предыдущая страница", {}, [this] { GoToPage(CurrentPage() - 1); },
      QStyle::SP_MediaSeekBackward);
  ActionNext = make(
      "ActionNext", "Следующая страница", {}, [this] { GoToPage(CurrentPage() + 1); },
      QStyle::SP_MediaSeekForward);
  ActionLast = make(
      "ActionLast", "Последняя страница", Qt::CTRL | Qt::Key_End,
      [this] { GoToPage(static_cast<int>(report_.Pages.size())); }, QStyle::SP_MediaSkipForward);
  ActionFitWidth = make("ActionFitWidth", "По ширине", {}, [this] {
    Preview->fitToWidth();
    SetZoomText();
  });
  ActionFitPage = make("ActionFitPage", "Страница целиком", {}, [this] {
    Preview->fitInView();
    SetZoomText();
  });
  ActionFindNext = make(
      "ActionFindNext", "Далее", QKeySequence::FindNext, [this] { Find(true); },
      QStyle::SP_ArrowDown);
  ActionFindPrior = make(
      "ActionFindPrior", "Назад", QKeySequence::FindPrevious, [this] { Find(false); },
      QStyle::SP_ArrowUp);
  auto* focusFind = new QAction(this);
  focusFind->setShortcut(QKeySequence::Find);
  connect(focusFind, &QAction::triggered, this, [this] { FindEdit->setFocus(); });
  addAction(focusFind);
}

void TfrmPreview::Guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    ShowErrorBox(this, e);
  }
}

void TfrmPreview::PaintPreview(QPrinter* printer) {
  QPainter painter(printer);
  const TPageCell* highlight = Highlight();
  for (int page = 0; page < static_cast<int>(report_.Pages.size()); ++page) {
    if (page > 0) printer->newPage();
    PaintReportPage(painter, report_, page, highlight);
  }
}

void TfrmPreview::SetReport(TPreparedReport report) {
  report_ = std::move(report);
  setWindowTitle("Предварительный просмотр - " + QString::fromStdString(report_.Title));
  matchPage_ = matchCell_ = -1;
  FindNote->clear();
  FillOutline();
  Preview->updatePreview();
  GoToPage(1);
}

void TfrmPreview::FillOutline() {
  Outline->clear();
  for (const TOutlineEntry& entry : report_.Outline) {
    auto* item = new QTreeWidgetItem(Outline, {QString::fromStdString(entry.Text)});
    item->setData(0, Qt::UserRole, entry.Page);
    item->setToolTip(0, "Страница " + QString::number(entry.Page + 1));
  }
  Outline->setVisible(!report_.Outline.empty());
}

int TfrmPreview::CurrentPage() const { return Preview->currentPage(); }

void TfrmPreview::GoToPage(int page) {
  Preview->setCurrentPage(std::clamp(page, 1, static_cast<int>(report_.Pages.size())));
  UpdateControls();
}

void TfrmPreview::UpdateControls() {
  const int pages = static_cast<int>(report_.Pages.size());
  const int page = CurrentPage();
  PageEdit->blockSignals(true);
  PageEdit->setRange(1, std::max(1, pages));
  PageEdit->setValue(page);
  PageEdit->blockSignals(false);
  PageCount->setText(" из " + QString::number(pages) + " ");
  ActionFirst->setEnabled(page > 1);
  ActionPrior->setEnabled(page > 1);
  ActionNext->setEnabled(page < pages);
  ActionLast->setEnabled(page < pages);
  SetZoomText();
}

void TfrmPreview::SetZoomText() {
  ZoomBox->setEditText(QString::number(std::lround(Preview->zoomFactor() * 100)) + " %");
}

const TPageCell* TfrmPreview::Highlight() const {
  if (matchPage_ < 0) return nullptr;
  return &report_.Pages[static_cast<std::size_t>(matchPage_)]
              .Cells[static_cast<std::size_t>(matchCell_)];
}

bool TfrmPreview::Find(bool forward) {
  const QString needle = FindEdit->text();
  if (needle.isEmpty()) return false;
  // Cells are numbered through the whole report; the search starts next to
  // the marker, or at the page on view.
  std::vector<std::pair<int, int>> cells;
  for (int p = 0; p < static_cast<int>(report_.Pages.size()); ++p)
    for (int c = 0; c < static_cast<int>(report_.Pages[static_cast<std::size_t>(p)].Cells.size());
         ++c)
      cells.emplace_back(p, c);
  const int count = static_cast<int>(cells.size());
  int start = 0;
  if (matchPage_ >= 0) {
    start =
        static_cast<int>(std::find(cells.begin(), cells.end(), std::pair(matchPage_, matchCell_)) -
                         cells.begin()) +
        (forward ? 1 : -1);
  } else {
    while (start < count && cells[static_cast<std::size_t>(start)].first < CurrentPage() - 1)
      ++start;
    if (!forward) --start;
  }
  for (int step = 0; step < count; ++step) {
    const int i = ((start + (forward ? step : -step)) % count + count) % count;
    const auto [p, c] = cells[static_cast<std::size_t>(i)];
    const std::string& text =
        report_.Pages[static_cast<std::size_t>(p)].Cells[static_cast<std::size_t>(c)].Text;
    if (!QString::fromStdString(text).contains(needle, Qt::CaseInsensitive)) continue;
    matchPage_ = p;
    matchCell_ = c;
    FindNote->clear();
    Preview->updatePreview();
    GoToPage(p + 1);
    return true;
  }
  matchPage_ = matchCell_ = -1;
  FindNote->setText(" Текст не найден");
  Preview->updatePreview();
  return false;
}

void TfrmPreview::SaveFile(const QString& fileName) const {
  std::ostringstream out;
  SavePreparedReport(report_, out);
  WriteFile(fileName, out.str());
}

void TfrmPreview::LoadFile(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly))
    throw EReportError("Не удалось открыть файл " + fileName.toStdString() + ": " +
                       file.errorString().toStdString());
  std::istringstream in(file.readAll().toStdString());
  try {
    SetReport(LoadPreparedReport(in));
  } catch (const EReportError& e) {
    throw EReportError("Файл " + fileName.toStdString() + ": " + e.what());
  }
}

void TfrmPreview::ExportPdf(const QString& fileName) const {
  WriteFile(fileName, ReportToPdf(report_, QString::fromStdString(report_.Title)).toStdString());
}

void InstallReportWindows(TReportEngine& engine) {
  engine.OnDialog = [&engine](const TReportDialog& dialog, TDateTime& date) {
    return ExecuteReportDialog(dialog, date, engine.Settings);
  };
  engine.OnPreview = [](const TPreparedReport& report) {
    TfrmPreview preview(report, QApplication::activeWindow());
    preview.setWindowState(Qt::WindowMaximized);
    preview.exec();
  };
}

void RunReportFromUi(TDM* dm, const std::string& resName) {
  if (!dm) return;
  try {
    dm->RunReport(resName);
  } catch (const std::exception& e) {
    ShowErrorBox(nullptr, e);
  }
}

}  // namespace corvina
