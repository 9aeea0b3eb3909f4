#include "ui/VerInfoIntf.h"

#include "platform/VersionBlock.h"

namespace corvina {

namespace {
// The key of each value is its enumerator's name without the "vt".
const char* const kKeys[10] = {
    "CompanyName",    "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
    "LegalTradeMark", "OriginalFileName", "ProductName", "ProductVersion", "Comments"};
}  // namespace

void TVersionInfoIntf::Load(const std::string& fileName) {
  Strings.fill({});
  const auto block = ReadVersionBlock(fileName);
  if (!block) return;
  // The translation is language and code page, four hexadecimal digits each.
  std::string translation = QueryVersionValue(*block, "\\VarFileInfo\\Translation").value_or("");
  if (translation.size() != 8) translation.clear();
  for (std::size_t i = 0; i < Strings.size(); ++i)
    Strings[i] = QueryVersionValue(*block, "\\StringFileInfo\\" + translation + "\\" + kKeys[i])
                     .value_or("");
}

std::shared_ptr<IVersionInfoIntf> CreateVersionInfo(const std::string& fileName) {
  return std::make_shared<TVersionInfoIntf>(fileName);
}

}  // namespace corvina
