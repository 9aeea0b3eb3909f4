#pragma once
// The settings dialog: a tree of pages on the left, the current page on the
// right. The caller supplies the tree and the page class of each node.

#include <QDialog>
#include <exception>
#include <functional>
#include <memory>

#include "ui/ToolsPage.h"

class QTreeWidget;
class QTreeWidgetItem;
class QFrame;

namespace corvina {

class TfrmTools;
using TFillTreeEvent = std::function<void(TfrmTools* sender, QTreeWidget* nodes)>;
using TGetPageClassEvent =
    std::function<void(TfrmTools* sender, QTreeWidgetItem* node, TToolsPageClass& pageClass)>;

class TfrmTools : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmTools(QWidget* parent = nullptr);
  ~TfrmTools() override;

  QTreeWidget* TreeView;
  QFrame* ContainerPanel;
  TFillTreeEvent OnFillTree;
  TGetPageClassEvent OnGetPageClass;

  // The page on view, or null.
  TToolsPage* CurrentPage() const { return page_; }
  // After the modal loop: the page on view writes its values, and an error met
  // while the dialog was open (which closed it) is raised here.
  void Finish();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void TreeViewChange(QTreeWidgetItem* node);
  void ClosePage();
  // Runs a step inside the event loop; an error closes the dialog and is kept for Finish.
  template <class Step>
  void Guarded(Step step);

  std::exception_ptr failure_;
  bool Filling = false;
  bool shown_ = false;
  TToolsPage* page_ = nullptr;
};

class IToolsDialog {
 public:
  virtual ~IToolsDialog() = default;
  virtual int Execute() = 0;
};

std::shared_ptr<IToolsDialog> CreateToolsDialog(TFillTreeEvent onFillTree,
                                                TGetPageClassEvent onGetPageClass);

// The role a node keeps its page id under.
constexpr int kPageIdRole = Qt::UserRole + 1;

}  // namespace corvina
