#pragma once
// Helpers for widget tests: a folder of their own for the files named after
// the executable, and answers for modal windows.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <initializer_list>
#include <utility>

#include "platform/System.h"
#include "settings/CfgIntf.h"

namespace corvina::test {

// Points the executable path into a fresh folder, so the ".cfg", ".dat" and
// ".dump" files of the test land there.
inline QString UseFreshExecutableFolder(QTemporaryDir& dir, const QString& name = "Corvina") {
  const QString path = dir.path() + "/" + name;
  SetExecutablePath(path.toStdString());
  return path;
}

// Commits these settings to the store and its file.
inline void CommitSettings(std::initializer_list<std::pair<const char*, Variant>> values) {
  auto cfg = GetLocalCfgIntf();
  cfg->BeginUpdate();
  for (const auto& [key, value] : values) cfg->SetValue(key, value);
  cfg->EndUpdate();
}

// Runs handle(modal) once a modal window is up, from inside its event loop.
inline void WhenModalShown(std::function<void(QWidget*)> handle) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, [timer, handle] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      handle(modal);
    }
  });
  timer->start(10);
}

}  // namespace corvina::test
