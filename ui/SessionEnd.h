#pragma once
// Calls a function on the main thread when the desktop session ends: the
// session manager's request, or SIGTERM (which a logout sends to programs
// that have no session manager connection).

#include <functional>

namespace corvina {

// Call once, after the application object exists.
void OnSessionEnd(std::function<void()> handler);

}  // namespace corvina
