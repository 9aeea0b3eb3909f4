#include "ui/DesktopSession.h"

#include <QGuiApplication>
#include <cstdlib>

namespace corvina {

std::string SessionPlatform(const std::function<std::string(const char* name)>& env) {
  if (!env("QT_QPA_PLATFORM").empty()) return {};
  const bool wayland = env("XDG_SESSION_TYPE") == "wayland" || !env("WAYLAND_DISPLAY").empty();
  return wayland && !env("DISPLAY").empty() ? "xcb" : "";
}

void ChooseSessionPlatform() {
  const std::string platform = SessionPlatform([](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  });
  if (!platform.empty()) qputenv("QT_QPA_PLATFORM", platform.c_str());
}

bool ClientPlacesWindows() { return !QGuiApplication::platformName().startsWith("wayland"); }

}  // namespace corvina
