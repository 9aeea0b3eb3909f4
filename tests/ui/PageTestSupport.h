#pragma once
// Helpers for the settings page tests: the process-wide store and the order
// in which keys reached its file.

#include <QFile>
#include <QStringList>

#include "settings/CfgIntf.h"

namespace corvina::test {

inline void Set(const std::string& key, const Variant& value) {
  GetLocalCfgIntf()->SetValue(key, value);
}
inline Variant Get(const std::string& key) { return GetLocalCfgIntf()->GetValue(key); }

// The value names of the settings file, in file order (for a fresh store, the
// order in which they were first written).
inline QStringList StoredKeys() {
  QFile file(QString::fromStdString(LocalCfgFileName()));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringList keys;
  bool inValues = false;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const QString text = QString::fromUtf8(line).trimmed();
    if (text.startsWith('['))
      inValues = text == "[VAR_VALUES]";
    else if (inValues && text.contains('='))
      keys << text.section('=', 0, 0);
  }
  return keys;
}

}  // namespace corvina::test
