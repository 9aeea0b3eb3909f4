#include "ui/AppIntf.h"

#include <QApplication>

#include "platform/System.h"
#include "ui/VerInfoIntf.h"

namespace corvina {

TAppIntf::TAppIntf(const std::string& executable) {
  const auto info = CreateVersionInfo(executable);
  Copyright = QString::fromStdString(info->GetLegalCopyright());
  ProductName = QString::fromStdString(info->GetProductName());
  ProductVersion = QString::fromStdString(info->GetProductVersion());
  FileVersion = QString::fromStdString(info->GetFileVersion());
  Comments = QString::fromStdString(info->GetComments());
}

QIcon TAppIntf::GetIcon() const { return QApplication::windowIcon(); }

std::shared_ptr<IAppIntf>& AppInfo() {
  static std::shared_ptr<IAppIntf> instance;
  return instance;
}

void CreateAppInfo() { AppInfo() = std::make_shared<TAppIntf>(ExecutablePath()); }

}  // namespace corvina
