#pragma once
// What the program knows about itself: texts from its own version block and
// the component and product lines the data module fills at start-up.

#include <QIcon>
#include <QStringList>
#include <memory>

namespace corvina {

class IAppIntf {
 public:
  virtual ~IAppIntf() = default;
  virtual QString GetProductName() const = 0;
  virtual QString GetProductVersion() const = 0;
  virtual QString GetCopyright() const = 0;
  virtual QString GetFileVersion() const = 0;
  virtual QString GetComments() const = 0;
  virtual QIcon GetIcon() const = 0;
  virtual const QStringList& GetComponents() const = 0;
  virtual void SetComponents(const QStringList& lines) = 0;
  virtual const QStringList& GetProductInfo() const = 0;
  virtual void SetProductInfo(const QStringList& lines) = 0;
};

class TAppIntf : public IAppIntf {
 public:
  // Reads the version block of the named executable.
  explicit TAppIntf(const std::string& executable);

  QString GetProductName() const override { return ProductName; }
  QString GetProductVersion() const override { return ProductVersion; }
  QString GetCopyright() const override { return Copyright; }
  QString GetFileVersion() const override { return FileVersion; }
  QString GetComments() const override { return Comments; }
  QIcon GetIcon() const override;
  const QStringList& GetComponents() const override { return Components; }
  void SetComponents(const QStringList& lines) override { Components = lines; }
  const QStringList& GetProductInfo() const override { return ProductInfo; }
  void SetProductInfo(const QStringList& lines) override { ProductInfo = lines; }

 private:
  QString ProductName, ProductVersion, FileVersion, Copyright, Comments;
  QStringList Components, ProductInfo;
};

// The one instance, created before the application object.
std::shared_ptr<IAppIntf>& AppInfo();
void CreateAppInfo();

}  // namespace corvina
