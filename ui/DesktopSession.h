#pragma once
// What the desktop session lets the meter window do. On Wayland a client can
// neither place its windows, keep them on top nor keep them out of the
// taskbar; the session's X server (XWayland), where there is one, can.

#include <functional>
#include <string>

namespace corvina {

// The platform plugin to ask Qt for, given the environment: "xcb" on a
// Wayland session that has an X server, else empty (Qt's own choice). A
// platform the user named in QT_QPA_PLATFORM is kept.
std::string SessionPlatform(const std::function<std::string(const char* name)>& env);
// Sets QT_QPA_PLATFORM from SessionPlatform; call before the application is made.
void ChooseSessionPlatform();

// Whether the window system lets the program move its own windows (not on
// Wayland); where it does not, only its interactive move can drag them.
bool ClientPlacesWindows();

}  // namespace corvina
