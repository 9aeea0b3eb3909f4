#include "ui/frmAboutU.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "netinfo/sysutil.h"
#include "ui/AppIntf.h"
#include "ui/Dialogs.h"
#include "ui/PlatformTexts.h"

namespace corvina {
namespace {

constexpr const char* kMakerAddress = "www.example.com";

QPlainTextEdit* ReadOnlyMemo(QWidget* parent) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setReadOnly(true);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return memo;
}

class TfrmAboutIntf : public IAboutDialog {
 public:
  int Execute() override {
    TfrmAbout form(QApplication::activeWindow());
    return form.exec();
  }
};

}  // namespace

QString MemoryText(std::uint64_t bytes) { return QString::number(bytes / 1024 / 1024) + " МБ"; }

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setWindowTitle("О программе: " + QApplication::applicationDisplayName());
  setFixedSize(566, 435);

  auto* bevel1 = new QFrame(this);
  bevel1->setObjectName("Bevel1");
  bevel1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  bevel1->setFixedWidth(170);
  auto* logo = new QLabel(bevel1);
  logo->setObjectName("LogoCompanyImage");
  logo->setAlignment(Qt::AlignCenter);
  logo->setPixmap(QIcon(":/icons/corvina.svg").pixmap(128, 128));
  auto* name = new QLabel("Corvina", bevel1);
  name->setAlignment(Qt::AlignCenter);
  QFont big = name->font();
  big.setPointSize(big.pointSize() + 8);
  big.setBold(true);
  name->setFont(big);
  www = new QLabel(kMakerAddress, bevel1);
  www->setObjectName("www");
  www->setAlignment(Qt::AlignCenter);
  www->setStyleSheet("color: navy; text-decoration: underline;");
  www->setCursor(Qt::PointingHandCursor);
  www->installEventFilter(this);
  auto* left = new QVBoxLayout(bevel1);
  left->addStretch();
  left->addWidget(logo);
  left->addWidget(name);
  left->addSpacing(12);
  left->addWidget(www);
  left->addStretch();

  ProductVersionLabel = new QLabel(this);
  ProductVersionLabel->setObjectName("ProductVersionLabel");
  QFont bold = ProductVersionLabel->font();
  bold.setBold(true);
  ProductVersionLabel->setFont(bold);
  ProductVersionLabel->setWordWrap(true);
  CopyrightLabel = new QLabel(this);
  CopyrightLabel->setObjectName("CopyrightLabel");
  ComponentMemo = ReadOnlyMemo(this);
  ComponentMemo->setObjectName("ComponentMemo");
  IconImage = new QLabel(this);
  IconImage->setObjectName("IconImage");
  IconImage->setAlignment(Qt::AlignCenter);
  IconImage->setFixedWidth(48);
  ProductInfoMemo = ReadOnlyMemo(this);
  ProductInfoMemo->setObjectName("ProductInfoMemo");
  ProductInfoMemo->setStyleSheet("background: palette(button);");
  WindowsInfoLabel = new QLabel(this);
  WindowsInfoLabel->setObjectName("WindowsInfoLabel");
  WindowsInfoLabel->setWordWrap(true);
  WindowsMemoryLabel = new QLabel(this);
  WindowsMemoryLabel->setObjectName("WindowsMemoryLabel");

  auto* info = new QHBoxLayout;
  info->addWidget(IconImage);
  info->addWidget(ProductInfoMemo);
  auto* memory = new QHBoxLayout;
  auto* label1 = new QLabel(kMemoryCaption, this);
  label1->setObjectName("Label1");
  memory->addWidget(label1);
  memory->addWidget(WindowsMemoryLabel);
  memory->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(ProductVersionLabel);
  right->addWidget(CopyrightLabel);
  right->addSpacing(8);
  right->addWidget(new QLabel("Установленные компоненты:", this));
  right->addWidget(ComponentMemo, 3);
  right->addWidget(new QLabel("Информация о продукте:", this));
  right->addLayout(info, 2);
  right->addWidget(WindowsInfoLabel);
  right->addLayout(memory);

  auto* columns = new QHBoxLayout;
  columns->addWidget(bevel1);
  columns->addLayout(right, 1);
  auto* bevel2 = new QFrame(this);
  bevel2->setObjectName("Bevel2");
  bevel2->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  auto* buttonOk = new QPushButton("&OK", this);
  buttonOk->setObjectName("ButtonOK");
  buttonOk->setDefault(true);
  connect(buttonOk, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(buttonOk);
  auto* all = new QVBoxLayout(this);
  all->addLayout(columns, 1);
  all->addWidget(bevel2);
  all->addLayout(buttons);

  FillFromAppInfo();
  CenterOnScreen(this);
}

void TfrmAbout::FillFromAppInfo() {
  const auto& app = AppInfo();
  if (app) {
    ProductVersionLabel->setText(app->GetComments() + " Версия " + app->GetFileVersion());
    CopyrightLabel->setText(app->GetCopyright());
    ComponentMemo->setPlainText(app->GetComponents().join('\n'));
    IconImage->setPixmap(app->GetIcon().pixmap(32, 32));
    ProductInfoMemo->setPlainText(app->GetProductInfo().join('\n'));
  }
  WindowsInfoLabel->setText(QString::fromStdString(GetSystemVersionText()));
  WindowsMemoryLabel->setText(MemoryText(GetTotalPhysicalMemory()));
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == www && event->type() == QEvent::MouseButtonRelease)
    QDesktopServices::openUrl(QUrl("http://" + www->text()));  // a failure is of no consequence
  return QDialog::eventFilter(watched, event);
}

std::shared_ptr<IAboutDialog> CreateAboutDialog() { return std::make_shared<TfrmAboutIntf>(); }

}  // namespace corvina
