#include "ui/frmToolsU.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/Dialogs.h"

namespace corvina {
namespace {

class TfrmToolsIntf : public IToolsDialog {
 public:
  TfrmToolsIntf(TFillTreeEvent fill, TGetPageClassEvent pageClass)
      : OnFillTree(std::move(fill)), OnGetPageClass(std::move(pageClass)) {}

  int Execute() override {
    TfrmTools dialog(QApplication::activeWindow());
    dialog.setWindowTitle("Настройки " + QApplication::applicationDisplayName());
    dialog.OnFillTree = OnFillTree;
    dialog.OnGetPageClass = OnGetPageClass;
    const int result = dialog.exec();
    dialog.Finish();
    return result == QDialog::Accepted ? 1 : 2;
  }

 private:
  TFillTreeEvent OnFillTree;
  TGetPageClassEvent OnGetPageClass;
};

}  // namespace

TfrmTools::TfrmTools(QWidget* parent) : QDialog(parent) {
  setObjectName("frmTools");
  setMinimumSize(634, 415);
  resize(634, 415);

  TreeView = new QTreeWidget(this);
  TreeView->setObjectName("TreeView");
  TreeView->setHeaderHidden(true);
  TreeView->setIndentation(19);
  TreeView->setRootIsDecorated(false);
  TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView->setFixedWidth(197);
  ContainerPanel = new QFrame(this);
  ContainerPanel->setObjectName("ContainerPanel");
  ContainerPanel->setMinimumSize(415, 361);
  auto* containerLayout = new QVBoxLayout(ContainerPanel);
  containerLayout->setContentsMargins(0, 0, 0, 0);
  auto* bevel = new QFrame(this);
  bevel->setObjectName("Bevel1");
  bevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setObjectName("BitBtn2");
  ok->setText("OK");
  ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  ok->setDefault(true);
  QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
  cancel->setObjectName("BitBtn1");
  cancel->setText("Cancel");
  cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
  for (QPushButton* b : {ok, cancel}) b->setMinimumSize(90, 25);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* right = new QVBoxLayout;
  right->addWidget(ContainerPanel, 1);
  right->addWidget(bevel);
  auto* top = new QHBoxLayout;
  top->addWidget(TreeView);
  top->addLayout(right, 1);
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(8, 8, 8, 8);
  all->addLayout(top, 1);
  all->addWidget(buttons);

  CenterOnScreen(this);
  connect(TreeView, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
            Guarded([&] { TreeViewChange(current); });
          });
}

TfrmTools::~TfrmTools() {
  try {
    ClosePage();
  } catch (...) {
    // Finish has reported what mattered; a destructor must not throw.
  }
}

template <class Step>
void TfrmTools::Guarded(Step step) {
  try {
    step();
  } catch (...) {
    if (!failure_) failure_ = std::current_exception();
    QTimer::singleShot(0, this, &QDialog::reject);
  }
}

void TfrmTools::Finish() {
  std::exception_ptr failure = failure_;
  failure_ = nullptr;
  try {
    ClosePage();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

void TfrmTools::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!shown_) {
    shown_ = true;
    Guarded([this] { FormShow(); });
  }
}

void TfrmTools::FormShow() {
  Filling = true;
  if (OnFillTree) {
    try {
      OnFillTree(this, TreeView);
    } catch (...) {
      Filling = false;
      throw;
    }
  }
  Filling = false;
  if (TreeView->topLevelItemCount() > 0) {
    TreeView->setCurrentItem(TreeView->topLevelItem(0));
    TreeViewChange(TreeView->topLevelItem(0));
  }
}

void TfrmTools::TreeViewChange(QTreeWidgetItem* node) {
  if (Filling) return;
  TToolsPageClass pageClass = nullptr;
  if (OnGetPageClass && node) OnGetPageClass(this, node, pageClass);
  if (page_ && pageClass && page_->metaObject()->inherits(pageClass)) return;  // already on view
  ClosePage();
  if (!pageClass) return;
  QObject* made = pageClass->newInstance(Q_ARG(QWidget*, ContainerPanel));
  page_ = qobject_cast<TToolsPage*>(made);
  if (!page_) {
    delete made;
    return;
  }
  page_->hide();
  page_->setWindowFlags(Qt::Widget);
  ContainerPanel->layout()->addWidget(page_);
  try {
    page_->FormCreate();
  } catch (const std::exception& e) {
    ShowErrorBox(this, e);  // the page shows what it could read
  }
  page_->show();
}

void TfrmTools::ClosePage() {
  if (!page_) return;
  TToolsPage* page = page_;
  page_ = nullptr;
  page->FormCloseQuery();  // writes its values; the answer does not matter here
  delete page;
}

std::shared_ptr<IToolsDialog> CreateToolsDialog(TFillTreeEvent onFillTree,
                                                TGetPageClassEvent onGetPageClass) {
  return std::make_shared<TfrmToolsIntf>(std::move(onFillTree), std::move(onGetPageClass));
}

}  // namespace corvina
