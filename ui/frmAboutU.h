#pragma once
// The about box.

#include <QDialog>
#include <cstdint>
#include <memory>

class QLabel;
class QPlainTextEdit;

namespace corvina {

class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent = nullptr);

  QLabel* www;
  QLabel* ProductVersionLabel;
  QLabel* CopyrightLabel;
  QPlainTextEdit* ComponentMemo;
  QLabel* IconImage;
  QPlainTextEdit* ProductInfoMemo;
  QLabel* WindowsInfoLabel;
  QLabel* WindowsMemoryLabel;

 private:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void FillFromAppInfo();
};

// "N МБ": whole mebibytes of a byte count.
QString MemoryText(std::uint64_t bytes);

class IAboutDialog {
 public:
  virtual ~IAboutDialog() = default;
  virtual int Execute() = 0;
};

std::shared_ptr<IAboutDialog> CreateAboutDialog();

}  // namespace corvina
