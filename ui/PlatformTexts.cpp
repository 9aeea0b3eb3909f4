#include "ui/PlatformTexts.h"

namespace corvina {

QString DataProviderLine(const std::string& provider) {
  QString name = QString::fromStdString(provider);
#ifdef _WIN32
  return "Поставщик OLE DB - " + name;
#else
  // Major and minor version: the patch level says nothing to a user.
  const qsizetype minorEnd = name.indexOf('.', name.indexOf('.') + 1);
  if (minorEnd > 0) name.truncate(minorEnd);
  return "Поставщик данных - " + name;
#endif
}

}  // namespace corvina
