#pragma once

class QWidget;

namespace corvina {

// Keeps a top-level window out of the taskbar and the pager. Call before
// every showing: the window manager drops the hint when the window is hidden.
// Does nothing where the platform has no such hint.
void HideFromTaskbar(QWidget* window);

}  // namespace corvina
