#include "ui/OwnRights.h"

#include <QApplication>
#include <cstdio>
#include <filesystem>

#include "platform/Privileges.h"
#include "platform/System.h"
#include "ui/Dialogs.h"

namespace corvina {

bool CheckOwnRights(int& argc, char** argv) {
  if (!HoldsPrivilegesBeyond(0)) return true;
  const bool dropped = DropPrivileges();
  const std::filesystem::path exe = ExecutablePath();
  const QString text =
      QString(
          "У программы собственные права (capability или set-ID у файла %1). С ними она не "
          "запускается: их получил бы и любой модуль Qt, заданный окружением.\n\n"
          "Права на захват пакетов нужны только помощнику рядом с программой. Снимите их с "
          "программы и дайте помощнику:\n"
          "  sudo setcap -r %1\n"
          "  sudo chmod ug-s %1\n"
          "  sudo setcap cap_net_raw+ep %2")
          .arg(QString::fromStdString(exe.string()),
               QString::fromStdString((exe.parent_path() / "corvina-capture").string()));
  std::fprintf(stderr, "corvina: %s\n", text.toLocal8Bit().constData());
  // Nothing of Qt runs while a right is still held.
  if (!dropped) return false;
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Corvina");
  ShowErrorBox(nullptr, text);
  return false;
}

void WarnWhenRoot() {
  if (RunsAsRoot())
    std::fputs(
        "corvina: запущена от имени root; это не нужно: пакеты захватывает помощник "
        "corvina-capture, права нужны только ему\n",
        stderr);
}

}  // namespace corvina
