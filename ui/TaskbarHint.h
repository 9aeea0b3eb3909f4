#pragma once

class QWidget;

namespace corvina {

// Keeps a top-level window out of the taskbar and the pager. Call before the
// window is first shown; does nothing where the platform has no such hint.
void HideFromTaskbar(QWidget* window);

}  // namespace corvina
