#pragma once
// Reader of an executable's version block.

#include <array>
#include <memory>
#include <string>

namespace corvina {

enum TVersionType {
  vtCompanyName,
  vtFileDescription,
  vtFileVersion,
  vtInternalName,
  vtLegalCopyright,
  vtLegalTradeMark,
  vtOriginalFileName,
  vtProductName,
  vtProductVersion,
  vtComments,
};

class IVersionInfoIntf {
 public:
  virtual ~IVersionInfoIntf() = default;
  virtual std::string GetCompanyName() const = 0;
  virtual std::string GetFileDescription() const = 0;
  virtual std::string GetFileVersion() const = 0;
  virtual std::string GetInternalName() const = 0;
  virtual std::string GetLegalCopyright() const = 0;
  virtual std::string GetLegalTradeMark() const = 0;
  virtual std::string GetOriginalFileName() const = 0;
  virtual std::string GetProductName() const = 0;
  virtual std::string GetProductVersion() const = 0;
  virtual std::string GetComments() const = 0;
};

class TVersionInfoIntf : public IVersionInfoIntf {
 public:
  explicit TVersionInfoIntf(const std::string& fileName) { Load(fileName); }

  virtual std::string GetVersionString(TVersionType index) const { return Strings[index]; }
  // Fills all ten texts; a file without a block gives ten empty texts.
  virtual void Load(const std::string& fileName);

  std::string GetCompanyName() const override { return GetVersionString(vtCompanyName); }
  std::string GetFileDescription() const override { return GetVersionString(vtFileDescription); }
  std::string GetFileVersion() const override { return GetVersionString(vtFileVersion); }
  std::string GetInternalName() const override { return GetVersionString(vtInternalName); }
  std::string GetLegalCopyright() const override { return GetVersionString(vtLegalCopyright); }
  std::string GetLegalTradeMark() const override { return GetVersionString(vtLegalTradeMark); }
  std::string GetOriginalFileName() const override { return GetVersionString(vtOriginalFileName); }
  std::string GetProductName() const override { return GetVersionString(vtProductName); }
  std::string GetProductVersion() const override { return GetVersionString(vtProductVersion); }
  std::string GetComments() const override { return GetVersionString(vtComments); }

 protected:
  std::array<std::string, 10> Strings;
};

std::shared_ptr<IVersionInfoIntf> CreateVersionInfo(const std::string& fileName);

}  // namespace corvina
